// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestSupport.h"

#include "examfile/Engine.h"
#include "examfile/ExamFile.h"

#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <sys/mount.h>
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

TinyDisk::TinyDisk(int kilobytes) : size_("size=" + std::to_string(kilobytes) + "k") {
    mounted_ = ::mount("tmpfs", dir_.path().c_str(), "tmpfs", 0, size_.c_str()) == 0;
}

TinyDisk::~TinyDisk() {
    if (mounted_) ::umount2(dir_.path().c_str(), MNT_DETACH);
}

bool TinyDisk::makeReadOnly() {
    return mounted_ && ::mount("tmpfs", dir_.path().c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY,
                               size_.c_str()) == 0;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
}

std::vector<std::string> Sheet(const std::string& code, const std::string& answers) {
    std::vector<std::string> s{code};
    for (char c : answers)
        s.push_back(c == '.' ? "" : std::string(1, c));
    return s;
}

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

int SheetCount(const std::string& exam) {
    ia::Connection db(exam, ia::Connection::Mode::ReadOnly);
    ia::Statement st = db.prepare("SELECT count(*) FROM TAData");
    st.step();
    return static_cast<int>(st.columnInt(0));
}

std::string TableDump(const std::string& path) {
    ia::Connection db(path, ia::Connection::Mode::ReadOnly);
    std::vector<std::string> tables;
    {
        auto st = db.prepare("SELECT name FROM sqlite_master WHERE type='table' ORDER BY name");
        while (st.step())
            tables.push_back(st.column(0).text());
    }
    std::string out;
    for (const std::string& t : tables) {
        out += "[" + t + "]\n";
        std::string sql = "SELECT quote(rowid)";
        for (const auto& c : db.tableFields(t))
            sql += ", quote(\"" + c.name + "\")";
        auto st = db.prepare(sql + " FROM \"" + t + "\" ORDER BY rowid");
        while (st.step()) {
            for (int i = 0; i < st.columnCount(); ++i)
                out += st.column(i).text() + "|";
            out += "\n";
        }
    }
    return out;
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

std::vector<std::string> FolderEntries(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> PdfPageTexts(const std::string& path) {
    std::string quoted = "'";
    for (char c : path)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    quoted += "'";
    const std::string cmd = "pdftotext -layout -enc UTF-8 " + quoted + " - 2>/dev/null";
    std::string all;
    if (FILE* p = popen(cmd.c_str(), "r")) {
        char buf[4096];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, p)) > 0)
            all.append(buf, n);
        pclose(p);
    }
    std::vector<std::string> pages;
    size_t start = 0;
    for (size_t ff = all.find('\f'); ff != std::string::npos; ff = all.find('\f', start)) {
        pages.push_back(all.substr(start, ff - start));
        start = ff + 1;
    }
    return pages;
}

std::vector<std::string> SqueezedLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    auto flush = [&] {
        if (!line.empty()) lines.push_back(line);
        line.clear();
    };
    for (char c : text) {
        if (c == '\n')
            flush();
        else if (c != ' ' && c != '\t' && c != '\r' && c != '\f')
            line += c;
    }
    flush();
    return lines;
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

