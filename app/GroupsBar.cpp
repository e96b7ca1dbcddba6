// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/GroupsBar.h"

#include "app/GrowingLayout.h"
#include "app/PanelKit.h"
#include "app/Prompts.h"
#include "app/ThaiFileDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace ia {

PoolDialog::PoolDialog(QWidget* parent, Prompts& prompts) : QDialog(parent), prompts_(prompts) {
    setObjectName("PoolDialog");
    setWindowTitle("รวมไฟล์หลายห้อง");
    auto* outer = new QVBoxLayout(this);
    outer->addWidget(new QLabel("ไฟล์ข้อมูลของแต่ละห้อง (ข้อสอบชุดเดียวกัน):", this));
    sources = new QListWidget(this);
    sources->setObjectName("poolSources");
    outer->addWidget(sources);
    auto* listButtons = new QHBoxLayout;
    addButton = new QPushButton("เพิ่มไฟล์…", this);
    addButton->setObjectName("poolAdd");
    removeButton = new QPushButton("เอาออก", this);
    removeButton->setObjectName("poolRemove");
    listButtons->addWidget(addButton);
    listButtons->addWidget(removeButton);
    listButtons->addStretch();
    outer->addLayout(listButtons);

    auto* form = new QFormLayout;
    output = new QLineEdit(this);
    output->setObjectName("poolOutput");
    form->addRow("ไฟล์รวม (ไฟล์ใหม่)", output);
    byFile = new QRadioButton("กลุ่มตามชื่อไฟล์", this);
    byFile->setObjectName("poolByFile");
    byFile->setChecked(true);
    byColumn = new QRadioButton("กลุ่มตามคอลัมน์", this);
    byColumn->setObjectName("poolByColumn");
    column = new QLineEdit(this);
    column->setObjectName("poolColumn");
    column->setPlaceholderText("เช่น ห้อง โรงเรียน เพศ");
    column->setEnabled(false);
    auto* grouping = new QHBoxLayout;
    grouping->addWidget(byFile);
    grouping->addWidget(byColumn);
    grouping->addWidget(column);
    form->addRow("กลุ่ม", grouping);
    keyFrom = new QComboBox(this);
    keyFrom->setObjectName("poolKeyFrom");
    form->addRow("เฉลย", keyFrom);
    overwrite = new QCheckBox("เขียนทับไฟล์รวมที่มีอยู่ (เก็บไฟล์เดิมเป็น .bak)", this);
    overwrite->setObjectName("poolOverwrite");
    form->addRow("", overwrite);
    outer->addLayout(form);

    auto* buttons = new QDialogButtonBox(this);
    okButton = buttons->addButton("รวมไฟล์", QDialogButtonBox::AcceptRole);
    okButton->setObjectName("poolOk");
    cancelButton = buttons->addButton("ยกเลิก", QDialogButtonBox::RejectRole);
    cancelButton->setObjectName("poolCancel");
    outer->addWidget(buttons);
    refreshKeyChoices();

    connect(byColumn, &QRadioButton::toggled, column, &QLineEdit::setEnabled);
    connect(addButton, &QPushButton::clicked, this, [this] {
        const QStringList chosen =
            ChooseFilesToOpen(this, "เลือกไฟล์ข้อสอบของแต่ละห้อง", {kExamFileFilter, kAllFilesFilter});
        if (!chosen.isEmpty()) addSources(chosen);
    });
    connect(removeButton, &QPushButton::clicked, this, [this] {
        delete sources->currentItem();
        refreshKeyChoices();
    });
    connect(okButton, &QPushButton::clicked, this, &PoolDialog::poolNow);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

void PoolDialog::addSources(const QStringList& paths) {
    for (const QString& p : paths)
        if (sources->findItems(p, Qt::MatchExactly).isEmpty()) sources->addItem(p);
    if (output->text().isEmpty() && sources->count() > 0)
        output->setText(QFileInfo(sources->item(0)->text()).absolutePath() + "/รวม.ans");
    refreshKeyChoices();
}

void PoolDialog::refreshKeyChoices() {
    const QString current = keyFrom->currentData().toString();
    keyFrom->clear();
    keyFrom->addItem("เฉลยต้องตรงกันทุกไฟล์", QString());
    for (int i = 0; i < sources->count(); ++i)
        keyFrom->addItem("ใช้เฉลยของ " + QFileInfo(sources->item(i)->text()).fileName(),
                         sources->item(i)->text());
    const int again = keyFrom->findData(current);
    keyFrom->setCurrentIndex(again < 0 ? 0 : again);
}

PoolRequest PoolDialog::request() const {
    PoolRequest r;
    for (int i = 0; i < sources->count(); ++i)
        r.sources.push_back(S(sources->item(i)->text()));
    r.output = S(output->text().trimmed());
    if (byColumn->isChecked()) {
        r.grouping = PoolGrouping::ByColumn;
        r.groupColumn = S(column->text().trimmed());
    }
    r.keyFrom = S(keyFrom->currentData().toString());
    r.replaceExisting = overwrite->isChecked();
    return r;
}

void PoolDialog::poolNow() {
    PoolRequest r = request();
    if (r.sources.size() < 2) {
        prompts_.showMessage(kWarningTitle, "กรุณาเลือกไฟล์อย่างน้อย 2 ไฟล์");
        return;
    }
    if (r.output.empty() || (r.grouping == PoolGrouping::ByColumn && r.groupColumn.empty())) {
        prompts_.showMessage(kWarningTitle,
                             r.output.empty() ? "กรุณาตั้งชื่อไฟล์รวม" : "กรุณาพิมพ์ชื่อคอลัมน์ของกลุ่ม");
        return;
    }
    if (QFileInfo(Q(r.output)).suffix().isEmpty()) r.output += ".ans";
    std::unique_ptr<Progress> progress = prompts_.jobProgress();
    r.progress = progress.get();
    const Outcome<PoolReport> done = PoolExamFiles(r);
    progress.reset();
    if (!done.ok()) {
        if (done.error.kind != SessionErrorKind::Cancelled)
            prompts_.showMessage(kWarningTitle, Q(done.error.message));
        return;
    }
    pooled_ = done.value;
    QString told;
    for (const std::string& line : done.value.notices())
        told += Q(line) + "\n";
    prompts_.showInformation("รวมไฟล์หลายห้อง", told.trimmed());
    accept();
}

GroupsBar::GroupsBar(QWidget* window, Placer& placer, Prompts& prompts)
    : QFrame(window), prompts_(prompts) {
    MakePanel(this, "picGroups", QColor(180, 180, 180));
    setFont(UiFont(9));
    placer.place(this, 120, 8070, 2280, 555);
    pool_ = Button(this, "cmdPoolFiles", "รวมไฟล์หลายห้อง");
    pool_->setToolTip("รวมไฟล์ข้อมูลของหลายห้องที่สอบข้อสอบชุดเดียวกันเป็นไฟล์ใหม่");
    Paint(pool_, QColor(255, 240, 200));
    placer.place(pool_, 45, 45, 1080, 465);
    compare_ = Button(this, "cmdCompareGroups", "เปรียบเทียบกลุ่ม");
    compare_->setToolTip("เปรียบเทียบห้องหรือกลุ่ม และตรวจข้อที่ทำหน้าที่ต่างกันระหว่างกลุ่ม (DIF)");
    Paint(compare_, QColor(220, 240, 200));
    placer.place(compare_, 1155, 45, 1080, 465);
    connect(pool_, &QPushButton::clicked, this, [this] {
        const QString path = runPoolDialog();
        if (!path.isEmpty()) emit pooled(path);
    });
    connect(compare_, &QPushButton::clicked, this, &GroupsBar::compareClicked);
}

void GroupsBar::addToGrowth(Placer& placer) {
    placer.layout().add(this, GrowingLayout::Anchor::MoveDown);
}

QString GroupsBar::runPoolDialog() {
    PoolDialog dialog(window(), prompts_);
    if (prompts_.runDialog(dialog) != QDialog::Accepted || !dialog.pooled()) return {};
    return Q(dialog.pooled()->output);
}

} // namespace ia
