// SPDX-License-Identifier: GPL-3.0-or-later
#include "CliSupport.h"
#include "TestSupport.h"
#include "analysis/ExamAnswers.h"
#include "analysis/ItemStatistics.h"

#include <gtest/gtest.h>

// The JSON is read back with Qt's parser, where Qt is built.
#ifdef ITEMANALYSIS_WITH_QT
#include "CliJson.h"

#include <QJsonArray>
#endif

#include <filesystem>
#include <fstream>

namespace {

using iatest::Cli;
using iatest::Quote;

using iatest::Sheet;

// Four items, the 4th unkeyed, the 3rd keyed 3 while the better students
// chose 1; an empty answer and an answer outside the choices.
struct StatsExam {
    iatest::TempDir dir;
    std::string path = dir.file("stats.ans");
    StatsExam() {
        iatest::MakeExamFile(path, iatest::MakeHeader(4, 3), {"1", "2", "3", ""},
                             {Sheet("1", "1231"), Sheet("2", "1211"), Sheet("3", "1311"),
                              Sheet("4", "2.3."), Sheet("5", "x122"), Sheet("6", "1231"),
                              Sheet("7", "2221"), Sheet("8", "3331"), Sheet("9", "3330")});
    }
};

#ifdef ITEMANALYSIS_WITH_QT
using iatest::ExpectNumber;
using iatest::ParseJson;

TEST(CliStats, JsonCarriesEveryStatisticUnderItsName) {
    StatsExam f;
    const std::string before = iatest::FileBytes(f.path);
    const iatest::CliRun r = Cli("stats " + Quote(f.path));
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(iatest::FileBytes(f.path), before) << "stats never writes the exam file";
    EXPECT_EQ(Cli("stats " + Quote(f.path) + " --json").out, r.out) << "--json is meant";

    const ia::ExamAnswers a = ia::LoadExamAnswers(f.path);
    const ia::TestStatistics t = ia::ComputeItemStatistics(a.matrix);
    const QJsonObject o = ParseJson(r.out);
    EXPECT_EQ(o["sheets"].toInt(), 9);
    EXPECT_EQ(o["keyed_items"].toInt(), 3);
    ExpectNumber(o["mean"], t.mean, "mean");
    ExpectNumber(o["sd"], t.sd, "sd");
    ExpectNumber(o["kr20"], t.kr20, "kr20");
    ExpectNumber(o["kr21"], t.kr21, "kr21");
    ExpectNumber(o["sem"], t.sem, "sem");
    ExpectNumber(o["split_half"], t.splitHalf, "split_half");
    const QJsonArray dist = o["distribution"].toArray();
    ASSERT_EQ(dist.size(), 4);
    for (int s = 0; s < 4; ++s) {
        EXPECT_EQ(dist[s]["score"].toInt(), s);
        EXPECT_EQ(dist[s]["count"].toInt(), t.distribution[s].count);
        ExpectNumber(dist[s]["percentile_rank"], t.distribution[s].percentileRank, "rank");
    }
    const QJsonArray items = o["items"].toArray();
    ASSERT_EQ(items.size(), 3) << "the unkeyed item is left out";
    for (int i = 0; i < 3; ++i) {
        const QJsonObject it = items[i].toObject();
        const ia::ItemStatistics& want = t.items[i];
        EXPECT_EQ(it["item"].toInt(), i + 1);
        EXPECT_EQ(it["key"].toString().toStdString(), std::to_string(i + 1));
        ExpectNumber(it["p"], want.p, "p");
        ExpectNumber(it["r_it"], want.rit, "r_it");
        ExpectNumber(it["alpha_if_deleted"], want.alphaIfDeleted, "alpha_if_deleted");
        EXPECT_EQ(it["omitted"].toInt(), want.omitted);
        EXPECT_EQ(it["invalid"].toInt(), want.invalid);
        const QJsonArray choices = it["choices"].toArray();
        ASSERT_EQ(choices.size(), 4);
        for (int c = 0; c < 4; ++c) {
            const QJsonObject ch = choices[c].toObject();
            const ia::ChoiceStatistics& w = want.choices[c];
            EXPECT_EQ(ch["choice"].toString().toStdString(),
                      c < 3 ? std::to_string(c + 1) : "none");
            EXPECT_EQ(ch["count"].toInt(), w.count);
            ExpectNumber(ch["proportion"], w.proportion, "proportion");
            ExpectNumber(ch["mean_score"], w.meanScore, "mean_score");
            ExpectNumber(ch["r_pb"], w.rpb, "r_pb");
            const QJsonArray groups = ch["groups"].toArray();
            ASSERT_EQ(groups.size(), 5);
            for (int g = 0; g < 5; ++g)
                ExpectNumber(groups[g], w.groups[g], "group");
        }
        const QJsonArray flags = it["flags"].toArray();
        ASSERT_EQ(flags.size(), static_cast<int>(want.flags.size()));
        for (int k = 0; k < flags.size(); ++k) {
            EXPECT_EQ(flags[k]["code"].toString().toStdString(), ia::FlagName(want.flags[k].code));
            EXPECT_EQ(flags[k]["text"].toString().toStdString(), want.flags[k].text);
            if (want.flags[k].choice) {
                EXPECT_EQ(flags[k]["choice"].toString().toInt(), want.flags[k].choice);
            } else {
                EXPECT_TRUE(flags[k]["choice"].isNull());
            }
        }
    }
    // Item 1: sheet 5's "x" is invalid only; item 2: one empty answer.
    EXPECT_EQ(items[0]["invalid"].toInt(), 1);
    EXPECT_EQ(items[0]["choices"][3]["count"].toInt(), 0);
    EXPECT_EQ(items[1]["omitted"].toInt(), 1);
    EXPECT_EQ(items[1]["choices"][3]["count"].toInt(), 1);
    EXPECT_EQ(items[2]["flags"][0]["code"].toString(), "possible_miskey");
    EXPECT_EQ(items[2]["flags"][0]["choice"].toString(), "1");
}
#endif

TEST(CliStats, CsvFilesWithByteOrderMark) {
    StatsExam f;
    const std::string before = iatest::FileBytes(f.path);
    const std::string dir = f.dir.file("out/nested");
    const iatest::CliRun r = Cli("stats " + Quote(f.path) + " --csv " + Quote(dir) + " --json");
    ASSERT_EQ(r.code, 0) << r.err;
#ifdef ITEMANALYSIS_WITH_QT
    EXPECT_EQ(ParseJson(r.out)["sheets"].toInt(), 9) << "both at once";
#endif
    EXPECT_EQ(iatest::FileBytes(f.path), before);
    const std::string bom = "\xEF\xBB\xBF";
    struct Want {
        const char* file;
        const char* header;
        int rows;
    };
    const Want wants[] = {
        {"test.csv", "sheets,keyed_items,mean,sd,kr20,kr21,sem,split_half\r\n", 1},
        {"items.csv", "item,key,p,r_it,alpha_if_deleted,omitted,invalid,flags\r\n", 3},
        {"choices.csv",
         "item,choice,count,proportion,mean_score,r_pb,group1,group2,group3,group4,group5\r\n", 12},
        {"distribution.csv", "score,count,percentile_rank\r\n", 4},
    };
    for (const Want& w : wants) {
        const std::string text = iatest::FileBytes(dir + "/" + w.file);
        ASSERT_EQ(text.rfind(bom + w.header, 0), 0u) << w.file << ": " << text;
        int lines = 0;
        for (char c : text)
            lines += c == '\n';
        EXPECT_EQ(lines, w.rows + 1) << w.file;
    }
    const std::string items = iatest::FileBytes(dir + "/items.csv");
    EXPECT_NE(items.find("\r\n3,3,"), std::string::npos) << items;
    EXPECT_NE(items.find(",possible_miskey;negative_discrimination\r\n"), std::string::npos)
        << items;
    const std::string choices = iatest::FileBytes(dir + "/choices.csv");
    // Nobody left item 1 empty: mean score and r_pb are empty cells.
    EXPECT_NE(choices.find("\r\n1,none,0,0,,,"), std::string::npos) << choices;
    // Without --json only the folder is printed.
    const iatest::CliRun csvOnly = Cli("stats " + Quote(f.path) + " --csv " + Quote(dir));
    EXPECT_EQ(csvOnly.code, 0);
    EXPECT_EQ(csvOnly.out, dir + "\n");
}

TEST(CliStats, Refusals) {
    const std::string kStatsUsage = "วิธีใช้:\n  itemanalysis-cli stats FILE [--json] [--csv DIR]\n";
    iatest::TempDir dir;
    const std::string noKey = dir.file("nokey.ans"), oneSheet = dir.file("one.ans"),
                      zeroKey = dir.file("zero.ans"), notExam = dir.file("plain.txt");
    iatest::MakeExamFile(noKey, iatest::MakeHeader(2, 3), {"", "\x01"},
                         {Sheet("1", "12"), Sheet("2", "21")});
    iatest::MakeExamFile(zeroKey, iatest::MakeHeader(2, 3), {"0", ""},
                         {Sheet("1", "12"), Sheet("2", "21")});
    iatest::MakeExamFile(oneSheet, iatest::MakeHeader(2, 3), {"1", "2"}, {Sheet("1", "12")});
    { std::ofstream(notExam) << "hello"; }
    struct Case {
        std::string args;
        int code;
        std::string err;
        std::string file;
    };
    const Case cases[] = {
        {"stats " + Quote(noKey), 1, "ยังไม่มีข้อสอบที่มีเฉลย วิเคราะห์ไม่ได้\n", noKey},
        {"stats " + Quote(zeroKey) + " --json", 1, "ยังไม่มีข้อสอบที่มีเฉลย วิเคราะห์ไม่ได้\n", zeroKey},
        {"stats " + Quote(oneSheet), 1, "จำนวนกระดาษคำตอบน้อยเกินไป วิเคราะห์ไม่ได้\n", oneSheet},
        {"stats " + Quote(oneSheet) + " --csv " + Quote(dir.file("csv")), 1,
         "จำนวนกระดาษคำตอบน้อยเกินไป วิเคราะห์ไม่ได้\n", oneSheet},
        {"stats " + Quote(notExam), 1, "", notExam},
        {"stats " + Quote(noKey) + " --xml", 2, "ไม่รู้จักตัวเลือก --xml\n" + kStatsUsage, noKey},
        {"stats " + Quote(noKey) + " --csv", 2, "ตัวเลือก --csv ต้องมีค่า\n" + kStatsUsage, noKey},
        {"stats", 2, "", ""},
    };
    for (const Case& c : cases) {
        const std::string before = c.file.empty() ? "" : iatest::FileBytes(c.file);
        const iatest::CliRun r = Cli(c.args);
        EXPECT_EQ(r.code, c.code) << c.args;
        EXPECT_TRUE(r.out.empty()) << c.args << ": " << r.out;
        if (!c.err.empty()) {
            EXPECT_EQ(r.err, c.err) << c.args;
        }
        if (c.code == 1) {
            EXPECT_FALSE(r.err.empty()) << c.args;
        }
        if (!c.file.empty()) {
            EXPECT_EQ(iatest::FileBytes(c.file), before) << c.args;
        }
    }
    EXPECT_FALSE(std::filesystem::exists(dir.file("csv"))) << "nothing written on refusal";
}

} // namespace