// A file layer that passes everything to the engine's own one, except that
// writes fail while a DiskFull object lives.
namespace {

std::atomic<int> g_diskFull{0};
sqlite3_vfs* g_real = nullptr;
sqlite3_vfs g_vfs;
sqlite3_io_methods g_methods;
const sqlite3_io_methods* g_realMethods = nullptr;

struct WrappedFile {
    sqlite3_file base;
    sqlite3_file* real; // follows this struct in the same allocation
};

sqlite3_file* Real(sqlite3_file* f) {
    return reinterpret_cast<WrappedFile*>(f)->real;
}

int Close(sqlite3_file* f) {
    return Real(f)->pMethods->xClose(Real(f));
}
int Read(sqlite3_file* f, void* buf, int n, sqlite3_int64 off) {
    return Real(f)->pMethods->xRead(Real(f), buf, n, off);
}
int Write(sqlite3_file* f, const void* buf, int n, sqlite3_int64 off) {
    if (g_diskFull.load() > 0) return SQLITE_FULL;
    return Real(f)->pMethods->xWrite(Real(f), buf, n, off);
}
int Truncate(sqlite3_file* f, sqlite3_int64 size) {
    return Real(f)->pMethods->xTruncate(Real(f), size);
}
int Sync(sqlite3_file* f, int flags) {
    return Real(f)->pMethods->xSync(Real(f), flags);
}
int FileSize(sqlite3_file* f, sqlite3_int64* size) {
    return Real(f)->pMethods->xFileSize(Real(f), size);
}
int Lock(sqlite3_file* f, int level) {
    return Real(f)->pMethods->xLock(Real(f), level);
}
int Unlock(sqlite3_file* f, int level) {
    return Real(f)->pMethods->xUnlock(Real(f), level);
}
int CheckReservedLock(sqlite3_file* f, int* out) {
    return Real(f)->pMethods->xCheckReservedLock(Real(f), out);
}
int FileControl(sqlite3_file* f, int op, void* arg) {
    return Real(f)->pMethods->xFileControl(Real(f), op, arg);
}
int SectorSize(sqlite3_file* f) {
    return Real(f)->pMethods->xSectorSize(Real(f));
}
int DeviceCharacteristics(sqlite3_file* f) {
    return Real(f)->pMethods->xDeviceCharacteristics(Real(f));
}

int Open(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* f, int flags, int* outFlags) {
    auto* w = reinterpret_cast<WrappedFile*>(f);
    w->real = reinterpret_cast<sqlite3_file*>(w + 1);
    int rc = g_real->xOpen(g_real, name, w->real, flags, outFlags);
    if (rc != SQLITE_OK) {
        w->base.pMethods = nullptr;
        return rc;
    }
    if (!g_realMethods) {
        g_realMethods = w->real->pMethods;
        // Version 1 methods are enough: no memory-mapped pages, no shared
        // memory (the exam file never uses the write-ahead log).
        g_methods = sqlite3_io_methods{1,
                                       Close,
                                       Read,
                                       Write,
                                       Truncate,
                                       Sync,
                                       FileSize,
                                       Lock,
                                       Unlock,
                                       CheckReservedLock,
                                       FileControl,
                                       SectorSize,
                                       DeviceCharacteristics,
                                       nullptr,
                                       nullptr,
                                       nullptr,
                                       nullptr,
                                       nullptr,
                                       nullptr};
    }
    w->base.pMethods = &g_methods;
    return SQLITE_OK;
}

int Delete(sqlite3_vfs*, const char* name, int syncDir) {
    return g_real->xDelete(g_real, name, syncDir);
}
int Access(sqlite3_vfs*, const char* name, int flags, int* out) {
    return g_real->xAccess(g_real, name, flags, out);
}
int FullPathname(sqlite3_vfs*, const char* name, int n, char* out) {
    return g_real->xFullPathname(g_real, name, n, out);
}
int Randomness(sqlite3_vfs*, int n, char* out) {
    return g_real->xRandomness(g_real, n, out);
}
int Sleep(sqlite3_vfs*, int us) {
    return g_real->xSleep(g_real, us);
}
int CurrentTime(sqlite3_vfs*, double* out) {
    return g_real->xCurrentTime(g_real, out);
}
int GetLastError(sqlite3_vfs*, int n, char* out) {
    return g_real->xGetLastError ? g_real->xGetLastError(g_real, n, out) : 0;
}
int CurrentTimeInt64(sqlite3_vfs*, sqlite3_int64* out) {
    return g_real->xCurrentTimeInt64(g_real, out);
}

} // namespace

namespace iatest {

void DiskFull::Install() {
    if (g_real) return;
    g_real = sqlite3_vfs_find(nullptr);
    g_vfs = sqlite3_vfs{};
    g_vfs.iVersion = 2;
    g_vfs.szOsFile = static_cast<int>(sizeof(WrappedFile)) + g_real->szOsFile;
    g_vfs.mxPathname = g_real->mxPathname;
    g_vfs.zName = "ia-test-diskfull";
    g_vfs.xOpen = Open;
    g_vfs.xDelete = Delete;
    g_vfs.xAccess = Access;
    g_vfs.xFullPathname = FullPathname;
    g_vfs.xRandomness = Randomness;
    g_vfs.xSleep = Sleep;
    g_vfs.xCurrentTime = CurrentTime;
    g_vfs.xGetLastError = GetLastError;
    g_vfs.xCurrentTimeInt64 = CurrentTimeInt64;
    sqlite3_vfs_register(&g_vfs, 1);
}

DiskFull::DiskFull() {
    Install();
    ++g_diskFull;
}

DiskFull::~DiskFull() {
    --g_diskFull;
}

std::string NarrowColumn(const std::string& n) {
    const std::string q = "\"" + n + "\"";
    return q + " SMALLINT CONSTRAINT ck_" + n + "_int16 CHECK (" + q + " IS NULL OR (typeof(" + q +
           ")='integer' AND " + q + " BETWEEN -32768 AND 32767))";
}

std::string WideColumn(const std::string& n) {
    const std::string q = "\"" + n + "\"";
    return q + " INTEGER CONSTRAINT ck_" + n + "_int32 CHECK (" + q + " IS NULL OR (typeof(" + q +
           ")='integer' AND " + q + " BETWEEN -2147483648 AND 2147483647))";
}

void MakeOldCountFields(const std::string& path) {
    ia::Connection db(path);
    // The program opens every file defensively; an older file's schema can
    // only be written back with that switched off, as its own writer did.
    sqlite3_db_config(db.handle(), SQLITE_DBCONFIG_DEFENSIVE, 0, nullptr);
    db.exec("PRAGMA writable_schema=ON");
    for (const auto& [table, column] :
         {std::pair{"TStat", "nCase"}, {"TOut", "H"}, {"TOut", "L"}}) {
        auto st = db.prepare("UPDATE sqlite_schema SET sql=replace(sql, ?, ?) WHERE name=?");
        st.bind(1, ia::Value(WideColumn(column)))
            .bind(2, ia::Value(NarrowColumn(column)))
            .bind(3, table);
        st.run();
    }
    db.exec("PRAGMA writable_schema=OFF");
}

} // namespace iatest

namespace iatest {

bool CancelAtStep::show() {
    if (stages_.empty() || stages_.back() != what()) stages_.push_back(what());
    reportStages_.push_back(what());
    return ++reports_ != k_;
}

long long CancelAtStep::reportsIn(const std::string& stage) const {
    return std::count(reportStages_.begin(), reportStages_.end(), stage);
}

} // namespace iatest
