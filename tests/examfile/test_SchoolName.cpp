// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestSupport.h"
#include "examfile/Cp874.h"
#include "examfile/ExamFile.h"
#include "examfile/SchoolName.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

void Put(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

TEST(Cp874, ThaiTextRoundTripsAsOneBytePerCharacter) {
    const std::string thai = "โรงเรียนผู้นำ";
    std::string bytes = ia::ToCp874(thai);
    EXPECT_EQ(bytes.size(), 13u);
    EXPECT_EQ(static_cast<unsigned char>(bytes[0]), 0xE2); // โ
    EXPECT_EQ(ia::FromCp874(bytes), thai);
    EXPECT_EQ(ia::ToCp874("A\xF0\x9F\x98\x80"
                          "B"),
              "A?B"); // no code for an emoji
}

TEST(FirstListItem, ListInputRule) {
    struct Case {
        const char *line, *item;
    } cases[] = {
        {"School", "School"},
        {"   School", "School"},
        {"Wat Pho, Bangkok", "Wat Pho"},
        {"\"Wat Pho, Bangkok\"", "Wat Pho, Bangkok"},
        {"  \"quoted\" rest", "quoted"},
        {"\"unterminated", "unterminated"},
        {",after", ""},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ia::FirstListItem(c.line), c.item) << c.line;
}

TEST(SchoolNameFile, WrittenInCp874WithCrLfAndReadBackCutAtAComma) {
    iatest::TempDir dir;
    const std::string path = dir.file("SchoolName.txt");
    ASSERT_EQ(ia::WriteSchoolNameFile(path, "โรงเรียนวัดโพธิ์, กรุงเทพ"), ia::SchoolNameWrite::Written);
    const std::string bytes = iatest::FileBytes(path);
    EXPECT_EQ(bytes, ia::ToCp874("โรงเรียนวัดโพธิ์, กรุงเทพ") + "\r\n");
    EXPECT_EQ(ia::ReadSchoolNameFile(path), "โรงเรียนวัดโพธิ์");

    ASSERT_EQ(ia::WriteSchoolNameFile(path, "สั้น"), ia::SchoolNameWrite::Written);
    EXPECT_EQ(iatest::FileBytes(path), ia::ToCp874("สั้น") + "\r\n"); // replaced, not appended
}

TEST(SchoolNameFile, ReadsOnlyTheFirstLineAlsoWithoutCr) {
    iatest::TempDir dir;
    const std::string path = dir.file("SchoolName.txt");
    Put(path, ia::ToCp874("บรรทัดแรก") + "\nบรรทัดสอง\r\n");
    EXPECT_EQ(ia::ReadSchoolNameFile(path), "บรรทัดแรก");
    Put(path, "");
    EXPECT_EQ(ia::ReadSchoolNameFile(path), "");
    EXPECT_EQ(ia::ReadSchoolNameFile(dir.file("missing.txt")), std::nullopt);
}

TEST(SchoolNameFile, NeverOverwritesAnExamFile) {
    iatest::TempDir dir;
    const std::string path = dir.file("SchoolName.txt");
    ASSERT_EQ(ia::CreateExamFile(path, iatest::MakeHeader(10, 4)), 0);
    const std::string before = iatest::FileBytes(path);
    EXPECT_EQ(ia::ReadSchoolNameFile(path), std::nullopt);
    EXPECT_EQ(ia::WriteSchoolNameFile(path, "โรงเรียน"), ia::SchoolNameWrite::RefusedExamFile);
    EXPECT_EQ(iatest::FileBytes(path), before);
    EXPECT_EQ(ia::IsExamFile(path), 1);
}

TEST(SchoolNameFile, UnwritablePlaceIsReportedNotThrown) {
    iatest::TempDir dir;
    std::filesystem::create_directory(dir.path() / "SchoolName.txt");
    EXPECT_EQ(ia::WriteSchoolNameFile(dir.file("SchoolName.txt"), "x"),
              ia::SchoolNameWrite::Failed);
    EXPECT_EQ(ia::WriteSchoolNameFile(dir.file("no/such/folder/SchoolName.txt"), "x"),
              ia::SchoolNameWrite::Failed);
}

} // namespace
