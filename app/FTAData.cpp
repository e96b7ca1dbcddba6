// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/FTAData.h"

#include "sheet/SheetModel.h"

#include "analysis/FanTable.h"
#include "analysis/SheetChecks.h"
#include "app/BusyCursor.h"
#include "app/DataNavBar.h"
#include "app/ExportDialog.h"
#include "app/FieldCaption.h"
#include "app/GraphPanel.h"
#include "app/GridPair.h"
#include "app/HeaderKeys.h"
#include "app/ImportDialog.h"
#include "app/ItemStatisticsPanel.h"
#include "app/RecentFiles.h"
#include "app/ReportView.h"
#include "app/ThaiDialogs.h"
#include "examfile/Cp874.h"
#include "examfile/ExamFile.h"
#include "examfile/NewFileRules.h"
#include "examfile/SchoolName.h"
#include "examfile/Val.h"
#include "exchange/BlockPaste.h"
#include "exchange/SheetImport.h"
#include "report/GraphReport.h"
#include "report/OutputPath.h"
#include "report/PrintReport.h"
#include "report/PrinterQt.h"
#include "report/RawData.h"
#include "report/RawPrint.h"
#include "report/ReportModel.h"
#include "report/ReportText.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFont>
#include <QFrame>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTableWidget>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <optional>

namespace ia {

const char* const kProgramTitle = "โปรแกรมวิเคราะห์ข้อสอบ";
const char* const kWarningTitle = "คำเตือน";

namespace {

namespace fs = std::filesystem;

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}
std::string S(const QString& s) {
    return s.toStdString();
}

const char* const kUiFamily = "MS Sans Serif";

// The least room between a caption and a field, in pixels.
constexpr int kCaptionGap = 4;

// The layout was drawn with "MS Sans Serif" and its Thai character set; the
// Thai faces of fonts-thai-tlwg stand in for it.
void SubstituteThaiFont() {
    static bool done = false;
    if (done) return;
    done = true;
    QFont::insertSubstitutions(kUiFamily, {"Loma", "Garuda", "Tlwg Typist", "Norasi"});
}

// The Thai faces run about a third wider than the face the places were drawn
// for; at three quarters of the size every caption fits its place.
constexpr double kThaiScale = 0.75;

QFont UiFont(double points, bool bold = false) {
    QFont f(kUiFamily);
    f.setPointSizeF(points * kThaiScale);
    f.setBold(bold);
    return f;
}

void Fill(QWidget* w, const QColor& c, QPalette::ColorRole role = QPalette::Window) {
    QPalette p = w->palette();
    p.setColor(role, c);
    if (role == QPalette::Window) w->setAutoFillBackground(true);
    w->setPalette(p);
}

// Buttons with a colour are drawn in it, flat and solid like the graphical
// buttons of the layout, with black text whatever the desktop theme.
void Paint(QPushButton* b, const QColor& c) {
    const QString rgb = QString("rgb(%1,%2,%3)").arg(c.red()).arg(c.green()).arg(c.blue());
    const QString light = c.lighter(140).name();
    const QString dark = c.darker(160).name();
    b->setStyleSheet(
        QString("QPushButton { background-color: %1; color: black; border-style: solid;"
                " border-width: 2px; border-color: %2 %3 %3 %2; padding: 0px; }"
                "QPushButton:pressed { border-color: %3 %2 %2 %3; }"
                "QPushButton:focus { outline: none; border-width: 2px; border-color: black; }"
                "QPushButton:disabled { color: gray; }")
            .arg(rgb, light, dark));
}

QFrame* Panel(QWidget* parent, const char* name, const QColor& bg) {
    auto* f = new QFrame(parent);
    f->setObjectName(name);
    f->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    f->setLineWidth(2);
    Fill(f, bg);
    return f;
}

// A transparent caption may be taller than its place: the stacked marks of
// Thai need more height than the face the places were drawn for.
void GrowToText(QWidget* w) {
    const int need = w->fontMetrics().height() + 2;
    if (w->height() >= need) return;
    const QRect r = w->geometry();
    w->setGeometry(r.x(), r.center().y() - need / 2, r.width(), need);
}

QPushButton* Button(QWidget* parent, const char* name, const QString& caption) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
}

QLabel* Label(QWidget* parent, const char* name, const QString& caption) {
    auto* l = new QLabel(caption, parent);
    l->setObjectName(name);
    return l;
}

bool FocusLostInWindow(QEvent* e) {
    // Switching to another program or opening a popup is no lost focus of the
    // field: the teacher is still in it.
    auto r = static_cast<QFocusEvent*>(e)->reason();
    return r != Qt::ActiveWindowFocusReason && r != Qt::PopupFocusReason;
}

void FocusIfPossible(QWidget* w) {
    if (w && w->isEnabled() && !w->isHidden()) w->setFocus(Qt::OtherFocusReason);
}

} // namespace

FTAData::FTAData(QWidget* parent) : QWidget(parent) {
    SubstituteThaiFont();
    setObjectName("FTAData");
    setWindowTitle(kProgramTitle);
    setFont(UiFont(12));

    chooseOpenFile = [this]() {
        QFileDialog dlg(this);
        dlg.setFileMode(QFileDialog::ExistingFile);
        dlg.setAcceptMode(QFileDialog::AcceptOpen);
        dlg.setOption(QFileDialog::HideNameFilterDetails);
        // Qt's own dialog, whose texts the program has in Thai.
        dlg.setOption(QFileDialog::DontUseNativeDialog);
        // The second entry reads "(*.*)" like its caption but lists every
        // file, also names without a dot.
        dlg.setNameFilters({"Answer File (*.ans)", "All File (*.*) (*)"});
        if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return QString();
        return dlg.selectedFiles().first();
    };
    // A box asks or tells something while a command may still show the
    // hourglass; over the box the pointer is the normal arrow.
    struct ArrowCursor {
        ArrowCursor() { QApplication::setOverrideCursor(QCursor(Qt::ArrowCursor)); }
        ~ArrowCursor() { QApplication::restoreOverrideCursor(); }
    };
    askOkCancel = [this](const QString& title, const QString& text) {
        ArrowCursor arrow;
        return AskOkCancelWithBox(title, text);
    };
    askYesNoBox = [this](const QString& title, const QString& text) {
        ArrowCursor arrow;
        return AskYesNoWithBox(title, text);
    };
    askGoOnAfterChecks = [this](const QString& title, const QString& text) {
        ArrowCursor arrow;
        auto box = MakeQuestionBox(this, QMessageBox::Warning, title, text,
                                   QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel);
        box->button(QMessageBox::Ok)->setText("วิเคราะห์ต่อ");
        return AskWithBox(*box) == QMessageBox::Ok;
    };
    showMessage = [this](const QString& title, const QString& text) {
        ArrowCursor arrow;
        auto box = MakeQuestionBox(this, QMessageBox::Warning, title, text, QMessageBox::Ok,
                                   QMessageBox::Ok);
        AskWithBox(*box);
    };
    runDialog = [](QDialog& dialog) {
        ArrowCursor arrow;
        return dialog.exec();
    };

    BuildControls();
    WireControls();
    SetUpGrowth();
    // An exam file dropped on the window opens as if chosen.
    setAcceptDrops(true);
}

bool FTAData::AskOkCancelWithBox(const QString& title, const QString& text) {
    auto box = MakeQuestionBox(this, QMessageBox::Warning, title, text,
                               QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel);
    return AskWithBox(*box) == QMessageBox::Ok;
}

