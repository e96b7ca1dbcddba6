// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ItemStatisticsPanel.h"

#include "app/ProgressDialog.h"

#include "analysis/Analysis.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTableWidget>
#include <QUndoStack>
#include <QVBoxLayout>

#include <limits>

namespace ia {

namespace {

QString Num(double x, int decimals = 3) {
    return QString::number(x, 'f', decimals);
}

QString Num(const std::optional<double>& x, int decimals = 3) {
    return x ? Num(*x, decimals) : QString();
}

// A cell that sorts by a number of its own rather than by its text; an
// undefined value sorts below every number.
class SortCell : public QTableWidgetItem {
  public:
    SortCell(const QString& text, std::optional<double> key) : QTableWidgetItem(text) {
        setData(Qt::UserRole, key ? *key : -std::numeric_limits<double>::infinity());
        setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    }
    bool operator<(const QTableWidgetItem& other) const override {
        return data(Qt::UserRole).toDouble() < other.data(Qt::UserRole).toDouble();
    }
};

enum ItemColumn { ColItem, ColKey, ColP, ColRit, ColAlpha, ColOmitted, ColInvalid, ColFlags };

} // namespace

ItemStatisticsPanel::ItemStatisticsPanel(QWidget* parent) : QFrame(parent) {
    const auto [outer, top] = MakeStatisticsPanel(this, "ItemStatisticsPanel", "สถิติรายข้อ");
    // The selected item's picture, in the graph panel.
    graphButton = new QPushButton("กราฟของข้อนี้", this);
    graphButton->setObjectName("itemStatsGraph");
    top->addWidget(graphButton);
    closeButton = new QPushButton("ปิด", this);
    closeButton->setObjectName("itemStatsClose");
    top->addWidget(closeButton);

    // Below the title everything scrolls rather than being squeezed, so that
    // on a small screen or under the notice no text runs over a table.
    auto* scroll = new QScrollArea(this);
    scroll->setObjectName("itemStatsScroll");
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    auto* page = new QWidget;
    auto* content = new QVBoxLayout(page);
    content->setContentsMargins(0, 0, 0, 0);
    scroll->setWidget(page);
    outer->addWidget(scroll, 1);

    summary = new QLabel(this);
    summary->setObjectName("itemStatsSummary");
    summary->setWordWrap(true);
    summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    content->addWidget(summary);
    thresholds = new QLabel(this);
    thresholds->setObjectName("itemStatsThresholds");
    thresholds->setWordWrap(true);
    thresholds->setText(
        QString("เกณฑ์: ยากเกินไปเมื่อ p < %1, ง่ายเกินไปเมื่อ p > %2, อำนาจจำแนกต่ำเมื่อ 0 ≤ r_it < "
                "%3, ตัวลวงไม่ทำงานเมื่อมีผู้เลือกน้อยกว่าร้อยละ %4, เฉลยอาจผิดเมื่อตัวลวงมี r_pb "
                "มากกว่า 0 และมากกว่า r_it ของเฉลย")
            .arg(Num(kHardBelow, 2), Num(kEasyAbove, 2), Num(kLowDiscriminationBelow, 2),
                 Num(kNonfunctionalBelow * 100, 0)));
    content->addWidget(thresholds);

    auto* notice = new QHBoxLayout;
    outdatedNotice = new QLabel(this);
    outdatedNotice->setObjectName("itemStatsOutdated");
    outdatedNotice->setWordWrap(true);
    outdatedNotice->setAutoFillBackground(true);
    {
        QPalette pal = outdatedNotice->palette();
        pal.setColor(QPalette::Window, QColor(255, 255, 128));
        outdatedNotice->setPalette(pal);
    }
    notice->addWidget(outdatedNotice, 1);
    rerunButton = new QPushButton(this);
    rerunButton->setObjectName("itemStatsRerun");
    notice->addWidget(rerunButton);
    content->addLayout(notice);
    outdatedNotice->hide();
    rerunButton->hide();

    auto* body = new QHBoxLayout;
    auto* left = new QVBoxLayout;
    left->addWidget(Heading("รายข้อ (คลิกหัวคอลัมน์เพื่อเรียง)", this));
    itemTable = ReadOnlyTable(this, "itemStatsItems", TableSelection::OneRow, true);
    itemTable->setColumnCount(8);
    itemTable->setHorizontalHeaderLabels(
        {"ข้อ", "เฉลย", "p", "r_it", "α เมื่อตัดข้อ", "ไม่ตอบ", "นอกตัวเลือก", "ข้อสังเกต"});
    itemTable->setSortingEnabled(true);
    itemTable->setMinimumHeight(180);
    left->addWidget(itemTable);
    body->addLayout(left, 5);

    auto* right = new QVBoxLayout;
    right->addWidget(Heading("ตัวเลือกของข้อที่เลือก", this));
    choiceTable = ReadOnlyTable(this, "itemStatsChoices", TableSelection::Nothing, false);
    choiceTable->setColumnCount(10);
    choiceTable->setHorizontalHeaderLabels({"ตัวเลือก", "จำนวน", "สัดส่วน", "คะแนนเฉลี่ย", "r_pb",
                                            "กลุ่ม 1\n(ต่ำ)", "กลุ่ม 2", "กลุ่ม 3", "กลุ่ม 4",
                                            "กลุ่ม 5\n(สูง)"});
    right->addWidget(choiceTable, 3);
    itemFlags = new QLabel(this);
    itemFlags->setObjectName("itemStatsItemFlags");
    itemFlags->setWordWrap(true);
    right->addWidget(itemFlags);

    whatIfBox_ = new QFrame(this);
    static_cast<QFrame*>(whatIfBox_)->setFrameShape(QFrame::StyledPanel);
    auto* box = new QVBoxLayout(whatIfBox_);
    box->setContentsMargins(6, 6, 6, 6);
    box->addWidget(Heading("ตรวจเฉลย", whatIfBox_));
    whatIf = new QLabel(whatIfBox_);
    whatIf->setObjectName("itemStatsWhatIf");
    whatIf->setWordWrap(true);
    box->addWidget(whatIf);
    auto* buttons = new QHBoxLayout;
    buttons->setObjectName("itemStatsWhatIfButtons");
    dropItemButton = new QPushButton("ตัดข้อนี้", whatIfBox_);
    dropItemButton->setObjectName("itemStatsDrop");
    buttons->addStretch();
    buttons->addWidget(dropItemButton);
    box->addLayout(buttons);
    right->addWidget(whatIfBox_);
    whatIfBox_->hide();
    undoButton = new QPushButton(this);
    undoButton->setObjectName("itemStatsUndo");
    undoButton->hide();
    right->addWidget(undoButton);

    right->addWidget(Heading("ข้อที่ควรตรวจสอบก่อน", this));
    checkFirst = new QListWidget(this);
    checkFirst->setObjectName("itemStatsCheckFirst");
    checkFirst->setWordWrap(true);
    right->addWidget(checkFirst, 2);
    body->addLayout(right, 6);
    content->addLayout(body, 1);

    connect(closeButton, &QPushButton::clicked, this, &ItemStatisticsPanel::closeRequested);
    connect(graphButton, &QPushButton::clicked, this,
            [this] { emit graphRequested(selectedItem()); });
    connect(rerunButton, &QPushButton::clicked, this, &ItemStatisticsPanel::rerunRequested);
    connect(itemTable, &QTableWidget::itemSelectionChanged, this,
            [this] { showItem(selectedItem()); });
    connect(checkFirst, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* i) { selectItem(i->data(Qt::UserRole).toInt()); });
    connect(dropItemButton, &QPushButton::clicked, this, [this] { applyKeyChange(kNoAnswer); });
    connect(undoButton, &QPushButton::clicked, this, &ItemStatisticsPanel::undoLastChange);
}

