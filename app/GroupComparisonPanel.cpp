// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/GroupComparisonPanel.h"

#include "app/GraphPanel.h"
#include "app/PanelKit.h"
#include "app/ProgressDialog.h"
#include "charts/Charts.h"
#include "report/GraphReport.h"

#include "analysis/Analysis.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace ia {

namespace {

QString Num(const std::optional<double>& x, int decimals = 2) {
    return x && std::isfinite(*x) ? QString::number(*x, 'f', decimals) : QString("-");
}

QTableWidgetItem* Cell(const QString& text) {
    auto* c = new QTableWidgetItem(text);
    c->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    return c;
}

const QColor kMarkedCell(255, 200, 190);

QColor EtsColour(std::optional<EtsClass> c) {
    if (c == EtsClass::C) return QColor(255, 170, 160);
    if (c == EtsClass::B) return QColor(255, 230, 160);
    return QColor(Qt::white);
}

} // namespace

GroupComparisonPanel::GroupComparisonPanel(QWidget* parent) : QFrame(parent) {
    const auto [outer, top] = MakeStatisticsPanel(this, "GroupComparisonPanel", "เปรียบเทียบกลุ่ม");
    top->addWidget(new QLabel("กลุ่มอ้างอิง", this));
    referenceBox = new QComboBox(this);
    referenceBox->setObjectName("grpReference");
    top->addWidget(referenceBox);
    top->addWidget(new QLabel("กลุ่มเปรียบเทียบ", this));
    focalBox = new QComboBox(this);
    focalBox->setObjectName("grpFocal");
    top->addWidget(focalBox);
    purifyCheck = new QCheckBox("ตัดข้อระดับ C ออกจากคะแนนจับคู่", this);
    purifyCheck->setObjectName("grpPurify");
    top->addWidget(purifyCheck);
    closeButton = new QPushButton("ปิด", this);
    closeButton->setObjectName("grpClose");
    top->addWidget(closeButton);

    note = new QLabel(this);
    note->setObjectName("grpNote");
    note->setWordWrap(true);
    outer->addWidget(note);

    auto* body = new QHBoxLayout;
    auto* left = new QVBoxLayout;
    groupTable = ReadOnlyTable(this, "grpGroups", TableSelection::Nothing, true);
    groupTable->setColumnCount(6);
    groupTable->setHorizontalHeaderLabels({"กลุ่ม", "N", "ค่าเฉลี่ย", "SD", "KR-20", "หมายเหตุ"});
    left->addWidget(groupTable, 2);
    left->addWidget(Heading("รายข้อ: p ของแต่ละกลุ่ม และ DIF (Mantel–Haenszel)", this));
    itemTable = ReadOnlyTable(this, "grpItems", TableSelection::OneRow, true);
    left->addWidget(itemTable, 5);
    body->addLayout(left, 6);

    auto* right = new QVBoxLayout;
    auto* chartBar = new QHBoxLayout;
    chartBar->addWidget(Heading("กราฟ p แยกตามกลุ่ม", this));
    chartBar->addStretch();
    overviewButton = new QPushButton("ดูทุกข้อ", this);
    overviewButton->setObjectName("grpOverview");
    chartBar->addWidget(overviewButton);
    right->addLayout(chartBar);
    chart = new ChartView(this);
    chart->setObjectName("grpChart");
    chart->setMinimumSize(260, 220);
    right->addWidget(chart, 1);
    judgement = new QLabel(this);
    judgement->setObjectName("grpJudgement");
    judgement->setWordWrap(true);
    right->addWidget(judgement);
    body->addLayout(right, 5);
    outer->addLayout(body, 1);

    connect(closeButton, &QPushButton::clicked, this, &GroupComparisonPanel::closeRequested);
    connect(itemTable, &QTableWidget::itemSelectionChanged, this,
            [this] { showItem(selectedItem()); });
    auto changed = [this] {
        if (!filling_) recompute();
    };
    connect(referenceBox, &QComboBox::currentIndexChanged, this, changed);
    connect(focalBox, &QComboBox::currentIndexChanged, this, changed);
    connect(purifyCheck, &QCheckBox::toggled, this, changed);
    connect(overviewButton, &QPushButton::clicked, this, [this] {
        overview_ = !overview_;
        overviewButton->setText(overview_ ? "ดูข้อที่เลือก" : "ดูทุกข้อ");
        showItem(selectedItem());
    });
}