bool FTAData::AskYesNoWithBox(const QString& title, const QString& text) {
    auto box = MakeQuestionBox(this, QMessageBox::Question, title, text,
                               QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    return AskWithBox(*box) == QMessageBox::Yes;
}

FTAData::~FTAData() {
    // The children die after this object's members: their last focus and
    // key events must not reach the handlers any more.
    for (QObject* child : findChildren<QObject*>()) {
        child->removeEventFilter(this);
        disconnect(child, nullptr, this, nullptr);
    }
    // It watches the grids' events: it goes before they do.
    delete gridPair_;
    gridPair_ = nullptr;
    // The grids' models read the views; let go of them before the views go.
    DBGrid1->bind(nullptr, nullptr);
    DBGrid2->bind(nullptr, nullptr);
}

int FTAData::Twips(int twips) const {
    return static_cast<int>(std::lround(twips * logicalDpiX() / 1440.0));
}

QWidget* FTAData::place(QWidget* w, int left, int top, int width, int height) {
    // Places are measured from the inner corner of a framed panel.
    int inset = 0;
    if (auto* f = qobject_cast<QFrame*>(w->parentWidget()); f && w->parentWidget() != this)
        inset = f->frameWidth();
    // A control that takes a larger window's room keeps taking it.
    layout_.place(w, QRect(Twips(left) + inset, Twips(top) + inset, Twips(width), Twips(height)));
    return w;
}

void FTAData::BuildControls() {
    // Window level.
    Label4 = Label(this, "Label4", "โปรแกรมวิเคราะห์ข้อสอบ เทคนิค 25% และ 27%");
    Label4->setAlignment(Qt::AlignCenter);
    // The headline has room for its full size.
    Label4->setFont(UiFont(18 / kThaiScale, true));
    Fill(Label4, Qt::blue, QPalette::WindowText);
    place(Label4, 120, 15, 11790, 495);

    // Command panel.
    const QColor teal(0, 192, 192);
    Picture1 = Panel(this, "Picture1", teal);
    place(Picture1, 105, 600, 2175, 1935);
    Command1 = Button(Picture1, "Command1", "ไฟล์ใหม่");
    Paint(Command1, QColor(0, 255, 0));
    place(Command1, 120, 120, 1935, 495);
    Command2 = Button(Picture1, "Command2", "เปิดไฟล์");
    Paint(Command2, QColor(255, 192, 255));
    place(Command2, 120, 720, 1935, 495);
    Command3 = Button(Picture1, "Command3", "ออกโปรแกรม");
    Paint(Command3, QColor(255, 192, 192));
    place(Command3, 120, 1320, 1935, 495);

    // Header panel.
    Picture2 = Panel(this, "Picture2", teal);
    place(Picture2, 2265, 600, 9615, 1935);
    Label1 = Label(Picture2, "Label1", "ชื่อไฟล์");
    place(Label1, 120, 120, 735, 255);
    auto* caption2 = new FieldCaption("รหัสวิชา                                วิชา        "
                                      "                                                    เทอม"
                                      "                     ปีการศึกษา",
                                      Picture2);
    caption2->setObjectName("Label2");
    place(caption2, 120, 600, 7215, 255);
    auto* caption3 = new FieldCaption(
        "จำนวนข้อสอบ                     จำนวนตัวเลือก                  อาจารย์ผู้สอน", Picture2);
    caption3->setObjectName("Label3");
    place(caption3, 120, 1200, 5655, 255);
    // Each word ends a little before the field it names.
    const int blank = std::max(caption2->fontMetrics().horizontalAdvance(' '), kCaptionGap);
    auto end = [&](int fieldLeft) { return Twips(fieldLeft - 120) - blank; };
    caption2->setWordEnds({end(2400), end(5520), end(7200)});
    caption3->setWordEnds({end(3120), end(4935)});
    caption2->setFirstWordEnd(end(735));
    caption3->setFirstWordEnd(end(1200));
    Label2 = caption2;
    Label3 = caption3;
    for (QLabel* l : {Label1, Label2, Label3}) {
        l->setAutoFillBackground(false);
        GrowToText(l);
    }

    struct FieldPlace {
        int left, top, width, height;
    };
    const FieldPlace fieldPlaces[8] = {
        {720, 120, 5520, 315},  {735, 600, 1305, 315},   {2400, 600, 2535, 315},
        {5520, 600, 735, 315},  {7200, 600, 855, 315},   {1200, 1200, 615, 315},
        {3120, 1200, 495, 315}, {4935, 1200, 3135, 315},
    };
    for (int i = 0; i < 8; ++i) {
        auto* t = new QLineEdit(Picture2);
        t->setObjectName(QString("Text1(%1)").arg(i));
        t->setFont(UiFont(9.75));
        Fill(t, QColor(128, 255, 255), QPalette::Base);
        {
            // The file name stays disabled while a file is open, and the
            // teacher still reads the path there.
            QPalette pal = t->palette();
            pal.setColor(QPalette::Disabled, QPalette::Text, QColor(40, 40, 40));
            pal.setColor(QPalette::Disabled, QPalette::Base, QColor(128, 255, 255));
            t->setPalette(pal);
        }
        t->setFrame(true);
        const auto& p = fieldPlaces[i];
        place(t, p.left, p.top, p.width, p.height);
        // No more than the exam file holds can be typed or pasted; a Thai
        // letter or mark is one unit here as in the engine.
        if (kHeaderTextSizes[i] > 0) t->setMaxLength(kHeaderTextSizes[i]);
        Text1.push_back(t);
    }
    KeepCaptionsOffFields();
    Label5 = Label(Picture2, "Label5", "");
    Label5->setAlignment(Qt::AlignCenter);
    Label5->setWordWrap(true);
    Fill(Label5, QColor(255, 255, 128));
    Fill(Label5, Qt::black, QPalette::WindowText);
    Label5->setFont(UiFont(9.75));
    place(Label5, 6495, 75, 2895, 375);
    Label5->hide();
    Command4 = Button(Picture2, "Command4", "ตกลง");
    Paint(Command4, QColor(255, 192, 128));
    place(Command4, 8415, 1080, 975, 450);
    Picture2->hide();

    // Grids and the answer-sheet view's bar.
    DBGrid2 = new SheetGrid(GridKind::Key, this);
    DBGrid2->setObjectName("DBGrid2");
    place(DBGrid2, 120, 2565, 11775, 735);
    DBGrid2->hide();
    DBGrid1 = new SheetGrid(GridKind::Sheets, this);
    DBGrid1->setObjectName("DBGrid1");
    place(DBGrid1, 120, 3270, 11775, 4335);
    DBGrid1->hide();
    for (SheetGrid* g : {DBGrid1, DBGrid2}) {
        g->setFont(UiFont(12));
        g->setCommandHost(this);
    }
    FitKeyGrid();
    Data1 = new DataNavBar(this);
    Data1->setObjectName("Data1");
    Data1->setCaption("Data1");
    place(Data1, 120, 7665, 2280, 345);
    Data1->hide();

    // Record bar.
    picButtons = Panel(this, "picButtons", palette().color(QPalette::Window));
    // A second row for the exchange with spreadsheets, still under the
    // report panel when that is shown.
    place(picButtons, 2415, 7545, 5415, 750);
    cmdAdd = Button(picButtons, "cmdAdd", "เพิ่ม");
    place(cmdAdd, 30, 105, 735, 300);
    cmdDelete = Button(picButtons, "cmdDelete", "ลบ");
    place(cmdDelete, 825, 105, 735, 300);
    cmdRefresh = Button(picButtons, "cmdRefresh", "อ่านใหม่");
    place(cmdRefresh, 1635, 120, 735, 300);
    cmdUpdate = Button(picButtons, "cmdUpdate", "บันทึก");
    place(cmdUpdate, 2475, 120, 735, 300);
    cmdClose = Button(picButtons, "cmdClose", "&รวมคะแนน");
    place(cmdClose, 3285, 120, 975, 300);
    cmdOrderOfNo_A = Button(picButtons, "cmdOrderOfNo_A", "เรียงเลขที่");
    place(cmdOrderOfNo_A, 4335, 120, 975, 300);
    cmdImport = Button(picButtons, "cmdImport", "นำเข้า");
    cmdImport->setToolTip("นำเข้ากระดาษคำตอบจากตาราง (.csv .xlsx) แบบทดสอบออนไลน์ หรือเครื่องตรวจ");
    place(cmdImport, 30, 430, 1530, 285);
    cmdExport = Button(picButtons, "cmdExport", "ส่งออก");
    cmdExport->setToolTip("ส่งออกคะแนน คำตอบ และผลวิเคราะห์เป็น .xlsx หรือ .csv");
    place(cmdExport, 1635, 430, 1575, 285);
    picButtons->hide();

    Command7 = Button(this, "Command7", "พิมพ์ข้อมูล");
    Command7->setFont(UiFont(9.75));
    Paint(Command7, teal);
    place(Command7, 7920, 7635, 1005, 405);
    Command7->hide();

    // Analysis bar.
    Picture4 = Panel(this, "Picture4", QColor(180, 180, 180));
    Picture4->setFont(UiFont(9.75));
    place(Picture4, 9045, 7620, 2865, 615);
    Command5 = Button(Picture4, "Command5", "วิเคราะห์ 25 %");
    Command5->setToolTip("ใช้สูตรอย่างง่าย");
    Paint(Command5, QColor(255, 192, 255));
    place(Command5, 75, 45, 1260, 495);
    Command6 = Button(Picture4, "Command6", "วิเคราะห์ 27 %");
    Command6->setToolTip("ใช้ตาราง CHUNG TEH FAN");
    Paint(Command6, QColor(255, 224, 192));
    place(Command6, 1440, 45, 1275, 495);
    Picture4->hide();
    picItemStats = Panel(this, "picItemStats", QColor(180, 180, 180));
    picItemStats->setFont(UiFont(9.75));
    place(picItemStats, 9045, 8235, 2865, 435);
    cmdItemStats = Button(picItemStats, "cmdItemStats", "สถิติรายข้อ");
    cmdItemStats->setToolTip("ค่าสถิติทั้งฉบับ ตัวลวง และการตรวจเฉลย");
    Paint(cmdItemStats, QColor(192, 224, 255));
    place(cmdItemStats, 75, 30, 1785, 375);
    // Teachers look rather than read.
    cmdGraphs = Button(picItemStats, "cmdGraphs", "กราฟ");
    cmdGraphs->setToolTip("กราฟผลการวิเคราะห์ครั้งล่าสุด");
    Paint(cmdGraphs, QColor(192, 255, 192));
    place(cmdGraphs, 1905, 30, 885, 375);
    picItemStats->hide();

    // Report panel, made last so that it covers everything when shown; it
    // gets its place when the window first comes up.
    Picture3 = Panel(this, "Picture3", QColor(192, 192, 192));
    RichTextBox1 = new ReportView(Picture3);
    RichTextBox1->setObjectName("RichTextBox1");
    place(RichTextBox1, 585, 90, 10665, 7080);
    Label6 = Label(Picture3, "Label6", "สถานศึกษา");
    place(Label6, 570, 7290, 1230, 255);
    GrowToText(Label6);
    Text2 = new QLineEdit("โรงเรียนผู้นำการใช้เทคโนโลยีสารสนเทศและการสื่อสาร", Picture3);
    Text2->setObjectName("Text2");
    place(Text2, 1665, 7260, 3870, 405);
    if (const int captionEnd =
            Label6->x() + Label6->fontMetrics().horizontalAdvance(Label6->text());
        Text2->x() < captionEnd + kCaptionGap) {
        const QRect g = Text2->geometry();
        Text2->setGeometry(captionEnd + kCaptionGap, g.y(),
                           g.right() + 1 - captionEnd - kCaptionGap, g.height());
    }
    Label6->resize(Text2->x() - kCaptionGap - Label6->x(), Label6->height());
    Command9 = Button(Picture3, "Command9", "พิมพ์");
    Paint(Command9, QColor(0, 255, 0));
    place(Command9, 8580, 7185, 1215, 495);
    Command8 = Button(Picture3, "Command8", "ปิด");
    Paint(Command8, QColor(255, 128, 128));
    place(Command8, 10050, 7185, 1215, 495);
    // Teachers look at the pages before they spend paper.
    cmdPreview = Button(Picture3, "cmdPreview", "ดูตัวอย่าง");
    Paint(cmdPreview, QColor(0, 192, 192));
    cmdPreview->setFont(UiFont(9.75));
    place(cmdPreview, 6585, 7185, 960, 495);
    cmdPrintGraphs = Button(Picture3, "cmdPrintGraphs", "พิมพ์กราฟ");
    Paint(cmdPrintGraphs, QColor(192, 255, 192));
    cmdPrintGraphs->setFont(UiFont(9.75));
    place(cmdPrintGraphs, 7590, 7185, 960, 495);
    lblReportOutdated = Label(Picture3, "lblReportOutdated",
                              "เฉลยถูกแก้หลังการวิเคราะห์ครั้งล่าสุด รายงานนี้และผลที่บันทึกไว้ยังใช้เฉลยเดิม");
    lblReportOutdated->setWordWrap(true);
    Fill(lblReportOutdated, QColor(255, 255, 128));
    place(lblReportOutdated, 585, 90, 8700, 405);
    lblReportOutdated->hide();
    cmdReportRerun = Button(Picture3, "cmdReportRerun", "วิเคราะห์ใหม่");
    place(cmdReportRerun, 9390, 90, 1860, 405);
    cmdReportRerun->hide();
    cmdExportReport = Button(Picture3, "cmdExportReport", "ส่งออก");
    cmdExportReport->setToolTip("ส่งออกคะแนน คำตอบ และผลวิเคราะห์เป็น .xlsx หรือ .csv");
    Paint(cmdExportReport, QColor(255, 255, 160));
    cmdExportReport->setFont(UiFont(9.75));
    place(cmdExportReport, 5595, 7185, 960, 495);

    // Print options, inside the report panel.
    Picture5 = Panel(Picture3, "Picture5", QColor(192, 192, 192));
    place(Picture5, 7230, 4890, 3690, 2175);
    Option1 = new QRadioButton("พิมพ์ทุกหน้า", Picture5);
    Option1->setObjectName("Option1");
    place(Option1, 255, 90, 1485, 390);
    Option2 = new QRadioButton("พิมพ์หน้าคี่", Picture5);
    Option2->setObjectName("Option2");
    place(Option2, 270, 525, 1500, 330);
    Option3 = new QRadioButton("พิมพ์หน้าคู่", Picture5);
    Option3->setObjectName("Option3");
    place(Option3, 270, 900, 1425, 345);
    Option4 = new QRadioButton("พิมพ์ หน้า               ถึง", Picture5);
    Option4->setObjectName("Option4");
    place(Option4, 285, 1350, 2580, 345);
    Option1->setChecked(true);
    Text3 = new QLineEdit(Picture5);
    Text3->setObjectName("Text3");
    place(Text3, 1545, 1350, 495, 360);
    Text4 = new QLineEdit(Picture5);
    Text4->setObjectName("Text4");
    place(Text4, 2775, 1335, 570, 375);
    Command10 = Button(Picture5, "Command10", "ตกลง");
    Paint(Command10, QColor(255, 192, 192));
    place(Command10, 2355, 195, 1020, 360);
    Command11 = Button(Picture5, "Command11", "ยกเลิก");
    Paint(Command11, QColor(255, 128, 128));
    place(Command11, 2355, 690, 1035, 390);
    Label7 = Label(Picture5, "Label7", "จำนวนหน้า");
    Label7->setAlignment(Qt::AlignCenter);
    Fill(Label7, QColor(255, 255, 0));
    place(Label7, 330, 1770, 3015, 300);
    Picture5->hide();
    Picture3->hide();

    // Made after the report panel so that it covers it while both are shown.
    itemStatsPanel = new ItemStatisticsPanel(this);
    itemStatsPanel->hide();
    // The graph panel, over everything when shown (its place grows with the
    // window, see SetUpGrowth).
    graphPanel = new GraphPanel(this);
    graphPanel->setFont(UiFont(9.75));
    graphPanel->hide();
    // The panel's keys follow the screen from left to right.
    QWidget::setTabOrder(cmdReportRerun, RichTextBox1);
    QWidget::setTabOrder(RichTextBox1, Text2);
    QWidget::setTabOrder(Text2, cmdExportReport);
    QWidget::setTabOrder(cmdExportReport, cmdPreview);
    QWidget::setTabOrder(cmdPreview, cmdPrintGraphs);
    QWidget::setTabOrder(cmdPrintGraphs, Command9);
    QWidget::setTabOrder(Command9, Command8);
    // Ctrl+Home and Ctrl+End reach the top and the end of the report.
    RichTextBox1->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
}

void FTAData::KeepCaptionsOffFields() {
    // The Thai faces are wider than the layout's: a field that would reach
    // the caption of the next one gives way, and so does a field that
    // would start under its own caption.
    auto endBefore = [](QWidget* field, int x) {
        const QRect g = field->geometry();
        if (g.right() + kCaptionGap >= x)
            field->setGeometry(g.x(), g.y(), x - kCaptionGap - g.x(), g.height());
    };
    auto startAfter = [](QWidget* field, int x) {
        const QRect g = field->geometry();
        if (g.x() < x + kCaptionGap) {
            const int left = x + kCaptionGap;
            field->setGeometry(left, g.y(), g.right() + 1 - left, g.height());
        }
    };
    auto* caption2 = static_cast<FieldCaption*>(Label2);
    auto* caption3 = static_cast<FieldCaption*>(Label3);
    const QVector<QRect> words2 = caption2->wordRects();
    const QVector<QRect> words3 = caption3->wordRects();
    const int before2[] = {1, 2, 3};
    for (int i = 1; i < words2.size() && i <= 3; ++i)
        endBefore(Text1[before2[i - 1]], caption2->x() + words2[i].x());
    const int before3[] = {5, 6};
    for (int i = 1; i < words3.size() && i <= 2; ++i)
        endBefore(Text1[before3[i - 1]], caption3->x() + words3[i].x());
    startAfter(Text1[0], Label1->x() + Label1->fontMetrics().horizontalAdvance(Label1->text()));
    Label1->resize(Text1[0]->x() - kCaptionGap - Label1->x(), Label1->height());
}

void FTAData::WireControls() {
    connect(Command1, &QPushButton::clicked, this, &FTAData::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &FTAData::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &FTAData::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &FTAData::Command4_Click);
    connect(Command5, &QPushButton::clicked, this, &FTAData::Command5_Click);
    connect(Command6, &QPushButton::clicked, this, &FTAData::Command6_Click);
    connect(Command7, &QPushButton::clicked, this, &FTAData::Command7_Click);
    connect(Command8, &QPushButton::clicked, this, &FTAData::Command8_Click);
    connect(Command9, &QPushButton::clicked, this, &FTAData::Command9_Click);
    connect(Command10, &QPushButton::clicked, this, &FTAData::Command10_Click);
    connect(cmdPreview, &QPushButton::clicked, this, &FTAData::cmdPreview_Click);
    connect(Command11, &QPushButton::clicked, this, &FTAData::Command11_Click);
    connect(Option4, &QRadioButton::clicked, this, &FTAData::Option4_Click);
    connect(cmdItemStats, &QPushButton::clicked, this, &FTAData::cmdItemStats_Click);
    connect(cmdReportRerun, &QPushButton::clicked, this, &FTAData::RerunLastTechnique);
    connect(itemStatsPanel, &ItemStatisticsPanel::closeRequested, itemStatsPanel, &QWidget::hide);
    connect(itemStatsPanel, &ItemStatisticsPanel::rerunRequested, this,
            &FTAData::RerunLastTechnique);
    connect(itemStatsPanel, &ItemStatisticsPanel::keyChanged, this,
            &FTAData::OnItemStatsKeyChanged);
    itemStatsPanel->showError = [this](const QString& text) { Warn(text); };
    connect(cmdGraphs, &QPushButton::clicked, this, &FTAData::cmdGraphs_Click);
    connect(itemStatsPanel, &ItemStatisticsPanel::graphRequested, this, [this](int item) {
        cmdGraphs_Click();
        if (graphPanel->isVisible() && item > 0) graphPanel->selectItem(item);
    });
    connect(cmdPrintGraphs, &QPushButton::clicked, this, &FTAData::cmdPrintGraphs_Click);
    connect(graphPanel->closeButton, &QPushButton::clicked, graphPanel, &QWidget::hide);

    for (int i = 0; i < Text1.size(); ++i) {
        connect(Text1[i], &QLineEdit::textChanged, this, [this, i] { Text1_Change(i); });
        Text1[i]->installEventFilter(this);
    }
    for (QWidget* w :
         {static_cast<QWidget*>(Text2), static_cast<QWidget*>(Text3), static_cast<QWidget*>(Text4)})
        w->installEventFilter(this);
    for (QPushButton* b : findChildren<QPushButton*>())
        b->installEventFilter(this);

    // Grids.
    connect(DBGrid1, &SheetGrid::requestFocusKeyGrid, this, [this] { FocusIfPossible(DBGrid2); });
    connect(DBGrid2, &SheetGrid::requestFocusKeyGrid, this, [this] { FocusIfPossible(DBGrid2); });
    for (SheetGrid* g : {DBGrid1, DBGrid2}) {
        connect(g, &SheetGrid::requestFocusSheetGrid, this, [this] { FocusIfPossible(DBGrid1); });
        connect(g, &SheetGrid::requestFocusSubjectField, this,
                [this] { FocusIfPossible(Text1[1]); });
        connect(g, &SheetGrid::dataError, this, [this](int code, const QString& text) {
            if (code == kFileReplacedCode)
                OfferToReopen();
            else
                Data1_Error(text);
        });
        connect(g, &SheetGrid::fileBusy, this,
                [this] { Warn(QString::fromUtf8(kAnswerWaitsForFile)); });
    }
    connect(DBGrid1, &SheetGrid::currentCellChanged, this, &FTAData::DBGrid1_RowColChange);

    // Data1's navigation moves the grid's cell pointer, which moves the record.
    auto go = [this](auto where) {
        RecordSet* rs = views_.Data1.Recordset();
        if (!rs || DBGrid1->isHidden()) return;
        int last = rs->recordCount() - 1;
        if (last < 0) return;
        int pos = std::clamp(where(DBGrid1->currentRecordPosition(), last), 0, last);
        DBGrid1->setCurrentRecordPosition(pos);
    };
    connect(Data1, &DataNavBar::moveFirst, this, [go] { go([](int, int) { return 0; }); });
    connect(Data1, &DataNavBar::movePrevious, this,
            [go] { go([](int p, int last) { return p < 0 ? last : p - 1; }); });
    connect(Data1, &DataNavBar::moveNext, this,
            [go] { go([](int p, int last) { return p < 0 ? last : p + 1; }); });
    connect(Data1, &DataNavBar::moveLast, this, [go] { go([](int, int last) { return last; }); });

    // Record bar.
    connect(cmdAdd, &QPushButton::clicked, this,
            [this] { RunRecordCommand([this] { cmdAdd_Click(views_.Data1, *DBGrid1); }); });
    connect(cmdDelete, &QPushButton::clicked, this, [this] {
        RunRecordCommand([this] { cmdDelete_Click(views_.Data1, *DBGrid1, *this); });
    });
    connect(cmdRefresh, &QPushButton::clicked, this,
            [this] { RunRecordCommand([this] { cmdRefresh_Click(views_.Data1, *DBGrid1); }); });
    connect(cmdUpdate, &QPushButton::clicked, this,
            [this] { RunRecordCommand([this] { cmdUpdate_Click(views_.Data1, *DBGrid1); }); });
    connect(cmdClose, &QPushButton::clicked, this, [this] {
        RunRecordCommand([this] {
            AnalysisContext ctx = analysisContext();
            cmdClose_Click(ctx, *DBGrid1, *this);
        });
    });
    connect(DBGrid1, &SheetGrid::pasteRequested, this, [this](int position, int column) {
        DBGrid1_Paste(position, column, QGuiApplication::clipboard()->text());
    });
    connect(cmdImport, &QPushButton::clicked, this, &FTAData::cmdImport_Click);
    connect(cmdExport, &QPushButton::clicked, this, &FTAData::cmdExport_Click);
    connect(cmdExportReport, &QPushButton::clicked, this, &FTAData::cmdExport_Click);
    connect(cmdOrderOfNo_A, &QPushButton::clicked, this,
            [this] { RunRecordCommand([this] { cmdOrderOfNo_A_Click(views_.Data1, *DBGrid1); }); });
}

void FTAData::cmdImport_Click() {
    if (!views_.Data1.isOpen()) return;
    DBGrid1->commitPendingEdit();
    DBGrid2->commitPendingEdit();
    ImportDialog dialog(module_.ExamFileName, module_.header.nItem, module_.header.nChoice, this);
    if (runDialog(dialog) != QDialog::Accepted) return;
    try {
        views_.Data2.Refresh();
        SetDbGrid2();
        views_.Data1.Refresh();
        SetDbGrid1();
    } catch (const std::exception& e) {
        Warn(QString::fromUtf8(e.what()));
    }
    Data1_Reposition();
    // An imported key may differ from the one the stored results were made with.
    ShowOutdatedNotices();
}

void FTAData::cmdExport_Click() {
    if (!views_.Data1.isOpen()) return;
    DBGrid1->commitPendingEdit();
    DBGrid2->commitPendingEdit();
    ExportDialog dialog(module_.ExamFileName, module_.header.nItem, this);
    if (runDialog(dialog) == QDialog::Accepted)
        showMessage(kProgramTitle, "ส่งออกแล้ว: " + dialog.writtenPath());
}

void FTAData::DBGrid1_Paste(int position, int column, const QString& text) {
    RecordSet* rs = views_.Data1.Recordset();
    if (!rs || text.isEmpty()) return;
    std::vector<long long> rowids;
    for (int i = 0; i < rs->recordCount(); ++i)
        rowids.push_back(rs->rowidAt(i));
    if (position < 0) position = rs->recordCount();
    try {
        PasteOutcome out =
            PasteBlock(rs->connection(), rowids, position, column, text.toStdString(),
                       module_.header.nItem, module_.header.nChoice);
        if (!out.errors.empty()) {
            Warn("วางไม่ได้ ไม่ได้เปลี่ยนข้อมูลใดเลย:\n" +
                 QString::fromStdString(ErrorSummary(out.errors)));
            return;
        }
        views_.Data1.Refresh();
        SetDbGrid1();
        DBGrid1->setCurrentRecordPosition(position);
    } catch (const std::exception& e) {
        Warn(QString::fromUtf8(e.what()));
    }
    Data1_Reposition();
}

void FTAData::RunRecordCommand(const std::function<void()>& command) {
    if (!views_.Data1.isOpen()) return;
    try {
        command();
    } catch (const std::exception& e) {
        Warn(QString::fromUtf8(e.what()));
    }
    // The commands re-read the view; its callbacks belong to the view and
    // stay, but the caption should follow the record now current.
    Data1_Reposition();
}

// ---------------------------------------------------------------------------
// Start-up and shutdown

void FTAData::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    // Qt activates the window again after every dialog and message box; the
    // start-up steps must not run then (they would reset HeaderChanged and
    // pull the focus back to the new-file button).
    if (!activated_) {
        activated_ = true;
        Activate();
    }
}

