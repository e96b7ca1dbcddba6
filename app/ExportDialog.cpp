// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ExportDialog.h"

#include "app/BusyCursor.h"
#include "app/ProgressDialog.h"
#include "app/ScreenFit.h"
#include "app/ThaiFileDialog.h"
#include "examfile/Engine.h"
#include "exchange/ResultsExport.h"
#include "report/OutputPath.h"
#include "session/ExamSession.h"

#include <QComboBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <utility>

namespace ia {

ExportDialog::ExportDialog(std::shared_ptr<Connection> exam, const std::string& examPath, int nItem,
                           QWidget* parent)
    : QDialog(parent), exam_(std::move(exam)), examPath_(examPath), nItem_(nItem) {
    setWindowTitle("ส่งออกผลการวิเคราะห์");
    setObjectName("ExportDialog");
    FitToScreen(this, {620, 180});
    auto* top = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    formatBox = new QComboBox;
    formatBox->setObjectName("formatBox");
    formatBox->addItems({"สมุดงาน Excel (.xlsx): คะแนน คำตอบ ผลวิเคราะห์ สถิติรายข้อ ตัวเลือก สรุป",
                         "CSV: คะแนน", "CSV: คำตอบ", "CSV: ผลวิเคราะห์", "CSV: สรุป"});
    form->addRow("ส่งออกเป็น", formatBox);
    auto* targetRow = new QHBoxLayout;
    targetEdit = new QLineEdit(QString::fromStdString(DerivedPath(examPath_, "xlsx")));
    targetEdit->setObjectName("targetEdit");
    targetRow->addWidget(targetEdit, 1);
    auto* browse = new QPushButton("เลือกที่เก็บ...");
    browse->setAutoDefault(false);
    targetRow->addWidget(browse);
    form->addRow("ไฟล์", targetRow);
    top->addLayout(form);
    messageLabel = new QLabel;
    messageLabel->setObjectName("messageLabel");
    messageLabel->setWordWrap(true);
    messageLabel->setStyleSheet("color: #b40000");
    top->addWidget(messageLabel);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    exportButton = new QPushButton("ส่งออก");
    exportButton->setObjectName("exportButton");
    exportButton->setDefault(true); // Enter exports, as the OK of any dialog
    auto* cancel = new QPushButton("ยกเลิก");
    cancel->setAutoDefault(false);
    buttons->addWidget(exportButton);
    buttons->addWidget(cancel);
    top->addLayout(buttons);

    chooseTarget = [this](const QString& suggested) {
        return ChooseFileToSave(
            this, "ส่งออกไปที่", suggested,
            {formatBox->currentIndex() == 0 ? "สมุดงาน Excel (*.xlsx)" : "ไฟล์ CSV (*.csv)"});
    };
    connect(formatBox, &QComboBox::currentIndexChanged, this, &ExportDialog::formatChanged);
    connect(browse, &QPushButton::clicked, this, [this] {
        const QString path = chooseTarget(targetEdit->text());
        if (!path.isEmpty()) targetEdit->setText(path);
    });
    connect(exportButton, &QPushButton::clicked, this, [this] {
        if (exportNow()) accept();
    });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void ExportDialog::formatChanged() {
    // The suggested name follows the format; a name the teacher typed keeps
    // its folder and stem.
    const QFileInfo info(targetEdit->text());
    const QString ext = formatBox->currentIndex() == 0 ? "xlsx" : "csv";
    if (info.suffix().compare(ext, Qt::CaseInsensitive) != 0)
        targetEdit->setText(info.path() + "/" + info.completeBaseName() + "." + ext);
}

bool ExportDialog::exportNow() {
    const std::string out = targetEdit->text().trimmed().toStdString();
    std::string error = out.empty() ? "กรุณาระบุชื่อไฟล์" : ExportTargetRefusal(examPath_, out);
    if (error.empty()) {
        BusyCursor busy;
        try {
            WindowJobProgress progress(this);
            auto sheets = BuildExportSheets(*exam_, nItem_, progress);
            // Stored results that no longer match the data say so in the
            // summary too.
            NoteResultsCurrency(sheets, ResultsCurrencyNotice(StoredResultsCurrency(*exam_)));
            const int format = formatBox->currentIndex();
            const CsvTable tables[] = {CsvTable::Scores, CsvTable::Scores, CsvTable::Answers,
                                       CsvTable::Results, CsvTable::Summary};
            if (format == 0)
                WriteXlsx(sheets, out, error, progress);
            else
                WriteCsv(CsvSheet(sheets, tables[format]), out, error, progress);
        } catch (const std::exception& e) {
            error = e.what();
        }
    }
    messageLabel->setText(QString::fromStdString(error));
    if (!error.empty()) return false;
    written_ = QString::fromStdString(out);
    return true;
}

} // namespace ia