std::string GroupComparisonPanel::showFile(const std::string& path) {
    try {
        WindowJobProgress progress(this);
        GroupedAnswers a = LoadGroupedAnswers(path, progress);
        if (a.answers.matrix.sheets < 2) return kTooFewSheets;
        GroupAnalysis g = AnalyseGroups(a.answers.matrix, a.labels, "", "", false);
        path_ = path;
        answers_ = std::move(a.answers);
        labels_ = std::move(a.labels);
        analysis_ = std::move(g);
    } catch (const std::exception& e) {
        return e.what();
    }
    filling_ = true;
    for (QComboBox* box : {referenceBox, focalBox}) {
        box->clear();
        for (const std::string& n : analysis_.groups.names)
            box->addItem(Q(n));
    }
    if (analysis_.dif) {
        referenceBox->setCurrentIndex(analysis_.dif->reference);
        focalBox->setCurrentIndex(analysis_.dif->focal);
    }
    purifyCheck->setChecked(false);
    filling_ = false;
    fillGroups();
    fillItems();
    return {};
}

void GroupComparisonPanel::recompute() {
    if (path_.empty()) return;
    const int item = selectedItem();
    try {
        const int ref = referenceBox->currentIndex(), focal = focalBox->currentIndex();
        if (ref >= 0 && ref == focal) {
            note->setText("กลุ่มอ้างอิงและกลุ่มเปรียบเทียบต้องเป็นคนละกลุ่ม");
            return;
        }
        analysis_ = AnalyseGroups(answers_.matrix, labels_, S(referenceBox->currentText()),
                                  S(focalBox->currentText()), purifyCheck->isChecked());
    } catch (const std::exception& e) {
        note->setText(Q(e.what()));
        return;
    }
    fillGroups();
    fillItems();
    selectItem(item);
}

void GroupComparisonPanel::fillGroups() {
    const GroupComparison& c = analysis_.comparison;
    groupTable->setRowCount(static_cast<int>(c.groups.size()));
    for (int r = 0; r < static_cast<int>(c.groups.size()); ++r) {
        const GroupSummary& g = c.groups[static_cast<size_t>(r)];
        groupTable->setItem(r, 0, Cell(Q(g.name)));
        groupTable->setItem(r, 1, Cell(QString::number(g.n)));
        groupTable->setItem(r, 2, Cell(Num(g.mean)));
        groupTable->setItem(r, 3, Cell(Num(g.sd)));
        groupTable->setItem(r, 4, Cell(Num(g.kr20)));
        groupTable->setItem(
            r, 5,
            Cell(g.judged ? QString()
                          : QString("น้อยกว่า %1 คน แสดงไว้แต่ไม่ตัดสิน").arg(kGroupMinimumSheets)));
    }
    groupTable->resizeColumnsToContents();
    QString text = QString("ช่องสีแดง: p ของกลุ่มต่างจาก p รวมเกิน %1 (สองเท่าของความคลาดเคลื่อนของ p "
                           "ในกลุ่ม %2 คน) ตัดสินเฉพาะกลุ่มที่มีอย่างน้อย %2 คน")
                       .arg(Num(kGroupPDifferenceAbove), QString::number(kGroupMinimumSheets));
    if (c.ungroupedSheets > 0) text += QString(" — %1 แผ่นไม่มีกลุ่ม ไม่นำมาคิด").arg(c.ungroupedSheets);
    if (analysis_.dif && !analysis_.dif->purifiedItems.empty()) {
        QString items;
        for (int i : analysis_.dif->purifiedItems)
            items += (items.isEmpty() ? "" : ", ") + QString::number(i);
        text += " — ไม่นำข้อ " + items + " (ระดับ C) มารวมในคะแนนจับคู่";
    }
    note->setText(text);
}