void FTAData::Activate() {
    HeaderChanged = 0;
    place(Picture3, 105, 510, 11805, 7785);
    layout_.add(Picture3, GrowingLayout::GrowWidth | GrowingLayout::GrowHeight);
    Picture3->raise();
    graphPanel->raise();
    ReadSchoolName();
    Command1->setFocus(Qt::OtherFocusReason);
}

bool FTAData::StoreOrDiscardPendingAnswers() {
    DBGrid1->commitPendingEdit();
    DBGrid2->commitPendingEdit();
    for (;;) {
        const bool stored =
            (!DBGrid1->hasPendingEdits() || DBGrid1->sheetModel()->storePendingEdits()) &&
            (!DBGrid2->hasPendingEdits() || DBGrid2->sheetModel()->storePendingEdits());
        if (stored) return true;
        // Never closed silently with an answer not stored: wait and try
        // again, or throw it away knowingly.
        if (askYesNoBox(kProgramTitle, QString::fromUtf8(kAskWaitForFile))) continue;
        if (askOkCancel(kProgramTitle, QString::fromUtf8(kConfirmDiscardAnswers))) {
            DBGrid1->discardPendingEdits();
            DBGrid2->discardPendingEdits();
            return true;
        }
        return false;
    }
}

void FTAData::OfferToReopen() {
    const QString path = QString::fromStdString(module_.ExamFileName);
    if (!askYesNoBox(kProgramTitle, QString::fromUtf8(kFileReplacedText) + "\n" +
                                        QString::fromUtf8(kAskReopen) + path)) {
        return;
    }
    DBGrid1->discardPendingEdits();
    DBGrid2->discardPendingEdits();
    if (const std::string refusal = ExamFileRefusal(module_.ExamFileName); !refusal.empty()) {
        Warn(QString::fromStdString(refusal));
        return;
    }
    // The views drop the old connection: the name leads to the new file.
    views_.CloseAll();
    Connection::ForgetShared(module_.ExamFileName);
    PrepareInputData();
}

