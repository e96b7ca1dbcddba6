// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestSupport.h"
#include "examfile/Engine.h"
#include "examfile/ExamFile.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace ia;

namespace {

std::vector<std::string> Columns(const std::string& path, const std::string& table) {
    Connection db(path, Connection::Mode::ReadOnly);
    std::vector<std::string> names;
    for (const auto& f : db.tableFields(table))
        names.push_back(f.name);
    return names;
}

std::vector<std::string> Expected(const std::string& first, int n, const std::string& total) {
    std::vector<std::string> v{first};
    for (int i = 1; i <= n; ++i)
        v.push_back("X" + std::to_string(i));
    v.push_back(total);
    return v;
}

} // namespace

TEST(CreateExamFile, AnswerFieldsForEveryItemCount) {
    for (int n : {0, 1, 10, 251}) {
        iatest::TempDir dir;
        std::string path = dir.file("t.ans");
        ASSERT_EQ(CreateExamFile(path, iatest::MakeHeader(n, 4)), 0) << n;
        EXPECT_EQ(Columns(path, "TAData"), Expected("Code", n, "Score")) << n;
        EXPECT_EQ(Columns(path, "TKey"), Expected("FKey", n, "Tot")) << n;
    }
}

TEST(CreateExamFile, FixedTablesInOrder) {
    iatest::TempDir dir;
    std::string path = dir.file("t.ans");
    ASSERT_EQ(CreateExamFile(path, iatest::MakeHeader(2, 4)), 0);
    Connection db(path, Connection::Mode::ReadOnly);
    EXPECT_EQ(db.tableNames(),
              (std::vector<std::string>{"TAData", "TKey", "TVTQ", "Tinit", "TOut", "TStat"}));
    EXPECT_EQ(Columns(path, "Tinit"),
              (std::vector<std::string>{"SubCode", "SubName", "Term", "Yearr", "TeacherName",
                                        "nItem", "nChoice", "nCase"}));
    EXPECT_EQ(Columns(path, "TOut"),
              (std::vector<std::string>{"ItemNo", "ChoiceNo", "IsAns", "H", "L", "PH", "PL", "P",
                                        "r", "Delta", "Zr", "Explain"}));
    EXPECT_EQ(Columns(path, "TStat"),
              (std::vector<std::string>{"nCase", "MaxScore", "MinScore", "Xbar", "SD", "KR20",
                                        "SEmea", "Pav", "Rav", "Dav", "Zrav", "nItem"}));
}

TEST(CreateExamFile, FirstRows) {
    iatest::TempDir dir;
    std::string path = dir.file("t.ans");
    TestHeader h = iatest::MakeHeader(3, 5);
    h.SubCode = "";
    h.TeacherName = "";
    ASSERT_EQ(CreateExamFile(path, h), 0);
    Connection db(path, Connection::Mode::ReadOnly);
    auto one = [&](const std::string& sql) {
        auto st = db.prepare(sql);
        EXPECT_TRUE(st.step()) << sql;
        std::vector<Value> row;
        for (int i = 0; i < st.columnCount(); ++i)
            row.push_back(st.column(i));
        EXPECT_FALSE(st.step()) << sql << " has more than one row";
        return row;
    };
    EXPECT_EQ(one("SELECT * FROM TVTQ")[0].text(), "vtq108");
    auto key = one("SELECT * FROM TKey");
    EXPECT_EQ(key[0].text(), "KEY");
    for (size_t i = 1; i < key.size(); ++i)
        EXPECT_TRUE(key[i].isNull());
    auto init = one("SELECT * FROM Tinit");
    EXPECT_TRUE(init[0].isText());
    EXPECT_EQ(init[0].text(), ""); // blank header field is the empty text, not NULL
    EXPECT_EQ(init[1].text(), "ภาษาไทย");
    EXPECT_EQ(init[3].integer(), 2546);
    EXPECT_TRUE(init[4].isText());
    EXPECT_EQ(init[5].integer(), 3);
    EXPECT_EQ(init[6].integer(), 5);
    EXPECT_TRUE(init[7].isNull());
    for (const auto& v : one("SELECT * FROM TStat"))
        EXPECT_TRUE(v.isNull());
    auto count = db.prepare("SELECT count(*) FROM TAData");
    count.step();
    EXPECT_EQ(count.columnInt(0), 0);
}

