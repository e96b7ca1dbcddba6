// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ThaiDialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QHash>
#include <QPointer>
#include <QTimer>

#include <cstring>

namespace ia {

namespace {

const char* const kProgramName = "โปรแกรมวิเคราะห์ข้อสอบ";

struct ButtonText {
    QMessageBox::StandardButton button;
    const char* thai;
};

constexpr ButtonText kButtonTexts[] = {
    {QMessageBox::Ok, "ตกลง"},
    {QMessageBox::Cancel, "ยกเลิก"},
    {QMessageBox::Yes, "ใช่"},
    {QMessageBox::No, "ไม่ใช่"},
    {QMessageBox::Save, "บันทึก"},
    {QMessageBox::Open, "เปิด"},
    {QMessageBox::Close, "ปิด"},
    {QMessageBox::Discard, "ไม่บันทึก"},
    {QMessageBox::Retry, "ลองใหม่"},
    {QMessageBox::Ignore, "ข้าม"},
    {QMessageBox::Abort, "ยกเลิกการทำงาน"},
    {QMessageBox::YesToAll, "ใช่ทั้งหมด"},
    {QMessageBox::NoToAll, "ไม่ใช่ทั้งหมด"},
    {QMessageBox::Help, "วิธีใช้"},
};

} // namespace

QString ThaiButtonText(QMessageBox::StandardButton button) {
    for (const ButtonText& b : kButtonTexts)
        if (b.button == button) return QString::fromUtf8(b.thai);
    return {};
}

std::unique_ptr<QMessageBox> MakeQuestionBox(QWidget* parent, QMessageBox::Icon icon,
                                             const QString& title, const QString& text,
                                             QMessageBox::StandardButtons buttons,
                                             QMessageBox::StandardButton safe) {
    auto box = std::make_unique<QMessageBox>(
        icon, title.isEmpty() ? QString::fromUtf8(kProgramName) : title, text, buttons, parent);
    for (QAbstractButton* b : box->buttons()) {
        const QString thai = ThaiButtonText(box->standardButton(b));
        if (!thai.isEmpty()) b->setText(thai);
    }
    box->setDefaultButton(safe);
    box->setEscapeButton(safe);
    box->setWindowModality(parent ? Qt::WindowModal : Qt::ApplicationModal);
    return box;
}

QMessageBox::StandardButton AskWithBox(QMessageBox& box) {
    // A box that opens behind its window is answered unseen; once shown it
    // is put on top and given the keys.
    QPointer<QMessageBox> shown(&box);
    QTimer::singleShot(0, &box, [shown] {
        if (!shown) return;
        shown->raise();
        shown->activateWindow();
    });
    box.exec();
    QAbstractButton* clicked = box.clickedButton();
    if (!clicked) return box.standardButton(box.escapeButton());
    return box.standardButton(clicked);
}

namespace {

struct Text {
    const char* context;
    const char* source;
    const char* thai;
};

// The texts of Qt 6's dialogs that the window opens, by translation context.
constexpr Text kTexts[] = {
    // Buttons of message boxes and dialog button boxes.
    {"QPlatformTheme", "OK", "ตกลง"},
    {"QPlatformTheme", "&OK", "&ตกลง"},
    {"QPlatformTheme", "Cancel", "ยกเลิก"},
    {"QPlatformTheme", "&Cancel", "&ยกเลิก"},
    {"QPlatformTheme", "&Yes", "&ใช่"},
    {"QPlatformTheme", "&No", "&ไม่ใช่"},
    {"QPlatformTheme", "Yes", "ใช่"},
    {"QPlatformTheme", "No", "ไม่ใช่"},
    {"QPlatformTheme", "Open", "เปิด"},
    {"QPlatformTheme", "&Open", "&เปิด"},
    {"QPlatformTheme", "Save", "บันทึก"},
    {"QPlatformTheme", "&Save", "&บันทึก"},
    {"QPlatformTheme", "Close", "ปิด"},
    {"QPlatformTheme", "&Close", "&ปิด"},
    {"QPlatformTheme", "Help", "วิธีใช้"},
    {"QPlatformTheme", "Apply", "ใช้"},
    {"QPlatformTheme", "Reset", "ตั้งใหม่"},
    {"QPlatformTheme", "Discard", "ไม่บันทึก"},
    {"QPlatformTheme", "Retry", "ลองใหม่"},
    {"QPlatformTheme", "Ignore", "ข้าม"},
    {"QPlatformTheme", "Abort", "ยกเลิกการทำงาน"},
    {"QMessageBox", "Show Details...", "แสดงรายละเอียด..."},
    {"QMessageBox", "Hide Details...", "ซ่อนรายละเอียด..."},
    // The open dialog.
    {"QFileDialog", "Open", "เปิดไฟล์"},
    {"QFileDialog", "&Open", "&เปิด"},
    {"QFileDialog", "Look in:", "ค้นหาใน:"},
    {"QFileDialog", "File &name:", "&ชื่อไฟล์:"},
    {"QFileDialog", "Files of type:", "ชนิดไฟล์:"},
    {"QFileDialog", "Back", "ย้อนกลับ"},
    {"QFileDialog", "Go back", "ย้อนกลับ"},
    {"QFileDialog", "Forward", "ไปข้างหน้า"},
    {"QFileDialog", "Go forward", "ไปข้างหน้า"},
    {"QFileDialog", "Parent Directory", "โฟลเดอร์ที่อยู่สูงขึ้นไป"},
    {"QFileDialog", "Go to the parent directory", "ไปยังโฟลเดอร์ที่อยู่สูงขึ้นไป"},
    {"QFileDialog", "Create New Folder", "สร้างโฟลเดอร์ใหม่"},
    {"QFileDialog", "Create a New Folder", "สร้างโฟลเดอร์ใหม่"},
    {"QFileDialog", "List View", "แสดงเป็นรายการ"},
    {"QFileDialog", "Change to list view mode", "แสดงเป็นรายการ"},
    {"QFileDialog", "Detail View", "แสดงรายละเอียด"},
    {"QFileDialog", "Change to detail view mode", "แสดงรายละเอียด"},
    {"QFileDialog", "Sidebar", "ที่ตั้งโฟลเดอร์"},
    {"QFileDialog", "List of places and bookmarks", "รายการที่ตั้งและที่คั่นไว้"},
    {"QFileDialog", "Files", "ไฟล์"},
    {"QFileDialog", "Directory:", "โฟลเดอร์:"},
    {"QFileDialog", "File", "ไฟล์"},
    {"QFileDialog", "Folder", "โฟลเดอร์"},
    {"QFileDialog", "Directory", "โฟลเดอร์"},
    {"QFileDialog", "Alias", "ทางลัด"},
    {"QFileDialog", "Shortcut", "ทางลัด"},
    {"QFileDialog", "Unknown", "ไม่ทราบ"},
    {"QFileDialog", "New Folder", "โฟลเดอร์ใหม่"},
    {"QFileDialog", "&New Folder", "&โฟลเดอร์ใหม่"},
    {"QFileDialog", "&Rename", "&เปลี่ยนชื่อ"},
    {"QFileDialog", "&Delete", "&ลบ"},
    {"QFileDialog", "Show &hidden files", "แสดงไฟล์&ที่ซ่อนไว้"},
    {"QFileDialog", "My Computer", "คอมพิวเตอร์"},
    {"QFileDialog", "Show ", "แสดง"},
    {"QFileDialog", "Recent Places", "ที่ใช้ล่าสุด"},
    {"QFileDialog", "All Files (*)", "ทุกไฟล์ (*)"},
    {"QFileDialog", "Save As", "บันทึกเป็น"},
    {"QFileDialog", "%1 already exists.\nDo you want to replace it?",
     "มีไฟล์ %1 อยู่แล้ว\nจะเขียนทับหรือไม่"},
    {"QFileDialog", "%1\nFile not found.\nPlease verify the correct file name was given.",
     "%1\nไม่พบไฟล์นี้\nกรุณาตรวจชื่อไฟล์"},
    {"QFileDialog", "%1\nDirectory not found.\nPlease verify the correct directory name was given.",
     "%1\nไม่พบโฟลเดอร์นี้\nกรุณาตรวจชื่อโฟลเดอร์"},
    {"QFileDialog", "Are you sure you want to delete '%1'?", "จะลบ '%1' หรือไม่"},
    {"QFileSystemModel", "Name", "ชื่อ"},
    {"QFileSystemModel", "Size", "ขนาด"},
    {"QFileSystemModel", "Type", "ชนิด"},
    {"QFileSystemModel", "Kind", "ชนิด"},
    {"QFileSystemModel", "Date Modified", "วันที่แก้ไข"},
    {"QFileSystemModel", "My Computer", "คอมพิวเตอร์"},
    {"QFileSystemModel", "Computer", "คอมพิวเตอร์"},
    {"QFileSystemModel", "%1 TB", "%1 TB"},
    {"QFileSystemModel", "%1 GB", "%1 GB"},
    {"QFileSystemModel", "%1 MB", "%1 MB"},
    {"QFileSystemModel", "%1 KB", "%1 KB"},
    {"QFileSystemModel", "%1 bytes", "%1 ไบต์"},
    {"QAbstractFileIconProvider", "File Folder", "โฟลเดอร์"},
    {"QAbstractFileIconProvider", "Folder", "โฟลเดอร์"},
    {"QAbstractFileIconProvider", "Drive", "ไดรฟ์"},
    {"QAbstractFileIconProvider", "%1 File", "ไฟล์ %1"},
    {"QAbstractFileIconProvider", "File", "ไฟล์"},
    {"QAbstractFileIconProvider", "Unknown", "ไม่ทราบ"},
    // The print preview.
    {"QPrintPreviewDialog", "Print Preview", "ดูตัวอย่างก่อนพิมพ์"},
    {"QPrintPreviewDialog", "Next page", "หน้าถัดไป"},
    {"QPrintPreviewDialog", "Previous page", "หน้าก่อน"},
    {"QPrintPreviewDialog", "First page", "หน้าแรก"},
    {"QPrintPreviewDialog", "Last page", "หน้าสุดท้าย"},
    {"QPrintPreviewDialog", "Fit width", "พอดีความกว้าง"},
    {"QPrintPreviewDialog", "Fit page", "พอดีหน้า"},
    {"QPrintPreviewDialog", "Zoom in", "ขยาย"},
    {"QPrintPreviewDialog", "Zoom out", "ย่อ"},
    {"QPrintPreviewDialog", "Portrait", "แนวตั้ง"},
    {"QPrintPreviewDialog", "Landscape", "แนวนอน"},
    {"QPrintPreviewDialog", "Show single page", "แสดงทีละหน้า"},
    {"QPrintPreviewDialog", "Show facing pages", "แสดงทีละสองหน้า"},
    {"QPrintPreviewDialog", "Show overview of all pages", "แสดงทุกหน้า"},
    {"QPrintPreviewDialog", "Print", "พิมพ์"},
    {"QPrintPreviewDialog", "Page setup", "ตั้งค่าหน้ากระดาษ"},
    {"QPrintPreviewDialog", "Page Setup", "ตั้งค่าหน้ากระดาษ"},
    {"QPrintPreviewDialog", "Export to PDF", "บันทึกเป็น PDF"},
    {"QPrintPreviewDialog", "Export", "บันทึกเป็นไฟล์"},
    {"QPrintPreviewDialog", "Close", "ปิด"},
    {"QPrintPreviewDialog", "%1%", "%1%"},
};

} // namespace

QString ThaiQtTexts::translate(const char* context, const char* sourceText, const char*,
                               int) const {
    if (!context || !sourceText) return {};
    static const QHash<QByteArray, const char*> table = [] {
        QHash<QByteArray, const char*> t;
        for (const Text& x : kTexts)
            t.insert(QByteArray(x.context) + '\0' + x.source, x.thai);
        return t;
    }();
    const auto it = table.find(QByteArray(context) + '\0' + sourceText);
    return it == table.end() ? QString() : QString::fromUtf8(*it);
}

} // namespace ia