void FTAData::closeEvent(QCloseEvent* e) {
    // A field left by closing the window still counts as left.
    QWidget* f = focusWidget();
    for (int i = 0; i < Text1.size(); ++i)
        if (f == Text1[i]) Text1_LostFocus(i);
    if (f == Text2) Text2_LostFocus();
    if (views_.Data1.isOpen() && !StoreOrDiscardPendingAnswers()) {
        e->ignore();
        return;
    }
    while (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
    busyDepth_ = 0;
    e->accept();
}

void FTAData::Command3_Click() {
    while (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
    busyDepth_ = 0;
    close();
}

void FTAData::BusyPointer(bool on) {
    if (on) {
        QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
        ++busyDepth_;
    } else if (busyDepth_ > 0) {
        QApplication::restoreOverrideCursor();
        --busyDepth_;
    }
}

bool FTAData::AskYesNo(const QString& title, const QString& text) {
    return askYesNoBox(title, text);
}

void FTAData::Warn(const QString& text) {
    showMessage(kWarningTitle, text);
}

std::string FTAData::WorkingDir() const {
    std::error_code ec;
    auto p = fs::current_path(ec);
    return ec ? std::string(".") : p.string();
}

// ---------------------------------------------------------------------------
// Events of the controls

bool FTAData::eventFilter(QObject* watched, QEvent* e) {
    const auto type = e->type();
    if (type == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(e);
        for (int i = 0; i < Text1.size(); ++i)
            if (watched == Text1[i]) Text1_KeyDown(i, k->key(), k->modifiers());
        if (watched == Command4) {
            Command4_KeyDown(k->key(), k->modifiers());
            // The button would otherwise pass the arrow on to its neighbour.
            if (k->key() == Qt::Key_Left) return true;
        }
        if (watched == Text3) Text3_KeyPress(k->key());
        if (watched == Text4) Text4_KeyPress(k->key());
        // Enter on a focused button presses it, as everywhere on the desktop
        // this layout comes from.
        if (auto* b = qobject_cast<QPushButton*>(watched);
            b && (k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) &&
            k->modifiers() == Qt::NoModifier) {
            b->click();
            return true;
        }
    } else if (type == QEvent::FocusOut && FocusLostInWindow(e)) {
        for (int i = 0; i < Text1.size(); ++i)
            if (watched == Text1[i]) Text1_LostFocus(i);
        if (watched == Text2) Text2_LostFocus();
    } else if (type == QEvent::FocusIn && watched == Text2 && FocusLostInWindow(e)) {
        Text2_GotFocus();
    }
    return QWidget::eventFilter(watched, e);
}

// ---------------------------------------------------------------------------
// New file and open file

void FTAData::Command1_Click() {
    graphPanel->hide();
    module_.ExamFileOpen = 0;
    Text1[0]->setEnabled(true);
    Picture2->show();
    Command4->show();
    for (QWidget* w : std::initializer_list<QWidget*>{DBGrid1, DBGrid2, Data1, picButtons, Picture4,
                                                      Command5, Command6, Command7})
        w->hide();
    picItemStats->hide();
    itemStatsPanel->hide();
    Label5->clear();
    Label5->hide();
    for (QLineEdit* t : Text1)
        t->clear();
    Text1[5]->setReadOnly(false);
    Text1[5]->setToolTip(QString());
    Text1[0]->setFocus(Qt::OtherFocusReason);
}

void FTAData::ShowHeaderMessage(const QString& text) {
    // A path has no blanks to wrap at: it may break after each folder.
    QString shown = text;
    shown.replace('/', QStringLiteral("/\u200B"));
    Label5->setText(shown);
    Label5->setToolTip(text);
    // The line grows downwards until the whole message shows.
    const int height = std::max(Twips(375), Label5->heightForWidth(Label5->width()) + 4);
    Label5->resize(Label5->width(), height);
    Label5->show();
    Label5->raise();
}

void FTAData::Command4_KeyDown(int key, Qt::KeyboardModifiers) {
    if (key == Qt::Key_Left) FocusIfPossible(Text1[7]);
}

void FTAData::ReleaseFile(const std::string& path) {
    std::error_code ec;
    if (views_.Data1.isOpen() || views_.Data2.isOpen() || views_.Data3.isOpen()) {
        if (fs::equivalent(path, views_.Data3.DatabaseName, ec) && !ec) {
            DBGrid1->bind(nullptr, nullptr);
            DBGrid2->bind(nullptr, nullptr);
            views_.CloseAll();
            Connection::ForgetShared(views_.Data3.DatabaseName);
        }
    }
    Connection::ForgetShared(path);
}

void FTAData::Command4_Click() {
    Label5->clear();
    Label5->hide();

    HeaderTexts texts;
    for (int i = 0; i < 8; ++i)
        texts[i] = S(Text1[i]->text());
    NewHeaderCheck check = CheckNewHeader(texts);
    if (!check.ok) {
        ShowHeaderMessage(Q(check.message));
        Text1[check.focus]->setFocus(Qt::OtherFocusReason);
        return;
    }
    module_.header = check.header;
    const std::string path = ExamPathIn(check.fileName, WorkingDir());
    module_.ExamFileName = path;

    std::error_code ec;
    const auto status = fs::symlink_status(path, ec);
    ExamBackup backup;
    if (fs::exists(status)) {
        if (fs::is_directory(status) ||
            !askOkCancel(kWarningTitle, "ไฟล์ " + Q(path) + "  มีอยู่แล้ว จะเขียนทับหรือไม่")) {
            Text1[0]->setFocus(Qt::OtherFocusReason);
            return;
        }
        ReleaseFile(path);
        backup = BackUpExamFile(path);
        if (!backup.kept) {
            Warn(Q(backup.refusal) + "\nกรุณาปิดโปรแกรมอื่นที่ใช้ไฟล์นี้ หรือเลือกชื่อไฟล์ใหม่");
            Text1[0]->setFocus(Qt::OtherFocusReason);
            return;
        }
    }
    if (CreateExamFile(path, module_.header) != 0) {
        Text1[0]->setFocus(Qt::OtherFocusReason);
        return;
    }

    module_.ExamFileOpen = 1;
    Command4->hide();
    {
        BusyCursor busy;
        if (!PrepareInputData()) {
            module_.ExamFileOpen = 0;
            Command4->show();
            Text1[0]->setFocus(Qt::OtherFocusReason);
            return;
        }
        // The teacher types the key first.
        DBGrid2->setFocus(Qt::OtherFocusReason);
        Text1[0]->setEnabled(false);
    }
    if (backup.kept) ShowHeaderMessage(Q(BackupNotice(backup.backupPath)));
}

void FTAData::Command2_Click() {
    Command4->hide();
    Label5->clear();
    Label5->hide();

    const QString chosen = chooseOpenFile();
    if (chosen.isEmpty()) return;
    OpenExamFile(chosen);
}

bool FTAData::OpenExamFile(const QString& chosen) {
    Command4->hide();
    Label5->clear();
    Label5->hide();
    const QFileInfo info(chosen);
    QDir::setCurrent(info.absolutePath());
    const std::string path = S(info.absoluteFilePath());

    BusyCursor busy;
    // A signed file whose tables are not ours would be read out of range.
    if (const std::string refusal = ExamFileRefusal(path); !refusal.empty()) {
        showMessage(kWarningTitle, Q(refusal));
        return false;
    }
    const std::string previousName = module_.ExamFileName;
    const int16_t previousOpen = module_.ExamFileOpen;
    module_.ExamFileName = path;
    module_.ExamFileOpen = 1;
    if (!PrepareInputData()) {
        module_.ExamFileName = previousName;
        module_.ExamFileOpen = previousOpen;
        UpdateTitle();
        return false;
    }
    UserSettings::addRecentFile(Q(path));
    DBGrid1->setFocus(Qt::OtherFocusReason);
    Picture4->show();
    Command5->show();
    Command6->show();
    Command7->show();
    picItemStats->show();
    return true;
}

bool FTAData::PrepareInputData() {
    graphPanel->hide();
    // Bind aside first: a locked or damaged file must leave the file in hand
    // bound and shown.
    ExamViews fresh;
    try {
        BindExamFile(fresh, module_.ExamFileName);
    } catch (const std::exception& e) {
        Warn("เปิดไฟล์ " + Q(module_.ExamFileName) + "  ไม่ได้\n" + QString::fromUtf8(e.what()));
        return false;
    }
    DBGrid1->bind(nullptr, nullptr);
    DBGrid2->bind(nullptr, nullptr);
    std::swap(views_, fresh);
    fresh.CloseAll();
    InstallViewCallbacks();

    ShowFileControls();
    itemStatsPanel->hide();
    itemStatsPanel->forgetFile();
    resultsKind_ = 0;
    RememberKeyOfResults();
    ShowOutdatedNotices();
    setWindowTitle(QFileInfo(Q(module_.ExamFileName)).fileName() + " - " + kProgramTitle);
    ReadHeader(views_.Data3, module_.header);
    FillHeaderFields();
    Text1[0]->setEnabled(false);
    // The answer fields were made for this many items when the file was.
    Text1[5]->setReadOnly(true);
    Text1[5]->setToolTip("จำนวนข้อสอบกำหนดไว้ตอนสร้างไฟล์ แก้ไขไม่ได้");
    SetDbGrid1();
    SetDbGrid2();
    Data1_Reposition();
    UpdateTitle();
    return true;
}

void FTAData::InstallViewCallbacks() {
    views_.Data1.onReposition = [this] { Data1_Reposition(); };
    views_.Data1.onError = [this](int, const std::string& text, int& response) {
        Data1_Error(Q(text));
        response = 0;
    };
}

void FTAData::ShowFileControls() {
    for (QWidget* w : std::initializer_list<QWidget*>{DBGrid1, DBGrid2, Data1, Picture2, picButtons,
                                                      Picture4, Command5, Command6, Command7})
        w->show();
    picItemStats->show();
}

void FTAData::FillHeaderFields() {
    const TestHeader& h = module_.header;
    Text1[0]->setText(Q(module_.ExamFileName));
    Text1[1]->setText(Q(h.SubCode));
    Text1[2]->setText(Q(h.SubName));
    Text1[3]->setText(Q(h.Term));
    Text1[4]->setText(QString::number(h.Yearr));
    Text1[5]->setText(QString::number(h.nItem));
    Text1[6]->setText(QString::number(h.nChoice));
    Text1[7]->setText(Q(h.TeacherName));
}

void FTAData::SetDbGrid1() {
    DBGrid1->bind(views_.Data1.isOpen() ? &views_.Data1 : nullptr, &module_.header);
    DBGrid1->SetDbGrid();
}

void FTAData::SetDbGrid2() {
    DBGrid2->bind(views_.Data2.isOpen() ? &views_.Data2 : nullptr, &module_.header);
    DBGrid2->SetDbGrid();
    FitKeyGrid();
}

void FTAData::FitKeyGrid() {
    // The key strip must show its header and the key row above the scroll
    // bar that forty or more item columns bring; with the Thai faces that
    // takes more than its place. The answer-sheet grid starts below it and
    // keeps its bottom.
    const int rowHeight = DBGrid2->verticalHeader()->defaultSectionSize();
    const int need = 2 * DBGrid2->frameWidth() +
                     std::max(DBGrid2->horizontalHeader()->sizeHint().height(), rowHeight) +
                     rowHeight + DBGrid2->horizontalScrollBar()->sizeHint().height();
    const int top = Twips(2565);
    const int height = std::max(Twips(735), need);
    layout_.place(DBGrid2, QRect(Twips(120), top, Twips(11775), height));
    const int sheetsTop = std::max(Twips(3270), top + height);
    const int sheetsBottom = Twips(3270) + Twips(4335);
    layout_.place(DBGrid1, QRect(Twips(120), sheetsTop, Twips(11775), sheetsBottom - sheetsTop));
    if (gridPair_) gridPair_->refresh();
}

void FTAData::SetUpGrowth() {
    // The places were drawn for a window just wider than the report panel
    // and just taller than the bars (the item statistics bar lowest); a
    // larger window gives its room to the grids and the report, and the bars
    // keep to the grid's bottom edge.
    layout_.setDesignSize(QSize(Twips(11910 + 60), Twips(8670 + 60)));
    // A screen lower than that (a small notebook at twice the scale) gets a
    // shorter answer grid, still a header and four sheets high.
    layout_.setSpareHeight(Twips(1900));
    setMinimumSize(layout_.minimumSize());
    using A = GrowingLayout::Anchor;
    layout_.add(Label4, A::GrowWidth);
    layout_.add(DBGrid2, A::GrowWidth);
    layout_.add(DBGrid1, A::GrowWidth | A::GrowHeight);
    for (QWidget* bar : std::initializer_list<QWidget*>{Data1, picButtons, Command7, Picture4})
        layout_.add(bar, A::MoveDown);
    layout_.add(picItemStats, A::MoveDown);
    // The item statistics cover the window below the title, the bars
    // included, however large the window has been made.
    layout_.place(itemStatsPanel, QRect(Twips(105), Twips(510), Twips(11805), Twips(8130)));
    layout_.add(itemStatsPanel, A::GrowWidth | A::GrowHeight);
    // So do the charts, which gain most from the room.
    layout_.place(graphPanel, QRect(Twips(105), Twips(510), Twips(11805), Twips(8130)));
    layout_.add(graphPanel, A::GrowWidth | A::GrowHeight);
    layout_.add(RichTextBox1, A::GrowWidth | A::GrowHeight);
    for (QWidget* w : std::initializer_list<QWidget*>{Label6, Text2})
        layout_.add(w, A::MoveDown);
    for (QWidget* w : std::initializer_list<QWidget*>{Command9, Command8, cmdPreview,
                                                      cmdPrintGraphs, cmdExportReport, Picture5})
        layout_.add(w, A::MoveDown | A::MoveRight);

    gridPair_ = new GridPair(DBGrid2, DBGrid1, this);
    connect(gridPair_, &GridPair::editPendingChanged, this, [this] { UpdateTitle(); });
    recentFiles_ = new RecentFilesButton(Command2);
    connect(recentFiles_, &RecentFilesButton::openRequested, this, [this](const QString& path) {
        // A file moved or deleted since leaves the list once it has
        // been missed.
        if (!OpenExamFile(path) && !QFileInfo::exists(path)) UserSettings::removeRecentFile(path);
    });
    FitKeyGrid();
}

ReportView* FTAData::reportView() const {
    return static_cast<ReportView*>(RichTextBox1);
}

void FTAData::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    layout_.apply(size());
}

void FTAData::UpdateTitle() {
    QString title = kProgramTitle;
    if (module_.ExamFileOpen != 0 && views_.Data1.isOpen()) {
        const QString name = QFileInfo(Q(module_.ExamFileName)).fileName();
        const bool pending = gridPair_ && gridPair_->editPending();
        title = (pending ? "*" : "") + name + " - " + title;
    }
    setWindowTitle(title);
}

namespace {

// The first local exam file among dropped URLs, or the empty text.
QString DroppedExamFile(const QMimeData* mime) {
    if (!mime || !mime->hasUrls()) return {};
    for (const QUrl& url : mime->urls())
        if (url.isLocalFile() && url.toLocalFile().endsWith(".ans", Qt::CaseInsensitive))
            return url.toLocalFile();
    return {};
}

} // namespace

void FTAData::dragEnterEvent(QDragEnterEvent* e) {
    if (!DroppedExamFile(e->mimeData()).isEmpty()) e->acceptProposedAction();
}

void FTAData::dropEvent(QDropEvent* e) {
    const QString path = DroppedExamFile(e->mimeData());
    if (path.isEmpty()) return;
    e->acceptProposedAction();
    OpenExamFile(path);
}

// ---------------------------------------------------------------------------
// Header fields

void FTAData::Text1_Change(int) {
    HeaderChanged = 1;
}

void FTAData::Text1_KeyDown(int index, int key, Qt::KeyboardModifiers modifiers) {
    const bool modifier = modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    const HeaderMove m =
        Text1KeyMove(index, key, modifier, module_.ExamFileOpen, !Command4->isHidden());
    switch (m.target) {
    case HeaderMove::Stay:
        break;
    case HeaderMove::Field:
        FocusIfPossible(Text1[m.field]);
        break;
    case HeaderMove::NewFileButton:
        FocusIfPossible(Command1);
        break;
    case HeaderMove::OkButton:
        FocusIfPossible(Command4);
        break;
    case HeaderMove::KeyGrid:
        FocusIfPossible(DBGrid2);
        break;
    }
}

void FTAData::Text1_LostFocus(int index) {
    if (module_.ExamFileOpen == 0 || HeaderChanged != 1) return;
    RecordSet* rs = views_.Data3.Recordset();
    if (!rs || rs->recordCount() == 0) return;
    TestHeader& h = module_.header;
    const std::string text = S(Text1[index]->text());
    // The texts of the header variables change only once the file holds
    // them; a refused text gives way to the stored one.
    std::string* stored = index == 1   ? &h.SubCode
                          : index == 2 ? &h.SubName
                          : index == 3 ? &h.Term
                          : index == 7 ? &h.TeacherName
                                       : nullptr;
    if (stored) {
        const std::string tooLong = HeaderTextTooLong(index, text);
        if (!tooLong.empty()) {
            Text1[index]->setText(Q(*stored));
            Warn(Q(tooLong));
            return;
        }
    }
    std::optional<int32_t> newYear;
    std::optional<uint8_t> newChoices;
    try {
        rs->moveFirst();
        rs->edit();
        switch (index) {
        case 1:
            rs->setField("SubCode", text);
            break;
        case 2:
            rs->setField("SubName", text);
            break;
        case 3:
            rs->setField("Term", text);
            break;
        case 7:
            rs->setField("TeacherName", text);
            break;
        case 4: {
            auto year = YearForWriteBack(text);
            if (!year) {
                rs->cancelUpdate();
                Text1[4]->setText(QString::number(h.Yearr));
                ShowHeaderMessage(kYearInvalid);
                return;
            }
            rs->setField("Yearr", static_cast<long long>(*year));
            newYear = year;
            break;
        }
        case 6: {
            auto choices = ChoicesForWriteBack(text);
            if (!choices) {
                rs->cancelUpdate();
                Text1[6]->setText(QString::number(h.nChoice));
                Warn(kChoicesOutOfRange);
                return;
            }
            rs->setField("nChoice", static_cast<long long>(*choices));
            newChoices = choices;
            break;
        }
        default: // the file name and the number of items are never written
            break;
        }
        rs->update();
        if (stored) *stored = text;
        if (newYear) h.Yearr = *newYear;
        if (newChoices) h.nChoice = *newChoices;
    } catch (const std::exception& e) {
        if (rs->editing()) rs->cancelUpdate();
        if (stored) Text1[index]->setText(Q(*stored));
        if (index == 4) Text1[4]->setText(QString::number(h.Yearr));
        if (index == 6) Text1[6]->setText(QString::number(h.nChoice));
        Warn("บันทึกข้อมูลส่วนหัวไม่ได้\n" + QString::fromUtf8(e.what()));
    }
}

// ---------------------------------------------------------------------------
// School name

void FTAData::ReadSchoolName() {
    const std::string path = WorkingDir() + "/" + kSchoolNameFile;
    std::error_code ec;
    if (fs::exists(path, ec)) {
        if (auto name = ReadSchoolNameFile(path)) {
            SchoolName = *name;
            Text2->setText(Q(SchoolName));
        }
        return;
    }
    if (WriteSchoolNameFile(path, kSchoolNameWhenCreated) != SchoolNameWrite::Written)
        Warn("สร้างไฟล์ชื่อสถานศึกษา " + Q(path) + "  ไม่ได้");
}

void FTAData::Text2_GotFocus() {
    SchoolName = S(Text2->text());
}

void FTAData::Text2_LostFocus() {
    const std::string text = S(Text2->text());
    if (text == SchoolName) return;
    const std::string path = WorkingDir() + "/" + kSchoolNameFile;
    switch (WriteSchoolNameFile(path, text)) {
    case SchoolNameWrite::Written:
        break;
    case SchoolNameWrite::RefusedExamFile:
        Warn("ไม่บันทึกชื่อสถานศึกษา เพราะ " + Q(path) + "  เป็นไฟล์ข้อมูลข้อสอบ");
        break;
    case SchoolNameWrite::Failed:
        Warn("บันทึกชื่อสถานศึกษาลงไฟล์ " + Q(path) + "  ไม่ได้");
        break;
    }
}

// ---------------------------------------------------------------------------
// Grids

void FTAData::Data1_Reposition() {
    const RecordSet* rs = views_.Data1.Recordset();
    if (!rs) return;
    try {
        Data1->setCaption("Record: " + QString::number(rs->absolutePosition() + 1));
    } catch (...) {
        // The caption keeps its text when there is no position to show.
    }
}

void FTAData::DBGrid1_RowColChange() {
    Data1->setCaption("Record: " + QString::number(DBGrid1->currentRecordPosition() + 1));
}

void FTAData::Data1_Error(const QString& text) {
    showMessage(QString(), "Data error event hit err:" + text);
}

// ---------------------------------------------------------------------------
// Analysis, report panel and print options

void FTAData::Command5_Click() {
    RunAnalysis(1);
}

void FTAData::Command6_Click() {
    RunAnalysis(2);
}

namespace {

// The report file as the teacher reads it: code page 874 back to text.
QString ReadReportFile(const std::string& path) {
    QFile f(Q(path));
    if (!f.open(QIODevice::ReadOnly)) return {};
    const QByteArray bytes = f.readAll();
    QString text =
        Q(FromCp874(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size()))));
    // The file's lines end in CR LF; the view would show every CR as a line.
    text.replace("\r\n", "\n");
    return text;
}

