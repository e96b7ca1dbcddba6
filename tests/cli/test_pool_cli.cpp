// SPDX-License-Identifier: GPL-3.0-or-later
#include "CliSupport.h"
#include "TestSupport.h"
#include "analysis/Dif.h"
#include "analysis/ExamAnswers.h"

#include <gtest/gtest.h>

#ifdef ITEMANALYSIS_WITH_QT
#include "CliJson.h"

#include <QJsonArray>
#endif

#include <cmath>
#include <filesystem>
#include <random>

namespace {

namespace fs = std::filesystem;
using iatest::Cli;
using iatest::Quote;

// A class of `n` sheets on ten items keyed 1 of four choices; item 4 is much
// harder in a class with `planted`.
void MakeClassFile(const std::string& path, int n, bool planted, unsigned seed,
                   const std::string& codePrefix) {
    std::mt19937 rng(seed);
    std::normal_distribution<double> ability(0, 1);
    std::uniform_real_distribution<double> u(0, 1);
    std::vector<std::vector<std::string>> sheets;
    for (int s = 0; s < n; ++s) {
        const double theta = ability(rng);
        std::string answers;
        for (int j = 0; j < 10; ++j) {
            const double b = -1.2 + 0.25 * j + (planted && j == 3 ? 2.0 : 0);
            const double p = 1 / (1 + std::exp(-1.7 * (theta - b)));
            answers += u(rng) < p ? '1' : static_cast<char>('2' + static_cast<int>(u(rng) * 3));
        }
        sheets.push_back(iatest::Sheet(codePrefix + std::to_string(s + 1), answers));
    }
    iatest::MakeExamFile(path, iatest::MakeHeader(10, 4),
                         {"1", "1", "1", "1", "1", "1", "1", "1", "1", "1"}, sheets);
}

struct District {
    iatest::TempDir dir;
    std::string a = dir.file("โรงเรียนก.ans"), b = dir.file("โรงเรียนข.ans"),
                c = dir.file("โรงเรียนค.ans"), out = dir.file("เขต.ans");
    District() {
        MakeClassFile(a, 300, false, 1, "A");
        MakeClassFile(b, 250, true, 2, "B");
        MakeClassFile(c, 20, false, 3, "C");
    }
};

TEST(CliPool, RefusalsAndUsage) {
    District d;
    iatest::MakeExamFile(d.dir.file("อื่น.ans"), iatest::MakeHeader(10, 4),
                         {"1", "1", "2", "1", "1", "1", "1", "1", "4", "1"},
                         {iatest::Sheet("1", "1111111111")});
    const iatest::CliRun key =
        Cli("pool " + Quote(d.out) + " " + Quote(d.a) + " " + Quote(d.dir.file("อื่น.ans")));
    EXPECT_EQ(key.code, 1);
    EXPECT_NE(key.err.find("อื่น.ans"), std::string::npos) << key.err;
    EXPECT_NE(key.err.find("ข้อ 3, 9"), std::string::npos) << key.err;
    EXPECT_NE(key.err.find("--key-from"), std::string::npos) << key.err;
    EXPECT_FALSE(fs::exists(d.out));
    // The key from a file: accepted.
    const iatest::CliRun keyFrom = Cli("pool " + Quote(d.out) + " " + Quote(d.a) + " " +
                                       Quote(d.dir.file("อื่น.ans")) + " --key-from " + Quote(d.a));
    EXPECT_EQ(keyFrom.code, 0) << keyFrom.err;
    EXPECT_EQ(keyFrom.out, d.out + "\n");
    // Written once: a second run is refused unless --overwrite.
    const iatest::CliRun again = Cli("pool " + Quote(d.out) + " " + Quote(d.a) + " " + Quote(d.b));
    EXPECT_EQ(again.code, 1);
    EXPECT_NE(again.err.find("--overwrite"), std::string::npos);
    for (const std::string& args :
         {"pool " + Quote(d.out) + " " + Quote(d.a),
          "pool " + Quote(d.out) + " " + Quote(d.a) + " " + Quote(d.b) +
              " --group-by file --group-column ห้อง",
          "pool " + Quote(d.out) + " " + Quote(d.a) + " " + Quote(d.b) + " --group-by folder",
          "compare " + Quote(d.out) + " --focal"}) {
        const iatest::CliRun r = Cli(args);
        EXPECT_EQ(r.code, 2) << args;
        EXPECT_NE(r.err.find("วิธีใช้"), std::string::npos) << args;
    }
    // A file of no groups.
    const iatest::CliRun none = Cli("compare " + Quote(d.a));
    EXPECT_EQ(none.code, 1);
    EXPECT_NE(none.err.find("กลุ่ม"), std::string::npos);
}

#ifdef ITEMANALYSIS_WITH_QT
using iatest::ExpectNumber;
using iatest::ParseJson;

TEST(CliPool, CompareJsonCarriesTheGroupsItemsAndDifUnderTheirNames) {
    District d;
    const iatest::CliRun pooled = Cli("pool " + Quote(d.out) + " " + Quote(d.a) + " " + Quote(d.b) +
                                      " " + Quote(d.c) + " --group-by file");
    ASSERT_EQ(pooled.code, 0) << pooled.err;
    EXPECT_NE(pooled.err.find("โรงเรียนก (300)"), std::string::npos) << pooled.err;

    const iatest::CliRun r = Cli("compare " + Quote(d.out) + " --json --purify");
    ASSERT_EQ(r.code, 0) << r.err;
    const QJsonObject j = ParseJson(r.out);
    const ia::ExamAnswers a = ia::LoadExamAnswers(d.out);
    const ia::GroupAnalysis want =
        ia::AnalyseGroups(a.matrix, ia::LoadGroupLabels(d.out), "", "", true);

    const QJsonArray groups = j["groups"].toArray();
    ASSERT_EQ(groups.size(), 3);
    for (int k = 0; k < 3; ++k) {
        const ia::GroupSummary& g = want.comparison.groups[static_cast<size_t>(k)];
        const QJsonObject o = groups[k].toObject();
        EXPECT_EQ(o["name"].toString().toStdString(), g.name);
        EXPECT_EQ(o["n"].toInt(), g.n);
        ExpectNumber(o["mean"], g.mean, "mean");
        ExpectNumber(o["sd"], g.sd, "sd");
        ExpectNumber(o["kr20"], g.kr20, "kr20");
    }
    EXPECT_FALSE(groups[2].toObject()["judged"].toBool()); // 20 sheets

    const QJsonArray items = j["items"].toArray();
    ASSERT_EQ(items.size(), 10);
    const QJsonObject item4 = items[3].toObject();
    EXPECT_EQ(item4["item"].toInt(), 4);
    EXPECT_TRUE(item4["flag"].toBool());
    const QJsonObject inB = item4["by_group"].toObject()["โรงเรียนข"].toObject();
    EXPECT_EQ(inB["n"].toInt(), 250);
    ExpectNumber(inB["p"], want.comparison.items[3].byGroup[1].p, "p");
    ExpectNumber(inB["r_it"], want.comparison.items[3].byGroup[1].rit, "r_it");

    // Default pair: the largest as reference, the next as focal.
    const QJsonArray dif = j["dif"].toArray();
    ASSERT_EQ(dif.size(), 10);
    for (int i = 0; i < 10; ++i) {
        const QJsonObject o = dif[i].toObject();
        const ia::ItemDif& w = want.dif->items[static_cast<size_t>(i)];
        SCOPED_TRACE(i + 1);
        EXPECT_EQ(o["item"].toInt(), i + 1);
        EXPECT_EQ(o["reference"].toString().toStdString(), "โรงเรียนก");
        EXPECT_EQ(o["focal"].toString().toStdString(), "โรงเรียนข");
        ExpectNumber(o["alpha_mh"], w.mh.alpha, "alpha_mh");
        ExpectNumber(o["delta_mh"], w.mh.delta, "delta_mh");
        ExpectNumber(o["chi2_mh"], w.mh.chi2, "chi2_mh");
        ExpectNumber(o["p_value"], w.mh.pValue, "p_value");
        ASSERT_TRUE(w.ets);
        EXPECT_EQ(o["ets_class"].toString().toStdString(), ia::EtsClassName(*w.ets));
        if (*w.ets == ia::EtsClass::A) {
            EXPECT_TRUE(o["favours"].isNull());
        }
    }
    const QJsonObject planted = dif[3].toObject();
    EXPECT_EQ(planted["ets_class"].toString(), "C");
    EXPECT_EQ(planted["favours"].toString().toStdString(), "โรงเรียนก");
    EXPECT_LT(planted["delta_mh"].toDouble(), 0);
    EXPECT_TRUE(j["purified"].toBool());
    EXPECT_EQ(j["purified_items"].toArray().first().toInt(), 4);

    const QJsonArray gmh = j["gmh"].toArray();
    ASSERT_EQ(gmh.size(), 10);
    EXPECT_EQ(gmh[3].toObject()["df"].toInt(), 2);
    EXPECT_LT(gmh[3].toObject()["p_value"].toDouble(), 1e-6);

    // Chosen pair; two groups named: no gmh only when the file has two groups.
    const iatest::CliRun chosen =
        Cli("compare " + Quote(d.out) + " --json --reference โรงเรียนข --focal โรงเรียนก");
    ASSERT_EQ(chosen.code, 0) << chosen.err;
    const QJsonObject c4 = ParseJson(chosen.out)["dif"].toArray()[3].toObject();
    EXPECT_EQ(c4["reference"].toString().toStdString(), "โรงเรียนข");
    EXPECT_GT(c4["delta_mh"].toDouble(), 0);
    EXPECT_EQ(c4["favours"].toString().toStdString(), "โรงเรียนก");
}
#endif

TEST(CliPool, CompareTableAndCsvFiles) {
    District d;
    ASSERT_EQ(Cli("pool " + Quote(d.out) + " " + Quote(d.a) + " " + Quote(d.b)).code, 0);
    const iatest::CliRun table = Cli("compare " + Quote(d.out));
    ASSERT_EQ(table.code, 0) << table.err;
    EXPECT_NE(table.out.find("ระดับ C ทำหน้าที่ต่างกันมาก เอื้อต่อกลุ่ม โรงเรียนก"), std::string::npos)
        << table.out;
    EXPECT_EQ(table.out.find("generalised"), std::string::npos); // two groups only
    const std::string dir = d.dir.file("ผล");
    const iatest::CliRun csv = Cli("compare " + Quote(d.out) + " --csv " + Quote(dir));
    ASSERT_EQ(csv.code, 0) << csv.err;
    for (const char* name : {"groups.csv", "items.csv", "dif.csv"}) {
        const std::string body = iatest::FileBytes(dir + "/" + name);
        EXPECT_EQ(body.rfind("\xEF\xBB\xBF", 0), 0u) << name;
    }
    EXPECT_FALSE(fs::exists(dir + "/gmh.csv"));
    EXPECT_NE(iatest::FileBytes(dir + "/dif.csv").find("\r\n4,โรงเรียนก,โรงเรียนข,"),
              std::string::npos);
}

} // namespace