void GroupComparisonPanel::fillItems() {
    const GroupComparison& c = analysis_.comparison;
    QStringList headers{"ข้อ", "p รวม"};
    for (const GroupSummary& g : c.groups)
        headers << Q(g.name);
    headers << "Δ_MH"
            << "χ²_MH"
            << "p"
            << "ระดับ"
            << "เอื้อต่อกลุ่ม";
    const int difColumn = 2 + static_cast<int>(c.groups.size());
    itemTable->clear();
    itemTable->setColumnCount(static_cast<int>(headers.size()));
    itemTable->setHorizontalHeaderLabels(headers);
    itemTable->setRowCount(static_cast<int>(c.items.size()));
    for (int r = 0; r < static_cast<int>(c.items.size()); ++r) {
        const ComparedItem& it = c.items[static_cast<size_t>(r)];
        auto* number = Cell(QString::number(it.item));
        number->setData(Qt::UserRole, it.item);
        itemTable->setItem(r, 0, number);
        itemTable->setItem(r, 1, Cell(Num(it.pooledP)));
        for (size_t k = 0; k < it.byGroup.size(); ++k) {
            auto* cell = Cell(Num(it.byGroup[k].p));
            if (it.byGroup[k].marked) cell->setBackground(kMarkedCell);
            if (!c.groups[k].judged) cell->setForeground(QColor(120, 120, 120));
            itemTable->setItem(r, 2 + static_cast<int>(k), cell);
        }
        if (analysis_.dif) {
            const ItemDif& d = analysis_.dif->items[static_cast<size_t>(r)];
            itemTable->setItem(r, difColumn, Cell(Num(d.mh.delta)));
            itemTable->setItem(r, difColumn + 1, Cell(Num(d.mh.chi2)));
            itemTable->setItem(r, difColumn + 2, Cell(Num(d.mh.pValue, 3)));
            auto* ets = Cell(d.ets ? EtsClassName(*d.ets) : "-");
            ets->setBackground(EtsColour(d.ets));
            itemTable->setItem(r, difColumn + 3, ets);
            itemTable->setItem(r, difColumn + 4,
                               Cell(d.favours
                                        ? Q(analysis_.groups.names[static_cast<size_t>(*d.favours)])
                                        : QString()));
        }
    }
    itemTable->resizeColumnsToContents();
    if (itemTable->rowCount() > 0 && itemTable->selectedItems().isEmpty()) itemTable->selectRow(0);
    showItem(selectedItem());
}

bool GroupComparisonPanel::selectItem(int item) {
    for (int r = 0; r < itemTable->rowCount(); ++r)
        if (itemTable->item(r, 0)->data(Qt::UserRole).toInt() == item) {
            itemTable->selectRow(r);
            return true;
        }
    return false;
}

int GroupComparisonPanel::selectedItem() const {
    const QList<QTableWidgetItem*> s = itemTable->selectedItems();
    if (s.isEmpty()) return 0;
    const QTableWidgetItem* first = itemTable->item(s.first()->row(), 0);
    return first ? first->data(Qt::UserRole).toInt() : 0;
}

void GroupComparisonPanel::showItem(int item) {
    const GroupComparison& c = analysis_.comparison;
    size_t row = c.items.size();
    for (size_t r = 0; r < c.items.size(); ++r)
        if (c.items[r].item == item) row = r;
    if (overview_) {
        std::vector<charts::GroupPInput> all;
        for (size_t r = 0; r < c.items.size(); ++r)
            all.push_back(GroupPOf(analysis_, r));
        chart->setDraw([all](charts::Canvas& canvas, const charts::Rect& area) {
            const int columns = std::max(1, static_cast<int>(area.w / 70));
            charts::DrawGroupPOverview(canvas, area, all, columns);
        });
    } else if (row < c.items.size()) {
        const charts::GroupPInput in = GroupPOf(analysis_, row);
        chart->setDraw([in](charts::Canvas& canvas, const charts::Rect& area) {
            charts::DrawGroupPChart(canvas, area, in);
        });
    } else {
        chart->setDraw({});
    }
    chart->update();
    if (row >= c.items.size() || !analysis_.dif) {
        judgement->setText(analysis_.dif ? QString() : "มีกลุ่มเดียว จึงไม่ตรวจการทำหน้าที่ต่างกัน (DIF)");
        return;
    }
    const ItemDif& d = analysis_.dif->items[row];
    const std::string favoured =
        d.favours ? analysis_.groups.names[static_cast<size_t>(*d.favours)] : std::string();
    QString text = QString("ข้อ %1: ").arg(item) + Q(DifJudgement(d.ets, favoured));
    if (!analysis_.dif->gmh.empty() && row < analysis_.dif->gmh.size()) {
        const GeneralisedMh& g = analysis_.dif->gmh[row].gmh;
        text += QString("\nทุกกลุ่มพร้อมกัน (generalised MH): χ² = %1, df = %2, p = %3")
                    .arg(Num(g.chi2), QString::number(g.df), Num(g.pValue, 3));
    }
    judgement->setText(text);
}

} // namespace ia
