// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ImportDialog.h"

#include "app/BusyCursor.h"
#include "app/ProgressDialog.h"
#include "app/ScreenFit.h"
#include "app/ThaiDialogs.h"
#include "app/ThaiFileDialog.h"
#include "examfile/Engine.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QSettings>
#include <QTableWidget>
#include <QVBoxLayout>

#include <utility>

#include <algorithm>

namespace ia {
namespace {

constexpr int kPreviewRows = 200; // a screenful or two is enough to see the source is right

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

// How the source was read, so that the teacher sees the header row and the
// code column that were taken, and can change them.
QString SourceDescription(const ImportPlan& plan) {
    const QString code = plan.codeColumn > 0 ? QString("รหัสจากคอลัมน์ %1").arg(plan.codeColumn)
                                             : QString("ไม่มีคอลัมน์รหัส");
    switch (plan.kind) {
    case SourceKind::Quiz:
        return QString("แบบทดสอบออนไลน์: คำถาม %1 ข้อ, %2").arg(plan.questions.size()).arg(code);
    case SourceKind::Fixed:
        return "ไฟล์ความกว้างคงที่";
    default:
        return QString(plan.kind == SourceKind::Xlsx ? "สมุดงาน .xlsx" : "ตารางข้อความ") + ": " +
               (plan.hasHeader ? QString("แถวที่ %1 เป็นหัวตาราง").arg(plan.headerRow)
                               : QString("ไม่มีแถวหัวตาราง")) +
               ", " + code;
    }
}

} // namespace

ImportDialog::ImportDialog(std::shared_ptr<Connection> exam, const std::string& examPath, int nItem,
                           int nChoice, QWidget* parent)
    : QDialog(parent), exam_(std::move(exam)), examPath_(examPath), nItem_(nItem),
      nChoice_(nChoice) {
    setWindowTitle("นำเข้ากระดาษคำตอบ");
    setObjectName("ImportDialog");
    FitToScreen(this, {900, 620});
    auto* outer = new QVBoxLayout(this);
    // On a small screen the options and tables scroll; the buttons stay.
    auto* scroll = new QScrollArea;
    scroll->setObjectName("importScroll");
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    auto* content = new QWidget;
    auto* top = new QVBoxLayout(content);
    top->setContentsMargins(0, 0, 0, 0);
    scroll->setWidget(content);
    outer->addWidget(scroll, 1);

    auto* sourceRow = new QHBoxLayout;
    sourceRow->addWidget(new QLabel("แหล่งข้อมูล"));
    sourceEdit = new QLineEdit;
    sourceEdit->setObjectName("sourceEdit");
    sourceRow->addWidget(sourceEdit, 1);
    auto* browse = new QPushButton("เลือกไฟล์...");
    browse->setObjectName("browseButton");
    browse->setAutoDefault(false);
    sourceRow->addWidget(browse);
    top->addLayout(sourceRow);

    auto* optionsRow = new QHBoxLayout;
    auto* left = new QFormLayout;
    encodingBox = new QComboBox;
    encodingBox->setObjectName("encodingBox");
    encodingBox->addItems({"อัตโนมัติ", "UTF-8", "UTF-16", "รหัส 874 (Windows ภาษาไทย)"});
    left->addRow("รหัสอักขระ", encodingBox);
    headerBox = new QComboBox;
    headerBox->setObjectName("headerBox");
    headerBox->addItems({"อัตโนมัติ", "มี", "ไม่มี"});
    left->addRow("แถวหัวตาราง", headerBox);
    codeColumnEdit = new QLineEdit;
    codeColumnEdit->setObjectName("codeColumnEdit");
    codeColumnEdit->setPlaceholderText("ชื่อหัวคอลัมน์หรือเลขคอลัมน์");
    left->addRow("คอลัมน์รหัส", codeColumnEdit);
    columnsEdit = new QLineEdit;
    columnsEdit->setObjectName("columnsEdit");
    columnsEdit->setPlaceholderText("เช่น code=B,name=C,group=D,answers=E:N");
    left->addRow("หน้าที่ของคอลัมน์", columnsEdit);
    sheetEdit = new QLineEdit;
    sheetEdit->setObjectName("sheetEdit");
    sheetEdit->setPlaceholderText("แผ่นงานแรก");
    left->addRow("แผ่นงาน (.xlsx)", sheetEdit);
    optionsRow->addLayout(left);

    auto* middle = new QFormLayout;
    fixedBox = new QCheckBox("ความกว้างคงที่ (เครื่องตรวจ)");
    fixedBox->setObjectName("fixedBox");
    middle->addRow(fixedBox);
    codeColumnsEdit = new QLineEdit;
    codeColumnsEdit->setObjectName("codeColumnsEdit");
    codeColumnsEdit->setPlaceholderText("เช่น 1-10");
    middle->addRow("ตำแหน่งรหัส", codeColumnsEdit);
    answersFromEdit = new QLineEdit;
    answersFromEdit->setObjectName("answersFromEdit");
    answersFromEdit->setPlaceholderText("เช่น 12");
    middle->addRow("คำตอบเริ่มที่ตำแหน่ง", answersFromEdit);
    optionsRow->addLayout(middle);

    auto* right = new QVBoxLayout;
    appendButton = new QRadioButton("ต่อท้ายกระดาษคำตอบเดิม");
    appendButton->setObjectName("appendButton");
    appendButton->setChecked(true);
    replaceButton = new QRadioButton("แทนที่กระดาษคำตอบทั้งหมด (สำรองไฟล์เดิมไว้)");
    replaceButton->setObjectName("replaceButton");
    keyOnlyButton = new QRadioButton("นำเข้าเฉพาะเฉลย");
    keyOnlyButton->setObjectName("keyOnlyButton");
    right->addWidget(appendButton);
    right->addWidget(replaceButton);
    right->addWidget(keyOnlyButton);
    right->addStretch();
    optionsRow->addLayout(right);
    top->addLayout(optionsRow);

    summaryLabel = new QLabel;
    summaryLabel->setObjectName("summaryLabel");
    summaryLabel->setWordWrap(true);
    top->addWidget(summaryLabel);
    preview = new QTableWidget;
    preview->setObjectName("preview");
    preview->setEditTriggers(QAbstractItemView::NoEditTriggers);
    preview->verticalHeader()->setDefaultSectionSize(22);
    preview->horizontalHeader()->setDefaultSectionSize(34);
    top->addWidget(preview, 3);
    optionTable = new QTableWidget(0, 3);
    optionTable->setObjectName("optionTable");
    optionTable->setHorizontalHeaderLabels({"คำถาม", "ตัวเลือกที่ตอบ", "ข้อที่ (1-5)"});
    optionTable->horizontalHeader()->setStretchLastSection(true);
    optionTable->hide();
    top->addWidget(optionTable, 2);
    problems = new QPlainTextEdit;
    problems->setObjectName("problems");
    problems->setReadOnly(true);
    QPalette red = problems->palette();
    red.setColor(QPalette::Text, QColor(180, 0, 0));
    problems->setPalette(red);
    top->addWidget(problems, 2);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    importButton = new QPushButton("นำเข้า");
    importButton->setObjectName("importButton");
    importButton->setAutoDefault(false);
    auto* cancel = new QPushButton("ยกเลิก");
    cancel->setObjectName("cancelButton");
    cancel->setAutoDefault(false);
    buttons->addWidget(importButton);
    buttons->addWidget(cancel);
    outer->addLayout(buttons);

    chooseSource = [this] {
        return ChooseFileToOpen(this, "เลือกแหล่งข้อมูล", {kImportSourceFilter, kAllFilesFilter});
    };
    // Importing anyway adds data: Enter and Escape give ไม่ใช่.
    askYesNo = [this](const QString& title, const QString& text) {
        auto box = MakeQuestionBox(this, QMessageBox::Question, title, text,
                                   QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
        return AskWithBox(*box) == QMessageBox::Yes;
    };

    connect(browse, &QPushButton::clicked, this, [this] {
        const QString path = chooseSource();
        if (!path.isEmpty()) setSource(path);
    });
    connect(sourceEdit, &QLineEdit::editingFinished, this, &ImportDialog::reread);
    for (QComboBox* box : {encodingBox, headerBox})
        connect(box, &QComboBox::currentIndexChanged, this, &ImportDialog::reread);
    for (QLineEdit* e : {codeColumnEdit, columnsEdit, sheetEdit, codeColumnsEdit, answersFromEdit})
        connect(e, &QLineEdit::editingFinished, this, &ImportDialog::reread);
    connect(fixedBox, &QCheckBox::toggled, this, &ImportDialog::reread);
    for (QRadioButton* b : {appendButton, replaceButton, keyOnlyButton})
        connect(b, &QRadioButton::toggled, this, [this](bool on) {
            if (on) reread();
        });
    connect(optionTable, &QTableWidget::cellChanged, this, [this] {
        if (filling_) return;
        takeOptionTable();
        reread();
    });
    connect(importButton, &QPushButton::clicked, this, [this] {
        if (importNow()) accept();
    });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    recallOptions();
    showPlan();
}

void ImportDialog::setSource(const QString& path) {
    sourceEdit->setText(path);
    reread();
}

ImportOptions ImportDialog::options() const {
    ImportOptions o;
    const TextEncoding encodings[] = {TextEncoding::Auto, TextEncoding::Utf8, TextEncoding::Utf16,
                                      TextEncoding::Cp874};
    o.encoding = encodings[std::max(0, encodingBox->currentIndex())];
    const HeaderMode headers[] = {HeaderMode::Auto, HeaderMode::Yes, HeaderMode::No};
    o.header = headers[std::max(0, headerBox->currentIndex())];
    o.codeColumn = codeColumnEdit->text().trimmed().toStdString();
    o.columns = columnsEdit->text().trimmed().toStdString();
    o.sheet = sheetEdit->text().trimmed().toStdString();
    o.fixed = fixedBox->isChecked();
    const QStringList range = codeColumnsEdit->text().trimmed().split('-');
    if (range.size() == 2) {
        o.codeFrom = range[0].toInt();
        o.codeTo = range[1].toInt();
    }
    o.answersFrom = answersFromEdit->text().trimmed().toInt();
    o.quizOptions = quizOptions_;
    return o;
}

void ImportDialog::reread() {
    const std::string path = sourceEdit->text().trimmed().toStdString();
    if (path.empty()) {
        plan_ = {};
        showPlan();
        return;
    }
    {
        BusyCursor busy;
        try {
            WindowJobProgress progress(this);
            plan_ = ReadImportSource(path, nItem_, nChoice_, options(), progress);
        } catch (const JobCancelled& e) {
            // Nothing can be imported until the source is read again.
            plan_ = {};
            plan_.errors.push_back(e.what());
        }
        if (plan_.ok() && !keyOnlyButton->isChecked()) {
            try {
                FindDuplicateCodes(plan_, appendButton->isChecked() ? ExistingCodes(*exam_)
                                                                    : std::vector<std::string>{});
            } catch (const std::exception& e) {
                plan_.errors.push_back(e.what());
            }
        }
    }
    showPlan();
}

void ImportDialog::showPlan() {
    const bool any = !sourceEdit->text().trimmed().isEmpty();
    const bool keyOnly = keyOnlyButton->isChecked();
    bool ok = any && plan_.ok() && (!keyOnly || plan_.hasKey);
    QString summary;
    if (!any) {
        summary = "เลือกไฟล์ที่จะนำเข้า: .csv .tsv .txt (คั่นด้วยจุลภาค อัฒภาค หรือแท็บ), .xlsx, .ods, "
                  "ไฟล์จากแบบทดสอบออนไลน์ หรือไฟล์ .dat จากเครื่องตรวจ";
    } else if (!plan_.ok()) {
        const bool unnumbered =
            std::any_of(plan_.questions.begin(), plan_.questions.end(),
                        [](const QuizQuestion& q) { return !q.unlabelled.empty(); });
        summary = QString("นำเข้าไม่ได้: พบข้อผิดพลาด %1 รายการ %2")
                      .arg(plan_.errors.size())
                      .arg(unnumbered ? "ใส่ข้อที่ของตัวเลือกที่ไม่มีอักษรนำหน้าในตาราง หรือแก้ไฟล์ต้นทาง"
                                      : "แก้ไฟล์ต้นทางแล้วเลือกใหม่");
    } else if (keyOnly && !plan_.hasKey) {
        summary = "แหล่งข้อมูลไม่มีแถวเฉลย (KEY หรือ เฉลย)";
    } else {
        summary = keyOnly ? QString("จะนำเข้าเฉลยเท่านั้น")
                          : QString("จะนำเข้ากระดาษคำตอบ %1 แผ่น%2")
                                .arg(plan_.sheets.size())
                                .arg(plan_.hasKey ? " และเฉลย" : "");
        summary += "\n" + SourceDescription(plan_);
    }
    // What each column was taken for, whenever it is more than the code
    // and the answers, so that a column taken wrongly is seen and changed.
    if (any && !plan_.roles.empty() && !OwnLayout(plan_))
        summary += "\nคอลัมน์ที่ใช้: " + Q(RolesLine(plan_.roles)) + " (เปลี่ยนได้ที่ หน้าที่ของคอลัมน์)";
    summaryLabel->setText(summary);

    // The preview: the key first, then the sheets, as they will be stored.
    preview->clear();
    const int shown = ok ? std::min<int>(kPreviewRows, static_cast<int>(plan_.sheets.size())) : 0;
    const int keyRows = ok && plan_.hasKey ? 1 : 0;
    preview->setRowCount(keyRows + shown);
    preview->setColumnCount(ok ? nItem_ + 1 : 0);
    QStringList heads{"รหัส"};
    for (int i = 1; i <= nItem_; ++i)
        heads << QString::number(i);
    preview->setHorizontalHeaderLabels(heads);
    auto fill = [&](int r, const ImportedSheet& s, const QString& code) {
        preview->setItem(r, 0, new QTableWidgetItem(code));
        for (int i = 0; i < nItem_; ++i)
            preview->setItem(r, i + 1, new QTableWidgetItem(Q(s.answers[i])));
        preview->setVerticalHeaderItem(r, new QTableWidgetItem(QString::number(s.row)));
    };
    if (keyRows) fill(0, plan_.key, "เฉลย");
    for (int r = 0; r < shown; ++r)
        fill(keyRows + r, plan_.sheets[r], Q(plan_.sheets[r].code));
    preview->setColumnWidth(0, 140);
    preview->setVisible(ok);

    QString text;
    if (!plan_.ok()) text = Q(ErrorSummary(plan_.errors));
    for (const auto& w : plan_.warnings)
        text += "คำเตือน: " + Q(w) + "\n";
    for (const auto& d : plan_.duplicates)
        text += "รหัสซ้ำ: " + Q(d) + "\n";
    for (const auto& s : plan_.skipped)
        text += "ไม่นำเข้า: " + Q(s) + "\n";
    for (const auto& d : plan_.dropped)
        text += "ไม่นำเข้า: " + Q(d) + "\n";
    problems->setPlainText(text);
    problems->setVisible(!text.isEmpty());
    showOptionTable();
    importButton->setEnabled(ok);
}

void ImportDialog::showOptionTable() {
    // Only a quiz whose options carry no label needs the teacher's numbers.
    filling_ = true;
    optionTable->setRowCount(0);
    for (const QuizQuestion& q : plan_.questions)
        for (const std::string& text : q.unlabelled) {
            if (text.empty()) continue;
            const int r = optionTable->rowCount();
            optionTable->insertRow(r);
            auto* question = new QTableWidgetItem(Q(q.header));
            question->setFlags(question->flags() & ~Qt::ItemIsEditable);
            auto* option = new QTableWidgetItem(Q(text));
            option->setFlags(option->flags() & ~Qt::ItemIsEditable);
            optionTable->setItem(r, 0, question);
            optionTable->setItem(r, 1, option);
            auto known = quizOptions_.find({q.header, text});
            optionTable->setItem(r, 2,
                                 new QTableWidgetItem(known == quizOptions_.end()
                                                          ? QString()
                                                          : QString::number(known->second)));
        }
    optionTable->setVisible(optionTable->rowCount() > 0);
    optionTable->resizeColumnsToContents();
    filling_ = false;
}

void ImportDialog::takeOptionTable() {
    for (int r = 0; r < optionTable->rowCount(); ++r) {
        bool ok = false;
        const int n = optionTable->item(r, 2)->text().trimmed().toInt(&ok);
        if (!ok) continue;
        quizOptions_[{optionTable->item(r, 0)->text().toStdString(),
                      optionTable->item(r, 1)->text().toStdString()}] = n;
    }
    rememberOptions();
}

// The numbers given to a form's option texts are kept for the next import
// of the same form (the question texts tell the form).
void ImportDialog::rememberOptions() const {
    QSettings settings("itemanalysis", "quiz-options");
    for (const auto& [key, n] : quizOptions_)
        settings.setValue(Q(key.first + "\x1f" + key.second).toUtf8().toBase64(), n);
}

void ImportDialog::recallOptions() {
    QSettings settings("itemanalysis", "quiz-options");
    for (const QString& k : settings.allKeys()) {
        const QString key = QString::fromUtf8(QByteArray::fromBase64(k.toLatin1()));
        const int split = key.indexOf(QChar(0x1f));
        if (split < 0) continue;
        quizOptions_[{key.left(split).toStdString(), key.mid(split + 1).toStdString()}] =
            settings.value(k).toInt();
    }
}

bool ImportDialog::importNow() {
    reread();
    if (!importButton->isEnabled()) return false;
    const ImportMode mode = keyOnlyButton->isChecked()   ? ImportMode::KeyOnly
                            : replaceButton->isChecked() ? ImportMode::Replace
                                                         : ImportMode::Append;
    if (!plan_.duplicates.empty() &&
        !askYesNo("รหัสซ้ำ",
                  "พบรหัสซ้ำ:\n" + Q(ErrorSummary(plan_.duplicates)) + "\nนำเข้าทั้งที่มีรหัสซ้ำหรือไม่"))
        return false;
    // A key the teacher typed is replaced only when asked (the next import
    // reads the source again, key and all).
    ImportPlan& plan = plan_;
    try {
        if (plan.hasKey && mode != ImportMode::KeyOnly && HasTypedKey(*exam_, nItem_) &&
            !askYesNo("มีเฉลยอยู่แล้ว", "ไฟล์มีเฉลยอยู่แล้ว แทนที่ด้วยเฉลยจากแหล่งข้อมูลหรือไม่\n"
                                    "(ไม่ใช่: นำเข้ากระดาษคำตอบโดยคงเฉลยเดิมไว้)"))
            plan.hasKey = false;
    } catch (const std::exception& e) {
        problems->setPlainText(Q(e.what()));
        problems->show();
        return false;
    }
    try {
        BusyCursor busy;
        ImportBackup backup;
        std::string error = ImportRefusal(plan_, mode);
        if (!error.empty()) {
            problems->setPlainText(Q(error));
            problems->show();
            return false;
        }
        if (mode == ImportMode::Replace) {
            if (!backup.take(examPath_, error)) {
                problems->setPlainText(Q(error));
                problems->show();
                return false;
            }
        }
        WindowJobProgress progress(this);
        // The sheets are replaced only once their backup is in its place.
        ApplyImport(*exam_, plan, mode, nItem_, progress, [&] {
            if (mode == ImportMode::Replace && !backup.keep(error)) throw std::runtime_error(error);
        });
    } catch (const std::exception& e) {
        problems->setPlainText(Q(e.what()));
        problems->show();
        return false;
    }
    importedSheets_ = mode == ImportMode::KeyOnly ? 0 : static_cast<int>(plan_.sheets.size());
    return true;
}

} // namespace ia