namespace {

// The graphical report of a pooled file has a page comparing its groups
// after the first; a file of one class has none.
TEST(CliPool, GraphicalReportGainsAGroupPage) {
    District d;
    ASSERT_EQ(Cli("pool " + Quote(d.out) + " " + Quote(d.a) + " " + Quote(d.b)).code, 0);
    const std::string pdf = d.dir.file("กราฟ.pdf"), single = d.dir.file("ห้องเดียว.pdf");
    ASSERT_EQ(Cli("graphs " + Quote(d.out) + " --technique 25 --pdf " + Quote(pdf)).code, 0);
    ASSERT_EQ(Cli("graphs " + Quote(d.a) + " --technique 25 --pdf " + Quote(single)).code, 0);
    const std::vector<std::string> pages = iatest::PdfPageTexts(pdf);
    const std::vector<std::string> one = iatest::PdfPageTexts(single);
    ASSERT_EQ(pages.size(), one.size() + 1);
    EXPECT_NE(pages[1].find("เปรียบเทียบกลุ่ม"), std::string::npos);
    EXPECT_NE(pages[1].find("โรงเรียนข"), std::string::npos);
    EXPECT_NE(pages[1].find("4 (C เอื้อโรงเรียนก)"), std::string::npos) << pages[1];
    for (const std::string& p : one)
        EXPECT_EQ(p.find("เปรียบเทียบกลุ่ม"), std::string::npos);
}

} // namespace
