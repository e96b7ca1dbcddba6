// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The dialogs in which the teacher picks a file: Qt's own file dialog (whose
// texts the program has in Thai), with Thai names of the kinds of file and
// Thai dates in its list, and columns wide enough for what they show.

#include <QString>
#include <QStringList>

class QDateTime;
class QFileDialog;
class QFileInfo;
class QWidget;

namespace ia {

// The name filters the dialogs offer.
extern const char* const kExamFileFilter;     // "ไฟล์ข้อสอบ (*.ans)"
extern const char* const kImportSourceFilter; // tables of answers an import reads
extern const char* const kAllFilesFilter;     // "ทุกไฟล์ (*)"

// What the list's type column says of a file: "ไฟล์ข้อสอบ", "โฟลเดอร์",
// "ไฟล์ CSV"… (the system's names are English and too long for the column).
QString ThaiFileKind(const QFileInfo& file);
// The list's date: day, Thai month and Buddhist year, as a Thai reader dates
// a file ("5 มี.ค. 2567 14:07").
QString ThaiFileDate(const QDateTime& when);
// The list's size: "512 ไบต์", "48.0 KB".
QString ThaiFileSize(qint64 bytes);

// Makes `dialog` Qt's own dialog with the Thai list; the filters' texts are
// the caller's.
void MakeFileDialogThai(QFileDialog& dialog);

// The chosen file (or files), or nothing when the teacher cancelled.
QString ChooseFileToOpen(QWidget* parent, const QString& title, const QStringList& filters);
QStringList ChooseFilesToOpen(QWidget* parent, const QString& title, const QStringList& filters);
QString ChooseFileToSave(QWidget* parent, const QString& title, const QString& suggested,
                         const QStringList& filters);

} // namespace ia
