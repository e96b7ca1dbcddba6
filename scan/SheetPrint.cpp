// SPDX-License-Identifier: GPL-3.0-or-later
#include "scan/SheetPrint.h"

#include "report/GraphReport.h"
#include "scan/ScanTypes.h"
#include "scan/SheetLayout.h"

#include <qrencode.h>

#include <random>

namespace ia::scan {

using charts::Align;
using charts::Canvas;
using charts::Color;
using charts::TextStyle;

namespace {

constexpr Color kBlack{0, 0, 0};
constexpr Color kGrey{110, 110, 110};

TextStyle Style(double points, Align across = Align::Start, bool bold = false,
                Align down = Align::Start, Color color = kBlack) {
    TextStyle s;
    s.points = points;
    s.across = across;
    s.down = down;
    s.bold = bold;
    s.color = color;
    return s;
}

void DrawQr(Canvas& c, const std::string& text) {
    const auto modules = QrModules(text);
    if (modules.empty()) return;
    const PageRect r = QrRect();
    const double size = r.w / static_cast<double>(modules.size());
    for (size_t y = 0; y < modules.size(); ++y) {
        size_t x = 0;
        while (x < modules[y].size()) {
            if (!modules[y][x]) {
                ++x;
                continue;
            }
            size_t run = x;
            while (run < modules[y].size() && modules[y][run])
                ++run;
            // A hair wider, so that runs and rows meet without white seams.
            c.FillRect({r.x + x * size, r.y + y * size, (run - x) * size + 0.05, size + 0.05},
                       kBlack);
            x = run;
        }
    }
}

std::string YearText(int year) {
    return year > 0 ? std::to_string(year) : std::string();
}

void DrawPage(Canvas& c, const SheetLayout& layout, const SheetPrintRequest& rq,
              const SheetIdentity& id, const Student* student) {
    for (Corner corner :
         {Corner::TopLeft, Corner::TopRight, Corner::BottomRight, Corner::BottomLeft}) {
        const PagePoint m = MarkerCentre(corner);
        c.FillRect({m.x - kMarkerSide / 2, m.y - kMarkerSide / 2, kMarkerSide, kMarkerSide},
                   kBlack);
    }
    DrawQr(c, EncodeIdentity(id));
    const PageRect qr = QrRect();
    c.Text({qr.x + qr.w / 2, qr.y + qr.h + 3},
           "หน้า " + std::to_string(id.page) + "/" + std::to_string(id.pageCount),
           Style(9, Align::Middle));
    const TestHeader& h = rq.header;
    const double left = 52;
    std::string title = rq.key ? "เฉลย" : "กระดาษคำตอบ";
    if (id.page > 1) title += " (ต่อ)";
    c.Text({kPageWidth / 2 - 40, 26}, title, Style(16, Align::Middle, true));
    if (id.page == 1) {
        double y = 54;
        if (!rq.school.empty()) {
            c.Text({left, y}, rq.school, Style(11, Align::Start, true));
            y += 17;
        }
        c.Text({left, y}, "วิชา " + h.SubCode + " " + h.SubName, Style(11));
        y += 17;
        c.Text({left, y},
               "ภาคเรียนที่ " + h.Term + "  ปีการศึกษา " + YearText(h.Yearr) + "  ผู้สอน " + h.TeacherName,
               Style(11));
    }
    // The name box: a personalised sheet prints the student in it.
    const double boxTop = id.page == 1 ? 110 : 62;
    c.StrokeRect({left - 4, boxTop, 404, 30}, {kBlack, 0.8});
    std::string who = "ชื่อ-สกุล";
    if (student) who += "  " + student->name + "   รหัส " + student->code;
    if (rq.key) who = "เฉลย";
    c.Text({left, boxTop + 15}, who, Style(12, Align::Start, student != nullptr, Align::Middle));
    if (id.page == 1 && layout.codeDigits() > 0) {
        c.Text({left, 176}, "เลขที่/รหัสนักเรียน เขียนตัวเลขในช่องแล้วระบายใต้ช่อง", Style(9));
        for (int col = 0; col < layout.codeDigits(); ++col) {
            const PageRect box = layout.codeWriteBox(col);
            c.StrokeRect({box.x, box.y, box.w, box.h}, {kBlack, 0.6});
            for (int d = 0; d <= 9; ++d)
                c.Marker({layout.codeBubble(col, d).x, layout.codeBubble(col, d).y},
                         charts::MarkerShape::Circle, 2 * kBubbleRadius, kBlack, false);
        }
        for (int d = 0; d <= 9; ++d)
            c.Text({layout.codeBubble(0, d).x - 12, layout.codeBubble(0, d).y}, std::to_string(d),
                   Style(8, Align::Middle, false, Align::Middle, kGrey));
    }
    if (id.page == 1) {
        const double x = 300;
        double y = 180;
        for (const char* line :
             {"วิธีตอบ", "ใช้ดินสอดำ 2B ระบายให้เต็มวงเพียงวงเดียวในแต่ละข้อ", "ไม่ทำเครื่องหมายถูกหรือกากบาท",
              "เปลี่ยนคำตอบ ลบรอยเดิมให้สะอาด", "ห้ามขีดเขียนบนสี่เหลี่ยมดำที่มุมกระดาษและรหัส QR"}) {
            c.Text({x, y}, line, Style(9, Align::Start, y == 180));
            y += 14;
        }
    }
    // The items of this page, the choice letters above each column.
    const int page = id.page;
    const std::vector<PagePoint> heads = layout.choiceHeads(page);
    for (size_t i = 0; i < heads.size(); ++i)
        c.Text({heads[i].x, heads[i].y},
               ChoiceLabel(static_cast<int>(i % static_cast<size_t>(layout.choiceCount())) + 1),
               Style(9, Align::Middle, true, Align::Middle));
    const int first = layout.firstItem(page), count = layout.itemsOnPage(page);
    for (int item = first; item < first + count; ++item) {
        const PagePoint n = layout.itemNumber(item);
        c.Text({n.x, n.y}, std::to_string(item), Style(9, Align::End, false, Align::Middle));
        for (int k = 1; k <= layout.choiceCount(); ++k) {
            const PagePoint b = layout.bubble(item, k);
            c.Marker({b.x, b.y}, charts::MarkerShape::Circle, 2 * kBubbleRadius, kBlack, false);
        }
    }
}

} // namespace

std::vector<std::vector<bool>> QrModules(const std::string& text) {
    QRcode* code = QRcode_encodeString8bit(text.c_str(), 0, QR_ECLEVEL_M);
    if (!code) return {};
    // A quiet zone of two modules inside the printed square.
    const int quiet = 2, w = code->width;
    std::vector<std::vector<bool>> modules(static_cast<size_t>(w + 2 * quiet),
                                           std::vector<bool>(static_cast<size_t>(w + 2 * quiet)));
    for (int y = 0; y < w; ++y)
        for (int x = 0; x < w; ++x)
            modules[static_cast<size_t>(y + quiet)][static_cast<size_t>(x + quiet)] =
                (code->data[y * w + x] & 1) != 0;
    QRcode_free(code);
    return modules;
}

int DrawAnswerSheets(GraphPages& pages, const SheetPrintRequest& rq, Progress& progress) {
    const int digits = rq.key ? 0 : rq.codeDigits;
    const SheetLayout blank(rq.header.nItem, rq.header.nChoice, digits);
    const SheetLayout personal(rq.header.nItem, rq.header.nChoice, 0);
    const size_t sheets = rq.key ? 1 : rq.students.size() + static_cast<size_t>(rq.blankCopies);
    progress.stage(kLayingOutPagesStage, static_cast<long long>(sheets));
    // Copies of separate printings must not share a number: a random one,
    // out of a billion, for each.
    std::random_device random;
    std::uniform_int_distribution<int> copyNumber(1, 999999999);
    int drawn = 0;
    for (size_t s = 0; s < sheets; ++s) {
        progress.step(static_cast<long long>(s));
        const Student* student = !rq.key && s < rq.students.size() ? &rq.students[s] : nullptr;
        const SheetLayout& layout = student || rq.key ? personal : blank;
        SheetIdentity id;
        id.examId = rq.examId;
        id.key = rq.key;
        id.copy = rq.key ? 0 : copyNumber(random);
        id.pageCount = layout.pageCount();
        id.codeDigits = layout.codeDigits();
        if (student) id.code = student->code;
        for (int page = 1; page <= layout.pageCount(); ++page) {
            id.page = page;
            DrawPage(pages.NewPage(), layout, rq, id, student);
            ++drawn;
        }
    }
    progress.step(static_cast<long long>(sheets));
    return drawn;
}

} // namespace ia::scan
