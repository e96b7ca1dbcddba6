// SPDX-License-Identifier: GPL-3.0-or-later
// A program built without Qt measures its printouts through Pango; with Qt,
// through Qt's font metrics. Both must lay the report out alike: the same
// stand-in and narrowing, widths and line steps within a hair.

#include "report/PangoTextMetrics.h"
#include "report/PrintState.h"
#include "report/Printer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

namespace pango = ia::pangometrics;

const int kDpi = ia::kDefaultPrintDpi;

TEST(PangoMetrics, ChoosesTheSameReportFont) {
    EXPECT_EQ(pango::ReportFontFamily(), ia::ReportFontFamily());
}

TEST(PangoMetrics, KeepsTheProportionsTheLayoutNeeds) {
    if (pango::ReportFontFamily() == ia::kReportFontName)
        GTEST_SKIP() << "the report font itself is installed";
    auto w = [&](const std::string& s) {
        return pango::MeasureTextCm(ia::kReportFontName, ia::kReportFontPoints, kDpi, s);
    };
    EXPECT_NEAR(w(std::string(ia::kRuleLength, '-')), ia::kRuleWidthCm, 0.2);
    EXPECT_NEAR(w("  "), w("0"), 0.005);
    EXPECT_NEAR(w("      1"), w("    10"), 0.01);
    EXPECT_NEAR(w("ที่"), w("ท"), 0.01);
}

#ifdef ITEMANALYSIS_WITH_QT
// The printer here measures through Qt: the two back ends side by side.
TEST(PangoMetrics, AgreeWithQtWithinAHair) {
    struct Font {
        const char* name;
        double points;
    };
    for (const Font f : {Font{ia::kReportFontName, ia::kReportFontPoints},
                         Font{ia::kReportFontName, 14}, Font{"Garuda", 12}}) {
        for (const std::string& s :
             {std::string(ia::kRuleLength, '-'), std::string("      1"), std::string("0123456789"),
              std::string("โรงเรียนบ้านหนองบัววิทยา"),
              std::string("วิชา ท31101  ภาษาไทย   เทอม 1/2546    อาจารย์ผู้สอน : ครูประจำวิชา"),
              std::string("ยากง่ายปานกลาง  อำนาจจำแนกดีมาก"), std::string("ปี่ ฟื้น น้ำ ผู้ ฐู")}) {
            const double qt = ia::MeasureTextCm(f.name, f.points, kDpi, s);
            const double pg = pango::MeasureTextCm(f.name, f.points, kDpi, s);
            // Both ask for whole pixels and sum advances cut to 64ths of a
            // pixel; what is left is a 64th here and there over a line.
            EXPECT_NEAR(pg, qt, 0.001) << f.name << " " << f.points << ": " << s;
        }
        EXPECT_NEAR(pango::MeasureLineCm(f.name, f.points, kDpi),
                    ia::MeasureLineCm(f.name, f.points, kDpi), 0.001)
            << f.name;
        EXPECT_NEAR(pango::MeasureBaselineCm(f.name, f.points, kDpi),
                    ia::MeasureBaselineCm(f.name, f.points, kDpi), 0.001)
            << f.name;
        const ia::DrawnFont qt = ia::DrawnFontFor(f.name, f.points);
        const ia::DrawnFont pg = pango::DrawnFontFor(f.name, f.points);
        EXPECT_EQ(pg.family, qt.family);
        EXPECT_NEAR(pg.points, qt.points, 0.01) << f.name;
    }
}
#endif

} // namespace