std::string ItemStatisticsPanel::showFile(const std::string& path) {
    ExamAnswers a;
    try {
        WindowJobProgress progress(this);
        a = LoadExamAnswers(path, progress);
    } catch (const std::exception& e) {
        return e.what();
    }
    if (a.matrix.sheets < 2) return kTooFewSheets;
    TestStatistics t = ComputeItemStatistics(a.matrix);
    if (t.keyedItems == 0) return kNoKeyedItem;
    const int keep = path == path_ ? selectedItem() : 0;
    path_ = path;
    answers_ = std::move(a);
    stats_ = std::move(t);
    fillSummary();
    fillItemTable();
    fillCheckFirst();
    if (!selectItem(keep) && !stats_.items.empty()) {
        // The item most in need of a look, or else the first.
        selectItem(checkFirst->count() ? checkFirst->item(0)->data(Qt::UserRole).toInt()
                                       : stats_.items.front().item);
    }
    updateUndoButton();
    return {};
}

void ItemStatisticsPanel::forgetFile() {
    path_.clear();
    updateUndoButton();
}

void ItemStatisticsPanel::setOutdated(ResultsCurrency currency,
                                      std::optional<Technique> technique) {
    const std::string notice = ResultsCurrencyNotice(currency);
    const bool outdated = !notice.empty();
    outdatedNotice->setVisible(outdated);
    rerunButton->setVisible(outdated && technique.has_value());
    if (!outdated) return;
    // The figures of this panel are the sheets' as they are now; the notice
    // is about the stored results and the report.
    if (technique) {
        outdatedNotice->setText(QString::fromStdString(notice) + " (ตัวเลขในหน้านี้คำนวณจากข้อมูลปัจจุบัน)");
        rerunButton->setText(*technique == Technique::SimpleFormula25 ? "วิเคราะห์ 25 % ใหม่"
                                                                      : "วิเคราะห์ 27 % ใหม่");
    } else {
        outdatedNotice->setText(QString::fromStdString(notice) +
                                " กรุณากดวิเคราะห์ 25 % หรือ 27 % อีกครั้ง");
    }
}

