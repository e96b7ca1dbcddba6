// itemanalysis-cli: the command-line companion of the window, for batch work
// and for tests. Every message is Thai; exit code 0 on success.

#include "examfile/ExamFile.h"
#include "examfile/Val.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <map>
#include <string>
#include <vector>

namespace {

int Usage() {
    std::cerr << "วิธีใช้:\n"
                 "  itemanalysis-cli create FILE --items N --choices C [--subject-code T] "
                 "[--subject T] [--term T] [--year N] [--teacher T] [--overwrite]\n"
                 "  itemanalysis-cli check FILE\n";
    return 2;
}

int Fail(const std::string& msg) {
    std::cerr << msg << "\n";
    return 1;
}

struct Args {
    std::vector<std::string> positional;
    std::map<std::string, std::string> options;
    std::vector<std::string> flags;
    bool has(const std::string& f) const {
        for (const auto& x : flags)
            if (x == f) return true;
        return false;
    }
};

bool Parse(int argc, char** argv, int first, const std::vector<std::string>& flagNames, Args& a,
           std::string& error) {
    for (int i = first; i < argc; ++i) {
        std::string s = argv[i];
        if (s.rfind("--", 0) == 0) {
            bool isFlag = false;
            for (const auto& f : flagNames)
                isFlag = isFlag || f == s;
            if (isFlag) {
                a.flags.push_back(s);
            } else if (i + 1 < argc) {
                a.options[s] = argv[++i];
            } else {
                error = "ตัวเลือก " + s + " ต้องมีค่า";
                return false;
            }
        } else {
            a.positional.push_back(s);
        }
    }
    return true;
}

int Create(int argc, char** argv) {
    Args a;
    std::string err;
    if (!Parse(argc, argv, 2, {"--overwrite"}, a, err)) return Fail(err);
    if (a.positional.size() != 1) return Usage();
    static const char* known[] = {"--items", "--choices", "--subject-code", "--subject",
                                  "--term",  "--year",    "--teacher"};
    for (const auto& [k, v] : a.options) {
        bool ok = false;
        for (const char* n : known)
            ok = ok || k == n;
        if (!ok) return Fail("ไม่รู้จักตัวเลือก " + k);
    }
    const std::string& file = a.positional[0];
    if (!a.options.count("--items") || !a.options.count("--choices"))
        return Fail("กรุณาใส่จำนวนข้อสอบ และ จำนวนตัวเลือก");
    const std::string& items = a.options["--items"];
    const std::string& choices = a.options["--choices"];
    if (!ia::IsNumeric(items) || !ia::IsNumeric(choices))
        return Fail("กรุณาใส่จำนวนข้อสอบ และ จำนวนตัวเลือก เป็นตัวเลข");
    long long nItem = ia::RoundHalfEven(ia::Val(items));
    long long nChoice = ia::RoundHalfEven(ia::Val(choices));
    if (nItem < 1 || nItem > 251) return Fail("จำนวนข้อสอบต้องอยู่ระหว่าง 1 ถึง 251 ข้อ");
    if (nChoice < 2 || nChoice > 5) return Fail("จำนวนตัวเลือกต้องอยู่ระหว่าง 2 ถึง 5 ตัวเลือก");
    ia::TestHeader h;
    h.nItem = static_cast<int16_t>(nItem);
    h.nChoice = static_cast<uint8_t>(nChoice);
    h.SubCode = a.options["--subject-code"];
    h.SubName = a.options["--subject"];
    h.Term = a.options["--term"];
    h.TeacherName = a.options["--teacher"];
    if (a.options.count("--year")) {
        const std::string& y = a.options["--year"];
        if (!ia::IsNumeric(y)) return Fail("ปีการศึกษาไม่ถูกต้อง");
        double v = ia::Val(y);
        if (v < -2147483648.0 || v > 2147483647.0) return Fail("ปีการศึกษาไม่ถูกต้อง");
        h.Yearr = static_cast<int32_t>(ia::RoundHalfEven(v));
    }
    std::error_code ec;
    if (std::filesystem::exists(std::filesystem::symlink_status(file, ec))) {
        if (!a.has("--overwrite"))
            return Fail("ไฟล์ " + file + "  มีอยู่แล้ว (ใช้ --overwrite เพื่อเขียนทับ)");
        if (!std::filesystem::remove(file, ec) || ec) return Fail("ลบไฟล์เดิมไม่ได้ : " + file);
    }
    if (ia::CreateExamFile(file, h) != 0) return Fail("สร้างไฟล์ไม่ได้ : " + file);
    std::cout << file << "\n";
    return 0;
}

int Check(int argc, char** argv) {
    if (argc != 3) return Usage();
    std::cout << ia::IsExamFile(argv[2]) << "\n";
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage();
    std::string cmd = argv[1];
    if (cmd == "create") return Create(argc, argv);
    if (cmd == "check") return Check(argc, argv);
    return Usage();
}