// The report as the view shows it: laid out at the printout's columns; the
// file's own text when the results cannot be read back.
QString ScreenReport(ExamViews& views, const AnalysisState& state, const TestHeader& header,
                     const std::string& schoolName, const std::string& reportPath) {
    try {
        return ScreenReportText(LayOutReport(LoadReportData(views, state), header, schoolName));
    } catch (const std::exception&) {
        return ReadReportFile(reportPath);
    }
}

} // namespace

void FTAData::RunAnalysis(int kind) {
    if (!views_.Data1.isOpen() || views_.Data1.Recordset()->recordCount() == 0) return;
    // The charts shown belong to the results about to be replaced.
    graphPanel->hide();
    QWidget* focusBefore = QApplication::focusWidget();
    QPushButton* button = kind == 1 ? Command5 : Command6;
    const QString caption = kind == 1 ? "วิเคราะห์ 25 %" : "วิเคราะห์ 27 %";
    // A cell still being typed belongs to the sheets that are analysed, and
    // so does an answer still waiting for the file.
    DBGrid1->commitPendingEdit();
    DBGrid2->commitPendingEdit();
    if (!DBGrid1->storePendingEdits() || !DBGrid2->storePendingEdits()) return;
    if (!GoOnAfterChecks()) return;
    Command7->hide();
    button->setText("กำลังคำนวณ");
    BusyCursor busy;
    state_.AnalysisKind = static_cast<int16_t>(kind);
    button->setEnabled(false);
    AnalysisContext ctx = analysisContext();
    bool analysed = false;
    try {
        RunTechnique(ctx, kind, FanTableDir(ProgramDir()));
        analysed = true;
        // The sheets are shown in score order after an analysis.
        views_.Data1.RecordSource = "select * from TAData order by Score";
        views_.Data1.Refresh();
        RereadResultViews(views_);
        resultsKind_ = kind;
        RememberKeyOfResults();
        ShowOutdatedNotices();
        SetDbGrid1();
        SetDbGrid2();
        state_.ReportFileName = WriteAnalysisReport(views_, state_, module_.ExamFileName,
                                                    module_.header, S(Text1[3]->text()));
        RichTextBox1->setPlainText(
            ScreenReport(views_, state_, module_.header, S(Text2->text()), state_.ReportFileName));
        ShowReportPanel(focusBefore);
    } catch (const std::exception& e) {
        // What the file holds now (the previous results after a rollback,
        // the new ones when only the report failed) is what the grids show.
        Warn(QString::fromUtf8(e.what()));
        Command7->show();
        try {
            if (!analysed) views_.Data1.Refresh();
            views_.Data2.Refresh();
            views_.Data4.Refresh();
            views_.Data5.Refresh();
        } catch (const std::exception&) {}
        SetDbGrid1();
        SetDbGrid2();
    }
    button->setText(caption);
    button->setEnabled(true);
}