void ItemStatisticsPanel::setStoredJudgements(std::map<int, QString> judgements) {
    judgements_ = std::move(judgements);
    if (selectedItem() > 0) showItem(selectedItem());
}

void ItemStatisticsPanel::fillSummary() {
    const TestStatistics& t = stats_;
    auto opt = [](const std::optional<double>& x) { return x ? Num(*x, 4) : QString("—"); };
    summary->setText(QString("ผู้สอบ %1 คน   ข้อที่มีเฉลย %2 ข้อ   คะแนนเฉลี่ย %3   ส่วนเบี่ยงเบนมาตรฐาน %4\n"
                             "KR-20 %5   KR-21 %6   ความคลาดเคลื่อนมาตรฐานของการวัด %7   "
                             "ความเที่ยงแบบแบ่งครึ่ง (คี่-คู่) %8")
                         .arg(t.sheets)
                         .arg(t.keyedItems)
                         .arg(Num(t.mean, 4), Num(t.sd, 4), opt(t.kr20), opt(t.kr21), opt(t.sem),
                              opt(t.splitHalf)));
}

QString ItemStatisticsPanel::keyText(int item) const {
    return Q(answers_.keyTexts.at(static_cast<size_t>(item - 1)));
}

void ItemStatisticsPanel::fillItemTable() {
    const QSignalBlocker block(itemTable);
    itemTable->setSortingEnabled(false);
    itemTable->clearContents();
    itemTable->setRowCount(static_cast<int>(stats_.items.size()));
    int row = 0;
    for (const ItemStatistics& it : stats_.items) {
        QStringList flags;
        for (const ItemFlag& f : it.flags)
            flags << QString::fromStdString(ShortFlagText(f));
        const QString key = keyText(it.item);
        auto* keyCell = new SortCell(key, it.key == kOtherKey ? 99.0 : double(it.key));
        QTableWidgetItem* cells[] = {
            new SortCell(QString::number(it.item), it.item),
            keyCell,
            new SortCell(Num(it.p), it.p),
            new SortCell(Num(it.rit), it.rit),
            new SortCell(Num(it.alphaIfDeleted), it.alphaIfDeleted),
            new SortCell(QString::number(it.omitted), it.omitted),
            new SortCell(QString::number(it.invalid), it.invalid),
            new SortCell(flags.join(", "), FlagSortWeight(it)),
        };
        for (int c = 0; c < 8; ++c) {
            QTableWidgetItem* cell = cells[c];
            if (c != ColFlags) cell->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            if (it.has(FlagCode::PossibleMiskey)) cell->setBackground(QColor(255, 210, 210));
            if (c == ColFlags) cell->setToolTip(flags.join("\n"));
            itemTable->setItem(row, c, cell);
        }
        ++row;
    }
    itemTable->setSortingEnabled(true);
    itemTable->resizeColumnsToContents();
}

