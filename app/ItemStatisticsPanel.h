// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The "สถิติรายข้อ" panel: whole-test statistics, the item table, the
// choices of the selected item, the items to check first and the key check
// with its what-if. It reads the exam file on its own and writes only the key
// row, when the teacher applies a change.

#include "analysis/AnalysisState.h"
#include "analysis/ExamAnswers.h"
#include "analysis/ItemStatistics.h"
#include "app/PanelKit.h"
#include "examfile/Engine.h"
#include "session/ExamSession.h"

#include <QFrame>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

class QLabel;
class QListWidget;
class QPushButton;
class QTableWidget;

class QUndoStack;

namespace ia {

class ItemStatisticsPanel : public QFrame {
    Q_OBJECT
  public:
    explicit ItemStatisticsPanel(QWidget* parent = nullptr);

    // Reads the file and shows its statistics. On a refusal (no keyed item,
    // fewer than two sheets, a damaged file) returns the Thai text and
    // shows nothing new.
    std::string showFile(const std::string& path);
    // The file is closed or another one opened: the undo list goes.
    void forgetFile();
    // Whether the stored results still describe the key, and which
    // technique made them (none: not known in this session).
    void setOutdated(ResultsCurrency currency, std::optional<Technique> technique);
    // The stored results' judgement of each keyed item (the report's
    // category, ItemQualityCategory()), shown under the item's notes.
    void setStoredJudgements(std::map<int, QString> judgements);

    // Selects an item of the table by its number; false if not listed.
    bool selectItem(int item);
    int selectedItem() const;

    // Applies a key change (a choice 1..C, or kNoAnswer to drop the item) to
    // the selected item, in one transaction; false with a message shown when
    // the file refused it.
    bool applyKeyChange(AnswerCode newKey);
    // Turns back the last step of the file's history (the window's one
    // list: a key change made here is one of its steps).
    bool undoLastChange();
    bool canUndo() const;

    // The key written through the window's exam session, one step of the
    // file's history; returns the refusal text, empty once stored.
    std::function<std::string(int item, const Value& key)> writeKey;
    // The file's history, and how the window turns its last step back.
    void setHistory(QUndoStack* history, std::function<void()> undoInWindow);

    const TestStatistics& statistics() const { return stats_; }

    // Where messages go (the window's message box; tests keep them).
    std::function<void(const QString&)> showError;

    QLabel* summary;
    QLabel* thresholds;
    QLabel* outdatedNotice;
    QPushButton* rerunButton;
    QTableWidget* itemTable;
    QTableWidget* choiceTable;
    QLabel* itemFlags;
    QListWidget* checkFirst;
    QLabel* whatIf;
    std::vector<QPushButton*> changeKeyButtons; // one per possible miskey
    QPushButton* dropItemButton;
    QPushButton* undoButton;
    QPushButton* graphButton;
    QPushButton* closeButton;

  signals:
    // The teacher asks for the charts, at the selected item (0: none).
    void graphRequested(int item);
    // The key row was written; the window re-reads its key view.
    void keyChanged();
    // The teacher asks to run the last technique again.
    void rerunRequested();
    void closeRequested();

  private:
    std::map<int, QString> judgements_;
    void fillSummary();
    void fillItemTable();
    void fillCheckFirst();
    void showItem(int item);
    void updateUndoButton();
    bool storeKey(int item, const Value& key);
    const ItemStatistics* current() const;
    QString keyText(int item) const;

    std::string path_;
    ExamAnswers answers_;
    TestStatistics stats_;
    QUndoStack* history_ = nullptr;
    std::function<void()> undoInWindow_;
    QWidget* whatIfBox_;
};

} // namespace ia