bool FTAData::GoOnAfterChecks() {
    std::vector<std::string> findings;
    int keyed = 0;
    try {
        findings = SheetWarnings(views_.Data1.Recordset()->connection(), module_.header.nItem,
                                 module_.header.nChoice, &keyed);
    } catch (const std::exception&) {
        return true; // the analysis reports what is wrong with the file
    }
    // Without any key the analysis refuses anyway, and says why.
    if (findings.empty() || keyed == 0) return true;
    QString text = QString(kSheetWarningsHeading) + "\n";
    for (const std::string& line : findings)
        text += "\n" + Q(line);
    return askGoOnAfterChecks(kWarningTitle, text);
}

std::unique_ptr<Printer> FTAData::OpenPrinter(const std::string& pdfPath) {
    if (openPrinter) return openPrinter(pdfPath);
    std::string notice;
    return OpenDefaultPrinterOrPdf(pdfPath, notice);
}

void FTAData::TellPrinterNotice(Printer& prn) {
    if (auto* out = dynamic_cast<OutputPrinter*>(&prn); out && !out->Notice().empty())
        Warn(Q(out->Notice()));
}

void FTAData::Command7_Click() {
    if (!views_.Data1.isOpen() || views_.Data1.Recordset()->recordCount() == 0) return;
    BusyCursor busy;
    try {
        cmdOrderOfNo_A_Click(views_.Data1, *DBGrid1);
        RawData data = LoadRawData(views_);
        auto prn = OpenPrinter(DerivedPath(module_.ExamFileName, "raw.pdf"));
        RawPrint(*prn, module_.header, S(Text2->text()), data);
        TellPrinterNotice(*prn);
    } catch (const std::exception& e) {
        Warn(QString::fromUtf8(e.what()));
    }
}