void ItemStatisticsPanel::fillCheckFirst() {
    checkFirst->clear();
    auto add = [&](const ItemStatistics& it) {
        QStringList texts;
        for (const ItemFlag& f : it.flags)
            texts << Q(f.text);
        auto* row =
            new QListWidgetItem("ข้อ " + QString::number(it.item) + ": " + texts.join(" / "));
        row->setData(Qt::UserRole, it.item);
        if (it.has(FlagCode::PossibleMiskey)) row->setBackground(QColor(255, 210, 210));
        checkFirst->addItem(row);
    };
    for (const ItemStatistics& it : stats_.items)
        if (it.has(FlagCode::PossibleMiskey)) add(it);
    for (const ItemStatistics& it : stats_.items)
        if (!it.flags.empty() && !it.has(FlagCode::PossibleMiskey)) add(it);
}

bool ItemStatisticsPanel::selectItem(int item) {
    for (int r = 0; r < itemTable->rowCount(); ++r) {
        if (itemTable->item(r, ColItem)->data(Qt::UserRole).toInt() == item) {
            itemTable->selectRow(r);
            itemTable->scrollToItem(itemTable->item(r, ColItem));
            showItem(item);
            return true;
        }
    }
    return false;
}

int ItemStatisticsPanel::selectedItem() const {
    const auto rows = itemTable->selectionModel()->selectedRows();
    if (rows.isEmpty()) return 0;
    return itemTable->item(rows.front().row(), ColItem)->data(Qt::UserRole).toInt();
}

const ItemStatistics* ItemStatisticsPanel::current() const {
    return stats_.item(selectedItem());
}

