// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ThaiFileDialog.h"

#include <QDateTime>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QLocale>
#include <QScreen>
#include <QTreeView>

namespace ia {

const char* const kExamFileFilter = "ไฟล์ข้อสอบ (*.ans)";
const char* const kImportSourceFilter = "ตารางคำตอบ (*.xlsx *.ods *.csv *.tsv *.txt *.dat)";
const char* const kAllFilesFilter = "ทุกไฟล์ (*)";

namespace {

// The columns of QFileSystemModel.
enum FileColumn { NameColumn = 0, SizeColumn = 1, KindColumn = 2, DateColumn = 3 };

struct KindName {
    const char* suffix;
    const char* thai;
};

constexpr KindName kKindNames[] = {
    {"ans", "ไฟล์ข้อสอบ"},           {"xlsx", "สมุดงาน Excel"}, {"xls", "สมุดงาน Excel"},
    {"ods", "สมุดงาน LibreOffice"}, {"csv", "ไฟล์ CSV"},       {"tsv", "ไฟล์ TSV"},
    {"txt", "ไฟล์ข้อความ"},          {"dat", "ไฟล์ข้อมูล"},       {"pdf", "ไฟล์ PDF"},
    {"png", "รูปภาพ PNG"},          {"jpg", "รูปภาพ JPEG"},    {"jpeg", "รูปภาพ JPEG"},
    {"bak", "ไฟล์สำรอง"},           {"json", "ไฟล์ JSON"},
};

// The system's texts of the list replaced by Thai ones; the rest of the
// model (icons, sorting, the names) stays Qt's.
class ThaiFileListModel : public QIdentityProxyModel {
  public:
    using QIdentityProxyModel::QIdentityProxyModel;

    QVariant data(const QModelIndex& index, int role) const override {
        if (role != Qt::DisplayRole || index.column() == NameColumn)
            return QIdentityProxyModel::data(index, role);
        const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
        if (!files) return QIdentityProxyModel::data(index, role);
        const QFileInfo info = files->fileInfo(mapToSource(index));
        switch (index.column()) {
        case SizeColumn:
            return info.isDir() ? QString() : ThaiFileSize(info.size());
        case KindColumn:
            return ThaiFileKind(info);
        case DateColumn:
            return ThaiFileDate(info.lastModified());
        default:
            return QIdentityProxyModel::data(index, role);
        }
    }
};

} // namespace

QString ThaiFileKind(const QFileInfo& file) {
    if (file.isDir()) return "โฟลเดอร์";
    const QString suffix = file.suffix().toLower();
    for (const KindName& k : kKindNames)
        if (suffix == QLatin1String(k.suffix)) return QString::fromUtf8(k.thai);
    if (suffix.isEmpty()) return "ไฟล์";
    return "ไฟล์ " + suffix.toUpper();
}

QString ThaiFileDate(const QDateTime& when) {
    if (!when.isValid()) return {};
    const QLocale thai(QLocale::Thai, QLocale::Thailand);
    const QDate day = when.date();
    return QString("%1 %2 %3 %4")
        .arg(day.day())
        .arg(thai.monthName(day.month(), QLocale::ShortFormat))
        .arg(day.year() + 543)
        .arg(when.time().toString("HH:mm"));
}

QString ThaiFileSize(qint64 bytes) {
    if (bytes < 1024) return QString("%1 ไบต์").arg(bytes);
    const char* const units[] = {"KB", "MB", "GB", "TB"};
    double size = double(bytes) / 1024;
    int unit = 0;
    while (size >= 1024 && unit < 3) {
        size /= 1024;
        ++unit;
    }
    return QString("%1 %2").arg(size, 0, 'f', 1).arg(units[unit]);
}

void MakeFileDialogThai(QFileDialog& dialog) {
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setProxyModel(new ThaiFileListModel(&dialog));
    // The list's columns show their whole text; the name takes what is left.
    if (auto* list = dialog.findChild<QTreeView*>("treeView")) {
        QHeaderView* header = list->header();
        header->setStretchLastSection(false);
        header->setSectionResizeMode(NameColumn, QHeaderView::Stretch);
        for (int c : {SizeColumn, KindColumn, DateColumn})
            header->setSectionResizeMode(c, QHeaderView::ResizeToContents);
    }
    // Roomy enough for the four columns, within the smallest screen.
    QSize room(860, 520);
    if (const QScreen* screen = dialog.screen()) {
        const QSize available = screen->availableGeometry().size();
        room = room.boundedTo(QSize(available.width() * 9 / 10, available.height() * 85 / 100));
    }
    dialog.resize(room);
}

namespace {

QString RunForOne(QFileDialog& dialog) {
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().first();
}

} // namespace

QString ChooseFileToOpen(QWidget* parent, const QString& title, const QStringList& filters) {
    QFileDialog dialog(parent, title);
    MakeFileDialogThai(dialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setNameFilters(filters);
    return RunForOne(dialog);
}

QStringList ChooseFilesToOpen(QWidget* parent, const QString& title, const QStringList& filters) {
    QFileDialog dialog(parent, title);
    MakeFileDialogThai(dialog);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setNameFilters(filters);
    if (dialog.exec() != QDialog::Accepted) return {};
    return dialog.selectedFiles();
}

QString ChooseFileToSave(QWidget* parent, const QString& title, const QString& suggested,
                         const QStringList& filters) {
    QFileDialog dialog(parent, title);
    MakeFileDialogThai(dialog);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilters(filters);
    if (!suggested.isEmpty()) dialog.selectFile(suggested);
    return RunForOne(dialog);
}

} // namespace ia