void FTAData::Command10_Click() {
    if (Option1->isChecked()) printJob_.PrintMode = 1;
    if (Option2->isChecked()) printJob_.PrintMode = 2;
    if (Option3->isChecked()) printJob_.PrintMode = 3;
    if (Option4->isChecked()) {
        printJob_.PrintMode = 4;
        if (!SetPageRange(printJob_, S(Text3->text()), S(Text4->text()))) {
            Text3->setFocus(Qt::OtherFocusReason);
            return;
        }
    }
    // A selection without a page would print nothing and look done.
    if (!SelectsAnyPage(printJob_, NumPage())) {
        Warn(QString::fromUtf8(kNoPageSelected));
        if (Option4->isChecked()) Text3->setFocus(Qt::OtherFocusReason);
        return;
    }
    Picture5->hide();
    RichTextBox1->setFocusPolicy(Qt::StrongFocus);
    {
        BusyCursor busy;
        try {
            ReportData data = LoadReportData(views_, state_);
            auto prn = OpenPrinter(DerivedPath(module_.ExamFileName, "pdf"));
            PrintOutput(*prn, printJob_, module_.header, S(Text2->text()), data,
                        module_.header.nChoice, module_.header.nItem);
            TellPrinterNotice(*prn);
        } catch (const std::exception& e) {
            Warn(QString::fromUtf8(e.what()));
        }
    }
    Command9->setEnabled(true);
    FocusIfPossible(focusBeforeOptions_ ? focusBeforeOptions_.data() : Command9);
    focusBeforeOptions_ = nullptr;
}

void FTAData::cmdPreview_Click() {
    // All pages, whatever the print options say; the job state stays.
    PrintJob all = printJob_;
    all.PrintMode = 1;
    ReportData data;
    try {
        data = LoadReportData(views_, state_);
    } catch (const std::exception& e) {
        Warn(QString::fromUtf8(e.what()));
        return;
    }
    QPrinter printer(QPrinter::HighResolution);
    QPrintPreviewDialog dialog(&printer, this);
    connect(&dialog, &QPrintPreviewDialog::paintRequested, this, [&](QPrinter* p) {
        TestHeader header = module_.header;
        auto prn = QtPrinter::ForQPrinter(*p);
        PrintJob job = all;
        PrintOutput(*prn, job, header, S(Text2->text()), data, module_.header.nChoice,
                    module_.header.nItem);
    });
    if (showPreview)
        showPreview(dialog);
    else
        dialog.exec();
}