TEST(CreateExamFile, RefusesTooManyItemsAndExistingFiles) {
    iatest::TempDir dir;
    EXPECT_EQ(CreateExamFile(dir.file("big.ans"), iatest::MakeHeader(252, 4)), 1);
    EXPECT_FALSE(std::filesystem::exists(dir.file("big.ans")));
    std::string existing = dir.file("x.ans");
    std::ofstream(existing) << "keep me";
    EXPECT_EQ(CreateExamFile(existing, iatest::MakeHeader(5, 4)), 1);
    std::ifstream in(existing);
    std::string content((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(content, "keep me");
}

TEST(CreateExamFile, FailureLeavesNoHalfMadeFile) {
    iatest::TempDir dir;
    // A header value the schema refuses (a term longer than 10 characters)
    // fails after the file was begun.
    TestHeader h = iatest::MakeHeader(5, 4);
    h.Term = std::string(11, 'x');
    std::string path = dir.file("bad.ans");
    EXPECT_EQ(CreateExamFile(path, h), 1);
    EXPECT_FALSE(std::filesystem::exists(path));
    h.Term = "1";
    EXPECT_EQ(CreateExamFile(path, h), 0);
}

TEST(IsExamFile, RecognisesOnlyTheSignatureTable) {
    iatest::TempDir dir;
    std::string good = dir.file("good.ans");
    ASSERT_EQ(CreateExamFile(good, iatest::MakeHeader(2, 4)), 0);
    EXPECT_EQ(IsExamFile(good), 1);

    std::string lower = dir.file("lower.ans");
    {
        Connection db(lower, Connection::Mode::Create);
        db.exec("CREATE TABLE tvtq (VTQ TEXT)");
    }
    std::string text = dir.file("text.ans");
    std::ofstream(text) << "this is a text file\r\n";
    std::string random = dir.file("random.ans");
    {
        std::ofstream out(random, std::ios::binary);
        for (int i = 0; i < 4096; ++i)
            out.put(static_cast<char>((i * 7919) % 251));
    }
    std::string empty = dir.file("empty.ans");
    std::ofstream(empty).close();
    for (const auto& p : {lower, text, random, empty, dir.file("missing.ans"), dir.path().string()})
        EXPECT_EQ(IsExamFile(p), 0) << p;
    EXPECT_FALSE(std::filesystem::exists(dir.file("missing.ans")));
    EXPECT_EQ(std::filesystem::file_size(empty), 0u);
}

TEST(IsExamFile, LockedFileIsNotRecognisedAndNotChanged) {
    iatest::TempDir dir;
    std::string path = dir.file("locked.ans");
    ASSERT_EQ(CreateExamFile(path, iatest::MakeHeader(2, 4)), 0);
    // Taken before the lock: closing a handle on the file in this process
    // would drop the lock.
    const std::string before = iatest::FileBytes(path);
    const int busyWait = Connection::BusyWaitMs();
    Connection::SetBusyWaitMs(20);
    {
        Connection holder(path);
        holder.exec("PRAGMA locking_mode=EXCLUSIVE");
        holder.exec("BEGIN EXCLUSIVE");
        holder.exec("INSERT INTO TAData (Code) VALUES ('1')");
        EXPECT_EQ(IsExamFile(path), 0);
        EXPECT_EQ(DiagnoseExamFile(path), ExamFileProblem::InUse);
        EXPECT_FALSE(std::filesystem::exists(path + "-journal") &&
                     std::filesystem::file_size(path + "-journal") == 0);
        holder.exec("ROLLBACK");
    }
    Connection::SetBusyWaitMs(busyWait);
    EXPECT_TRUE(iatest::FileBytes(path) == before);
    EXPECT_FALSE(std::filesystem::exists(path + "-journal"));
    EXPECT_EQ(IsExamFile(path), 1);
}

TEST(DiagnoseExamFile, EachReasonAFileCannotBeUsedIsToldApart) {
    iatest::TempDir dir;
    auto exam = [&](const std::string& name) {
        std::string p = dir.file(name);
        iatest::MakeExamFile(p, iatest::MakeHeader(2, 2), {"1", "2"}, {{"1", "1", "2"}});
        return p;
    };
    const std::string cut = exam("cut.ans");
    std::filesystem::resize_file(cut, std::filesystem::file_size(cut) - 1024);
    const std::string stub = exam("stub.ans");
    std::filesystem::resize_file(stub, 50);
    const std::string text = dir.file("text.ans");
    std::ofstream(text) << "hello";
    const std::string empty = dir.file("empty.ans");
    std::ofstream(empty).close();
    std::filesystem::create_directory(dir.file("folder.ans"));
    auto crafted = [&](const std::string& name, const std::string& sql) {
        std::string p = exam(name);
        Connection(p).exec(sql);
        return p;
    };
    struct Case {
        std::string path;
        ExamFileProblem problem;
        std::string message;
    } cases[] = {
        {exam("good.ans"), ExamFileProblem::None, ""},
        {dir.file("missing.ans"), ExamFileProblem::NotFound, "ไม่พบไฟล์ "},
        {dir.file("none/x.ans"), ExamFileProblem::NotFound, "ไม่พบไฟล์ "},
        {"", ExamFileProblem::NotFound, "ไม่พบไฟล์ "},
        {dir.file(std::string(260, 'n') + ".ans"), ExamFileProblem::NameTooLong,
         "  ชื่อไฟล์ยาวเกินกว่าที่ระบบไฟล์รองรับ"},
        {cut, ExamFileProblem::Damaged, " เสียหาย เปิดไม่ได้"},
        {stub, ExamFileProblem::Damaged, " เสียหาย เปิดไม่ได้"},
        {text, ExamFileProblem::NotExamFile, "  ไม่ใช่ไฟล์ข้อมูล กรุณาเลือกไฟล์ใหม่"},
        {empty, ExamFileProblem::NotExamFile, "  ไม่ใช่ไฟล์ข้อมูล กรุณาเลือกไฟล์ใหม่"},
        {dir.file("folder.ans"), ExamFileProblem::NotExamFile, "  ไม่ใช่ไฟล์ข้อมูล กรุณาเลือกไฟล์ใหม่"},
        {crafted("trigger.ans",
                 "CREATE TRIGGER t AFTER INSERT ON TOut BEGIN DELETE FROM TAData; END"),
         ExamFileProblem::BadStructure, "  โครงสร้างไฟล์ไม่ถูกต้อง"},
        {crafted("view.ans", "CREATE VIEW v AS SELECT 1"), ExamFileProblem::BadStructure,
         "  โครงสร้างไฟล์ไม่ถูกต้อง"},
        {crafted("tableview.ans", "DROP TABLE TStat; CREATE VIEW TStat AS SELECT NULL AS nCase, "
                                  "NULL AS MaxScore, NULL AS MinScore, NULL AS Xbar, NULL AS SD, "
                                  "NULL AS KR20, NULL AS SEmea, NULL AS Pav, NULL AS Rav, NULL AS "
                                  "Dav, NULL AS Zrav, NULL AS nItem"),
         ExamFileProblem::BadStructure, "  โครงสร้างไฟล์ไม่ถูกต้อง"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DiagnoseExamFile(c.path), c.problem) << c.path;
        const std::string refusal = ExamFileRefusal(c.path);
        EXPECT_EQ(refusal.empty(), c.message.empty()) << c.path;
        EXPECT_NE(refusal.find(c.message), std::string::npos) << c.path << ": " << refusal;
        if (!c.message.empty()) {
            EXPECT_NE(refusal.find(c.path), std::string::npos) << refusal;
        }
    }
}

TEST(ExamStructure, ACraftedTriggerNeverRunsBecauseTheFileIsRefused) {
    iatest::TempDir dir;
    const std::string p = dir.file("t.ans");
    iatest::MakeExamFile(p, iatest::MakeHeader(2, 2), {"1", "2"}, {{"1", "1", "2"}});
    Connection(p).exec("CREATE TRIGGER wipe AFTER INSERT ON TOut BEGIN DELETE FROM TAData; END");
    EXPECT_EQ(IsExamFile(p), 1);
    EXPECT_FALSE(ExamStructureOk(p));
}

TEST(Connection, ExamFilesAreOpenedAsDataNeverAsCode) {
    iatest::TempDir dir;
    const std::string p = dir.file("t.ans");
    ASSERT_EQ(CreateExamFile(p, iatest::MakeHeader(2, 2)), 0);
    Connection db(p);
    auto value = [&](const std::string& sql) {
        auto st = db.prepare(sql);
        return st.step() ? st.column(0).integer() : -1;
    };
    EXPECT_EQ(value("PRAGMA trusted_schema"), 0);
    // The defensive setting keeps even a program's own statements from
    // rewriting the schema behind the engine's back.
    db.exec("PRAGMA writable_schema = ON");
    EXPECT_THROW(db.exec("UPDATE sqlite_master SET sql = sql WHERE name = 'TAData'"), DbError);
    EXPECT_THROW(db.exec("SELECT load_extension('x')"), DbError);
}

TEST(ExamStructure, DamagedButSignedFilesAreRecognisedAndRefused) {
    auto dir = std::filesystem::path(iatest::SourceDir()) / "tests/fuzz/corpus/examfile";
    struct Case {
        const char* file;
        bool ok;
    } cases[] = {{"good.ans", true},           {"null_nitem.ans", false},
                 {"more_items.ans", false},    {"no_key_row.ans", false},
                 {"no_score.ans", false},      {"no_stat_row.ans", false},
                 {"wide.ans", false},          {"trigger_wipes_sheets.ans", false},
                 {"tout_is_a_view.ans", false}};
    for (const auto& c : cases) {
        std::string p = (dir / c.file).string();
        EXPECT_EQ(IsExamFile(p), 1) << c.file;
        EXPECT_EQ(ExamStructureOk(p), c.ok) << c.file;
    }
    EXPECT_EQ(BadStructureMessage("/x/y.ans"), "/x/y.ans  โครงสร้างไฟล์ไม่ถูกต้อง");
}

namespace {

// An exam file of 400 sheets whose writer was killed in the middle of a
// transaction: the changes (`sql`) spilled into the file before the commit,
// and the journal that undoes them is left beside it.
void LeaveHotJournal(const std::string& path, const std::string& sql) {
    std::vector<std::vector<std::string>> sheets;
    for (int i = 0; i < 400; ++i)
        sheets.push_back({std::to_string(i), "1", "2"});
    iatest::MakeExamFile(path, iatest::MakeHeader(2, 4), {"1", "2"}, sheets);
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        Connection db(path);
        db.exec("PRAGMA cache_size = 1");
        db.exec("BEGIN");
        db.exec(sql);
        kill(getpid(), SIGKILL);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(std::filesystem::exists(path + "-journal"));
}

} // namespace

TEST(IsExamFile, AFileLeftHalfWrittenByAKilledProgramIsStillRecognised) {
    iatest::TempDir dir;
    std::string path = dir.file("crash.ans");
    LeaveHotJournal(path, "UPDATE TAData SET Code = Code || 'xxxxxxxxxxxxxxx'");
    EXPECT_EQ(IsExamFile(path), 1);
    EXPECT_TRUE(ExamStructureOk(path));
    Connection db(path, Connection::Mode::ReadOnly);
    auto st = db.prepare("SELECT count(*) FROM TAData WHERE Code LIKE '%x%'");
    ASSERT_TRUE(st.step());
    EXPECT_EQ(st.columnInt(0), 0); // the unfinished change was rolled back
}

TEST(CreateExamFile, AFullDiskLeavesNoFileBehind) {
    iatest::DiskFull::Install();
    iatest::TempDir dir;
    const std::string path = dir.file("full.ans");
    {
        iatest::DiskFull full;
        EXPECT_EQ(ia::CreateExamFile(path, iatest::MakeHeader(10, 4)), 1);
    }
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_FALSE(std::filesystem::exists(path + "-journal"));
    // With room again the same name is created whole.
    EXPECT_EQ(ia::CreateExamFile(path, iatest::MakeHeader(10, 4)), 0);
    EXPECT_EQ(ia::IsExamFile(path), 1);
    EXPECT_TRUE(ia::ExamStructureOk(path));
}

namespace {

long long SheetCount(const std::string& path) {
    Connection db(path, Connection::Mode::ReadOnly);
    auto st = db.prepare("SELECT count(*) FROM TAData");
    return st.step() ? st.columnInt(0) : -1;
}

} // namespace

TEST(BackUpExamFile, KeepsTheOldFileReplacingAnOlderBackup) {
    iatest::TempDir dir;
    const std::string path = dir.file("ม1.ans");
    iatest::MakeExamFile(path, iatest::MakeHeader(2, 4), {"1", "2"}, {{"1", "1", "2"}});
    std::ofstream(path + ".bak") << "older backup";
    // An older backup's journal must not be played into the new backup.
    std::ofstream(path + ".bak-journal") << "stale journal";

    const ExamBackup b = BackUpExamFile(path);
    ASSERT_TRUE(b.kept) << b.refusal;
    EXPECT_EQ(b.backupPath, dir.file("ม1.ans.bak"));
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_FALSE(std::filesystem::exists(path + ".bak-journal"));
    EXPECT_EQ(IsExamFile(b.backupPath), 1);
    EXPECT_EQ(SheetCount(b.backupPath), 1);
    EXPECT_EQ(BackupNotice(b.backupPath), "เก็บไฟล์เดิมไว้ที่ " + dir.file("ม1.ans.bak"));
}

TEST(BackUpExamFile, AJournalLeftBehindGoesIntoTheBackupNeverIntoTheNewFile) {
    iatest::TempDir dir;
    const std::string path = dir.file("crash.ans");
    LeaveHotJournal(path, "UPDATE TAData SET Code = Code || 'xxxxxxxxxxxxxxx'; DELETE FROM TKey");

    const ExamBackup b = BackUpExamFile(path);
    ASSERT_TRUE(b.kept) << b.refusal;
    EXPECT_FALSE(std::filesystem::exists(path + "-journal"));
    EXPECT_FALSE(std::filesystem::exists(b.backupPath + "-journal"));
    {
        Connection db(b.backupPath, Connection::Mode::ReadOnly);
        auto st = db.prepare("SELECT count(*) FROM TAData WHERE Code LIKE '%x%'");
        ASSERT_TRUE(st.step());
        EXPECT_EQ(st.columnInt(0), 0); // the unfinished change was rolled back
    }
    EXPECT_EQ(SheetCount(b.backupPath), 400);

    ASSERT_EQ(CreateExamFile(path, iatest::MakeHeader(3, 4)), 0);
    EXPECT_TRUE(ExamStructureOk(path));
    EXPECT_EQ(SheetCount(path), 0);
}

TEST(BackUpExamFile, AFileThatCannotBeRenamedStaysAsItWas) {
    iatest::TempDir dir;
    const std::string path = dir.file("keep.ans");
    iatest::MakeExamFile(path, iatest::MakeHeader(2, 4), {"1", "2"}, {{"1", "1", "2"}});
    // A folder in the backup's place cannot be replaced by a file.
    std::filesystem::create_directory(path + ".bak");
    std::ofstream(path + ".bak/inside") << "x";
    std::ofstream(path + "-journal") << "";

    const ExamBackup b = BackUpExamFile(path);
    EXPECT_FALSE(b.kept);
    EXPECT_EQ(b.refusal, "เก็บไฟล์เดิมไว้ที่ " + path + ".bak  ไม่ได้ จึงไม่เขียนทับไฟล์ " + path);
    EXPECT_EQ(SheetCount(path), 1);
    EXPECT_TRUE(std::filesystem::exists(path + "-journal"));
    EXPECT_EQ(iatest::FileBytes(path + ".bak/inside"), "x");
}

// Header fields put in by another program past what their columns hold are
// refused at opening, the field named, before any job spends minutes on them.
TEST(ExamFileRefusal, HeaderFieldsPastTheirLimitsAreRefusedByName) {
    struct Case {
        const char* what;
        std::string sql;
        std::string refusal; // after the path; empty: opens
    } cases[] = {
        {"a subject of ten megabytes", "UPDATE Tinit SET SubName = zeroblob(10000000) || ''",
         "  ช่องชื่อวิชา (SubName) ยาวเกิน 100 ตัวอักษรที่ไฟล์กำหนด เปิดไม่ได้"},
        {"a subject one character too long", "UPDATE Tinit SET SubName = printf('%.101c', 'ก')",
         "  ช่องชื่อวิชา (SubName) ยาวเกิน 100 ตัวอักษรที่ไฟล์กำหนด เปิดไม่ได้"},
        {"a subject of 100 Thai characters", "UPDATE Tinit SET SubName = printf('%.100c', 'ก')",
         ""},
        {"a subject code too long", "UPDATE Tinit SET SubCode = printf('%.21c', 'x')",
         "  ช่องรหัสวิชา (SubCode) ยาวเกิน 20 ตัวอักษรที่ไฟล์กำหนด เปิดไม่ได้"},
        {"a term too long", "UPDATE Tinit SET Term = printf('%.11c', '1')",
         "  ช่องภาคเรียน (Term) ยาวเกิน 10 ตัวอักษรที่ไฟล์กำหนด เปิดไม่ได้"},
        {"a teacher too long", "UPDATE Tinit SET TeacherName = printf('%.51c', 'x')",
         "  ช่องอาจารย์ผู้สอน (TeacherName) ยาวเกิน 50 ตัวอักษรที่ไฟล์กำหนด เปิดไม่ได้"},
        {"a year past 32 bits", "UPDATE Tinit SET Yearr = 99999999999",
         "  ช่องปีการศึกษา (Yearr) เกินขอบเขตที่ไฟล์กำหนด เปิดไม่ได้"},
        {"a number of choices past a byte", "UPDATE Tinit SET nChoice = 300",
         "  ช่องจำนวนตัวเลือก (nChoice) เกินขอบเขตที่ไฟล์กำหนด เปิดไม่ได้"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        iatest::TempDir dir;
        const std::string path = dir.file("h.ans");
        iatest::MakeExamFile(path, iatest::MakeHeader(2, 4), {"1", "2"}, {{"01", "1", "2"}});
        {
            // As sqlite3 can, past the checks the program's own files carry
            // (files made by other programs have none).
            ia::Connection db(path);
            db.exec("PRAGMA ignore_check_constraints = ON");
            db.exec(c.sql);
        }
        EXPECT_EQ(ia::ExamFileRefusal(path), c.refusal.empty() ? "" : path + c.refusal);
    }
}