void ItemStatisticsPanel::showItem(int item) {
    const ItemStatistics* it = stats_.item(item);
    choiceTable->clearContents();
    for (QPushButton* b : changeKeyButtons)
        b->deleteLater();
    changeKeyButtons.clear();
    if (!it) {
        choiceTable->setRowCount(0);
        itemFlags->clear();
        whatIfBox_->hide();
        return;
    }
    choiceTable->setRowCount(static_cast<int>(it->choices.size()));
    int row = 0;
    for (const ChoiceStatistics& ch : it->choices) {
        const bool isKey = ch.choice != 0 && ch.choice == it->key;
        QStringList cells{ch.choice == 0 ? "ไม่ตอบ" : QString::number(ch.choice),
                          QString::number(ch.count), Num(ch.proportion), Num(ch.meanScore, 2),
                          Num(ch.rpb)};
        if (isKey) cells[0] += "  ✓ เฉลย";
        for (const auto& g : ch.groups)
            cells << Num(g, 2);
        for (int c = 0; c < cells.size(); ++c) {
            auto* cell = new QTableWidgetItem(cells[c]);
            cell->setTextAlignment((c == 0 ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter);
            if (isKey) {
                QFont f = cell->font();
                f.setBold(true);
                cell->setFont(f);
                cell->setBackground(QColor(200, 255, 200));
            }
            choiceTable->setItem(row, c, cell);
        }
        ++row;
    }
    choiceTable->resizeColumnsToContents();
    // Every choice in sight, whatever else the column holds, also with the
    // scroll bar a narrow window gives the table.
    choiceTable->setMinimumHeight(choiceTable->horizontalHeader()->sizeHint().height() +
                                  row * choiceTable->verticalHeader()->defaultSectionSize() +
                                  2 * choiceTable->frameWidth() +
                                  choiceTable->horizontalScrollBar()->sizeHint().height());

    QString flagText = "ข้อ " + QString::number(it->item) + "  เฉลย " + keyText(it->item);
    for (const ItemFlag& f : it->flags)
        flagText += "\n• " + Q(f.text);
    if (it->flags.empty()) flagText += "\nไม่มีข้อสังเกต";
    if (const auto j = judgements_.find(it->item); j != judgements_.end())
        flagText += "\nรายงาน: " + j->second;
    itemFlags->setText(flagText);

    if (!it->has(FlagCode::PossibleMiskey)) {
        whatIfBox_->hide();
        return;
    }
    auto krText = [](const std::optional<double>& x) { return x ? Num(*x, 4) : QString("—"); };
    QString text = "ตอนนี้: KR-20 " + krText(stats_.kr20) + ", r_it ของข้อนี้ " + krText(it->rit);
    auto* buttons = whatIfBox_->findChild<QHBoxLayout*>("itemStatsWhatIfButtons");
    int at = 0;
    for (const ItemFlag& f : it->flags) {
        if (f.code != FlagCode::PossibleMiskey) continue;
        const AnswerCode choice = static_cast<AnswerCode>(f.choice);
        const KeyChangeEffect e = EffectOfKeyChange(answers_.matrix, it->item, choice);
        text += "\nถ้าเปลี่ยนเฉลยเป็น " + QString::number(f.choice) + ": KR-20 " + krText(e.kr20) +
                ", r_it ของข้อนี้ " + krText(e.rit);
        auto* b = new QPushButton("เปลี่ยนเฉลยเป็น " + QString::number(f.choice), whatIfBox_);
        b->setObjectName("itemStatsChangeKey" + QString::number(f.choice));
        connect(b, &QPushButton::clicked, this, [this, choice] { applyKeyChange(choice); });
        buttons->insertWidget(at++, b);
        changeKeyButtons.push_back(b);
    }
    const KeyChangeEffect dropped = EffectOfKeyChange(answers_.matrix, it->item, kNoAnswer);
    text += "\nถ้าตัดข้อนี้ (ไม่นับคะแนน): KR-20 " + krText(dropped.kr20);
    whatIf->setText(text);
    whatIfBox_->show();
}

bool ItemStatisticsPanel::storeKey(int item, const Value& key) {
    std::string refusal = "แก้เฉลยไม่ได้";
    if (writeKey) refusal = writeKey(item, key);
    if (refusal.empty()) return true;
    if (showError) showError(Q(refusal));
    return false;
}

bool ItemStatisticsPanel::applyKeyChange(AnswerCode newKey) {
    const ItemStatistics* it = current();
    if (!it || path_.empty()) return false;
    const int item = it->item;
    if (!storeKey(item, Value(ChoiceText(newKey)))) return false;
    // Dropping the last keyed item leaves nothing to show; the teacher still
    // sees the statistics from before and can undo.
    if (const std::string refusal = showFile(path_); !refusal.empty() && showError)
        showError(Q(refusal));
    selectItem(item);
    updateUndoButton();
    emit keyChanged();
    return true;
}

bool ItemStatisticsPanel::canUndo() const {
    return history_ && history_->canUndo();
}

void ItemStatisticsPanel::setHistory(QUndoStack* history, std::function<void()> undoInWindow) {
    history_ = history;
    undoInWindow_ = std::move(undoInWindow);
    connect(history_, &QUndoStack::indexChanged, this, [this] { updateUndoButton(); });
    connect(history_, &QUndoStack::cleanChanged, this, [this] { updateUndoButton(); });
    updateUndoButton();
}

bool ItemStatisticsPanel::undoLastChange() {
    if (!canUndo() || path_.empty()) return false;
    const int item = selectedItem();
    const int before = history_->index();
    if (undoInWindow_)
        undoInWindow_();
    else
        history_->undo();
    if (history_->index() == before) return false;
    showFile(path_);
    selectItem(item);
    updateUndoButton();
    emit keyChanged();
    return true;
}

void ItemStatisticsPanel::updateUndoButton() {
    if (!canUndo()) {
        undoButton->hide();
        return;
    }
    undoButton->setText("ย้อนกลับ: " + history_->undoText());
    undoButton->show();
}

} // namespace ia