bool FTAData::LoadGraphInput(GraphReportInput& in) {
    try {
        in.header = module_.header;
        in.school = S(Text2->text());
        in.data = LoadReportData(views_, state_);
        in.scores = LoadScores(views_);
        in.stats = LoadTestStatistics(module_.ExamFileName);
    } catch (const std::exception& e) {
        Warn(QString::fromUtf8(e.what()));
        return false;
    }
    return true;
}

void FTAData::cmdGraphs_Click() {
    if (state_.AnalysisKind != 1 && state_.AnalysisKind != 2) {
        Warn("ยังไม่ได้วิเคราะห์ข้อสอบ กรุณากด วิเคราะห์ 25 % หรือ วิเคราะห์ 27 % ก่อน");
        return;
    }
    GraphReportInput in;
    if (!LoadGraphInput(in)) return;
    graphPanel->setInput(in);
    graphPanel->show();
    graphPanel->raise();
    graphPanel->itemChooser->setFocus(Qt::OtherFocusReason);
}

void FTAData::cmdPrintGraphs_Click() {
    GraphReportInput in;
    if (!LoadGraphInput(in)) return;
    BusyCursor busy;
    const std::string pdf = DerivedPath(module_.ExamFileName, "graphs.pdf");
    std::string notice;
    std::unique_ptr<GraphPages> pages =
        openGraphPages ? openGraphPages(pdf, notice) : OpenDefaultGraphPages(pdf, notice);
    DrawGraphReport(*pages, in);
    if (!pages->Finish()) {
        Warn(notice.empty() ? QString("พิมพ์กราฟไม่ได้ เครื่องพิมพ์ไม่พร้อมใช้งาน")
                            : Q("พิมพ์ไม่ได้ ไม่สามารถบันทึกไฟล์ PDF : " + pdf));
        return;
    }
    if (!notice.empty()) Warn(Q(notice));
}

int FTAData::NumPage() {
    try {
        ReportData data = LoadReportData(views_, state_);
        return ia::NumPage(printJob_, data, module_.header.nChoice, module_.header.nItem);
    } catch (const std::exception&) {
        return 0;
    }
}

QList<QWidget*> FTAData::UnderReportPanel() const {
    return {Picture1,   Picture2, DBGrid2,  DBGrid1,     Data1,
            picButtons, Command7, Picture4, picItemStats};
}

void FTAData::ShowReportPanel(QWidget* focusBefore) {
    focusBeforeReport_ = focusBefore;
    Picture3->show();
    Picture3->raise();
    RichTextBox1->setFocus(Qt::OtherFocusReason);
    // What the panel covers is out of reach of keys, clicks and access keys
    // alike; hidden under it, it looks the same.
    coveredByReport_.clear();
    for (QWidget* w : UnderReportPanel())
        if (!w->isHidden()) {
            coveredByReport_ << w;
            w->hide();
        }
}

void FTAData::Command8_Click() {
    Command9->setEnabled(true);
    RichTextBox1->setFocusPolicy(Qt::StrongFocus);
    for (QWidget* w : coveredByReport_)
        if (w) w->show();
    coveredByReport_.clear();
    Picture3->hide();
    Picture5->hide();
    Command7->show();
    if (focusBeforeReport_ && focusBeforeReport_->isVisible() && focusBeforeReport_->isEnabled())
        focusBeforeReport_->setFocus(Qt::OtherFocusReason);
    else
        FocusIfPossible(DBGrid1);
    focusBeforeReport_ = nullptr;
}

void FTAData::Command9_Click() {
    focusBeforeOptions_ = QApplication::focusWidget();
    Text3->clear();
    Text4->clear();
    Picture5->show();
    Picture5->raise();
    Command9->setEnabled(false);
    Option1->setChecked(true);
    Label7->setText("จำนวนหน้า  =  " + QString(" %1").arg(NumPage()));
    Option1->setFocus(Qt::OtherFocusReason);
    // The report text lies partly under the options: no key reaches it.
    RichTextBox1->setFocusPolicy(Qt::NoFocus);
}

void FTAData::keyPressEvent(QKeyEvent* e) {
    // An Escape that no control of the report panel took (the report's find
    // field takes its own) closes the print options first, then the report,
    // like "ปิด".
    if (e->key() == Qt::Key_Escape && e->modifiers() == Qt::NoModifier && !Picture3->isHidden()) {
        CloseReportPanelOrOptions();
        e->accept();
        return;
    }
    QWidget::keyPressEvent(e);
}

void FTAData::CloseReportPanelOrOptions() {
    if (!Picture5->isHidden())
        Command11_Click();
    else if (!Picture3->isHidden())
        Command8_Click();
}

void FTAData::Command11_Click() {
    Picture5->hide();
    Command9->setEnabled(true);
    RichTextBox1->setFocusPolicy(Qt::StrongFocus);
    QWidget* back = focusBeforeOptions_ ? focusBeforeOptions_.data() : Command9;
    if (back->isVisible() && back->isEnabled()) back->setFocus(Qt::OtherFocusReason);
    focusBeforeOptions_ = nullptr;
}

void FTAData::Option4_Click() {
    Text3->setFocus(Qt::OtherFocusReason);
}

void FTAData::Text3_KeyPress(int key) {
    if (key == Qt::Key_Return || key == Qt::Key_Enter) Text4->setFocus(Qt::OtherFocusReason);
}

void FTAData::Text4_KeyPress(int key) {
    if (key == Qt::Key_Return || key == Qt::Key_Enter) Command10->setFocus(Qt::OtherFocusReason);
}

// ---------------------------------------------------------------------------
// Item statistics and the key check

void FTAData::cmdItemStats_Click() {
    if (!views_.Data1.isOpen()) return;
    // A cell still being typed belongs to what is counted.
    DBGrid1->commitPendingEdit();
    DBGrid2->commitPendingEdit();
    BusyCursor busy;
    const std::string refusal = itemStatsPanel->showFile(module_.ExamFileName);
    if (!refusal.empty()) {
        Warn(Q(refusal));
        return;
    }
    ShowOutdatedNotices();
    itemStatsPanel->show();
    itemStatsPanel->raise();
    itemStatsPanel->itemTable->setFocus(Qt::OtherFocusReason);
}

std::vector<Value> FTAData::KeyRow() {
    std::vector<Value> key;
    if (!views_.Data2.isOpen()) return key;
    try {
        Connection& db = views_.Data2.Recordset()->connection();
        auto st = db.prepare("SELECT * FROM TKey ORDER BY rowid LIMIT 1");
        if (st.step())
            for (int i = 0; i < st.columnCount(); ++i)
                key.push_back(st.column(i));
    } catch (const std::exception&) {}
    return key;
}

void FTAData::RememberKeyOfResults() {
    keyOfResults_ = KeyRow();
}

bool FTAData::ResultsOutdated() {
    if (!views_.Data4.isOpen()) return false;
    const std::vector<Value> now = KeyRow();
    if (now.empty()) return false;
    try {
        Connection& db = views_.Data4.Recordset()->connection();
        // Nothing stored yet: nothing to be out of date.
        auto count = db.prepare("SELECT count(*) FROM TOut");
        if (!count.step() || count.columnInt(0) == 0) return false;
        // Changed in this session (the total field is the scoring's to
        // write, not part of the key).
        if (now.size() == keyOfResults_.size() &&
            !std::equal(now.begin(), now.end() - 1, keyOfResults_.begin()))
            return true;
        // Changed before, perhaps in another session: the keyed choices the
        // results marked are no longer those of the key.
        auto marks = db.prepare("SELECT ItemNo, ChoiceNo, IsAns FROM TOut");
        while (marks.step()) {
            const long long item = marks.columnInt(0);
            if (item < 1 || item >= static_cast<long long>(now.size()) - 1) continue;
            const bool keyed =
                now[static_cast<size_t>(item)].text() == std::to_string(marks.columnInt(1));
            if (keyed != (marks.columnInt(2) == 1)) return true;
        }
    } catch (const std::exception&) {}
    return false;
}

void FTAData::ShowOutdatedNotices() {
    const bool outdated = ResultsOutdated();
    const int kind = resultsKind_;
    itemStatsPanel->setOutdated(outdated, kind);
    lblReportOutdated->setVisible(outdated);
    cmdReportRerun->setVisible(outdated && (kind == 1 || kind == 2));
    cmdReportRerun->setText(kind == 2 ? "วิเคราะห์ 27 % ใหม่" : "วิเคราะห์ 25 % ใหม่");
    // The notice takes the top of the report's place while it is shown.
    if (outdated)
        place(RichTextBox1, 585, 540, 10665, 6630);
    else
        place(RichTextBox1, 585, 90, 10665, 7080);
}

void FTAData::OnItemStatsKeyChanged() {
    try {
        views_.Data2.Refresh();
    } catch (const std::exception& e) {
        Warn(QString::fromUtf8(e.what()));
    }
    SetDbGrid2();
    ShowOutdatedNotices();
}

void FTAData::RerunLastTechnique() {
    const int kind = resultsKind_;
    if (kind != 1 && kind != 2) return;
    const bool panelShown = itemStatsPanel->isVisible();
    RunAnalysis(kind);
    if (panelShown) {
        if (const std::string refusal = itemStatsPanel->showFile(module_.ExamFileName);
            !refusal.empty())
            Warn(Q(refusal));
        itemStatsPanel->raise();
    }
    ShowOutdatedNotices();
}

} // namespace ia
