// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// "ส่งออก": scores, answers and results of the open exam file to an .xlsx
// workbook or one CSV table, beside the exam file unless the teacher picks
// another place.

#include <QDialog>
#include <QString>

#include <functional>
#include <memory>
#include <string>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace ia {

class Connection;

class ExportDialog : public QDialog {
    Q_OBJECT
  public:
    // From the file in hand, through the exam session's connection to it.
    ExportDialog(std::shared_ptr<Connection> exam, const std::string& examPath, int nItem,
                 QWidget* parent = nullptr);

    // Replaceable so that tests never block.
    std::function<QString(const QString& suggested)> chooseTarget;

    QComboBox* formatBox; // workbook, or CSV of scores, answers or results
    QLineEdit* targetEdit;
    QLabel* messageLabel;
    QPushButton* exportButton;

    // Writes the chosen file; false with the reason shown in the dialog.
    bool exportNow();
    QString writtenPath() const { return written_; }

  private:
    void formatChanged();

    std::shared_ptr<Connection> exam_;
    std::string examPath_;
    int nItem_;
    QString written_;
};

} // namespace ia
