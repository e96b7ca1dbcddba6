#include "TestSupport.h"

#include "examfile/Engine.h"
#include "examfile/ExamFile.h"

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <unistd.h>

namespace iatest {

TempDir::TempDir() {
    static std::atomic<int> counter{0};
    std::random_device rd;
    path_ = std::filesystem::temp_directory_path() /
            ("ia-test-" + std::to_string(getpid()) + "-" + std::to_string(counter++) + "-" +
             std::to_string(rd()));
    std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
}

ia::TestHeader MakeHeader(int nItem, int nChoice) {
    ia::TestHeader h;
    h.SubCode = "ท31101";
    h.SubName = "ภาษาไทย";
    h.Term = "1";
    h.Yearr = 2546;
    h.TeacherName = "ครูประจำวิชา";
    h.nItem = static_cast<int16_t>(nItem);
    h.nChoice = static_cast<uint8_t>(nChoice);
    return h;
}

void MakeExamFile(const std::string& path, const ia::TestHeader& h,
                  const std::vector<std::string>& key,
                  const std::vector<std::vector<std::string>>& sheets) {
    if (ia::CreateExamFile(path, h) != 0) throw std::runtime_error("CreateExamFile failed");
    ia::Connection db(path);
    ia::Transaction tx(db);
    auto val = [](const std::string& s) { return s == "\x01" ? ia::Value() : ia::Value(s); };
    for (size_t i = 0; i < key.size(); ++i) {
        auto st = db.prepare("UPDATE TKey SET X" + std::to_string(i + 1) + "=?");
        st.bind(1, val(key[i]));
        st.run();
    }
    std::string cols = "Code", marks = "?";
    for (int i = 1; i <= h.nItem; ++i)
        cols += ",X" + std::to_string(i), marks += ",?";
    for (const auto& s : sheets) {
        auto st = db.prepare("INSERT INTO TAData (" + cols + ") VALUES (" + marks + ")");
        for (size_t i = 0; i < s.size() && i <= static_cast<size_t>(h.nItem); ++i)
            st.bind(static_cast<int>(i + 1), val(s[i]));
        st.run();
    }
    tx.commit();
}

std::string FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::string SourceDir() {
    const char* s = std::getenv("ITEMANALYSIS_SOURCE_DIR");
    return s ? s : ".";
}

std::string BinDir() {
    const char* s = std::getenv("ITEMANALYSIS_BIN_DIR");
    return s ? s : ".";
}

} // namespace iatest
