// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// "นำเข้า": answer sheets from a spreadsheet, a scanner file or an online
// quiz export into the open exam file. Every change of the source or an
// option reads the source again and shows what would be imported, or every
// bad cell; the import button stays off until the source is right.

#include "exchange/SheetImport.h"

#include <QDialog>
#include <QString>

#include <functional>
#include <memory>
#include <string>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTableWidget;

namespace ia {

class Connection;

class ImportDialog : public QDialog {
    Q_OBJECT
  public:
    // Into the file in hand, through the exam session's connection to it.
    ImportDialog(std::shared_ptr<Connection> exam, const std::string& examPath, int nItem,
                 int nChoice, QWidget* parent = nullptr);

    // Replaceable so that tests never block.
    std::function<QString()> chooseSource;
    std::function<bool(const QString& title, const QString& text)> askYesNo;

    void setSource(const QString& path);
    const ImportPlan& plan() const { return plan_; }
    // How many sheets (and whether the key) the last import wrote.
    int importedSheets() const { return importedSheets_; }

    QLineEdit* sourceEdit;
    QComboBox* encodingBox;
    QComboBox* headerBox;
    QLineEdit* codeColumnEdit;
    QLineEdit* columnsEdit; // every column's role, as --columns takes it
    QLineEdit* sheetEdit;
    QCheckBox* fixedBox;
    QLineEdit* codeColumnsEdit;
    QLineEdit* answersFromEdit;
    QRadioButton* appendButton;
    QRadioButton* replaceButton;
    QRadioButton* keyOnlyButton;
    QLabel* summaryLabel;
    QTableWidget* preview;
    QTableWidget* optionTable; // a quiz's option texts without a label
    QPlainTextEdit* problems;
    QPushButton* importButton;

    // Reads the source again with the options as they stand.
    void reread();
    // Checks once more and writes; true when written.
    bool importNow();

  private:
    ImportOptions options() const;
    void showPlan();
    void showOptionTable();
    void takeOptionTable();
    void rememberOptions() const;
    void recallOptions();

    std::shared_ptr<Connection> exam_;
    std::string examPath_;
    int nItem_;
    int nChoice_;
    ImportPlan plan_;
    QuizOptionMap quizOptions_;
    int importedSheets_ = 0;
    bool filling_ = false;
};

} // namespace ia
