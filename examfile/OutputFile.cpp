// SPDX-License-Identifier: GPL-3.0-or-later
#include "examfile/OutputFile.h"

#include "examfile/FileErrors.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <map>
#include <mutex>
#include <regex>
#include <utility>

namespace ia {

namespace {

namespace fs = std::filesystem;

// Taken while the program loads: temporaries older than this cannot be
// being written by this run.
const auto kProcessStart = std::chrono::system_clock::now();

std::mutex g_mutex;
OutputStepHook g_hook;
std::map<std::pair<dev_t, ino_t>, int> g_protected;

void RunHook(OutputStep step, const std::string& folder, const std::string& name) {
    OutputStepHook hook;
    {
        std::lock_guard lock(g_mutex);
        hook = g_hook;
    }
    if (hook) hook(step, folder, name);
}

bool IsProtected(dev_t device, ino_t inode) {
    std::lock_guard lock(g_mutex);
    return g_protected.count({device, inode}) > 0;
}

std::string FolderOf(const std::string& target) {
    fs::path folder = fs::path(target).parent_path();
    return folder.empty() ? std::string(".") : folder.string();
}

// The reason for a writer that failed without telling why: a folder whose
// disk has (next to) no room left is the usual cause. A writer's last
// refused block may be larger than what is left, so "next to none" counts.
int GuessWriteErrno(const std::string& folder) {
    constexpr unsigned long long kAlmostFull = 1024 * 1024;
    struct statvfs vfs {};
    if (::statvfs(folder.c_str(), &vfs) == 0 &&
        static_cast<unsigned long long>(vfs.f_bavail) * vfs.f_frsize < kAlmostFull)
        return ENOSPC;
    return 0;
}

bool ProcessIsAlive(long pid) {
    return pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM);
}

std::string RandomPart() {
    unsigned char bytes[12];
    if (::getrandom(bytes, sizeof bytes, 0) != static_cast<ssize_t>(sizeof bytes)) {
        // No entropy to be had: the time and a counter still differ each try,
        // and O_EXCL refuses any name that already exists.
        static std::atomic<unsigned long long> counter{0};
        const auto t = static_cast<unsigned long long>(
            std::chrono::steady_clock::now().time_since_epoch().count());
        const unsigned long long v = t ^ (counter++ * 0x9E3779B97F4A7C15ull);
        for (size_t i = 0; i < sizeof bytes; ++i)
            bytes[i] = static_cast<unsigned char>(v >> ((i % 8) * 8));
    }
    static const char digits[] = "0123456789abcdefghijklmnopqrstuv";
    std::string s;
    for (unsigned char b : bytes)
        s += digits[b & 31], s += digits[(b >> 5) & 7];
    return s;
}

// How the messages that name the files themselves begin.
constexpr std::string_view kRefusedTargetLead = "จะไม่เขียนทับ ";
constexpr std::string_view kChangedTemporaryLead = "ไฟล์ชั่วคราว ";

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

} // namespace

std::string RefusedTargetMessage(const std::string& path, const std::string& why) {
    return std::string(kRefusedTargetLead) + path + " (" + why + ")";
}

bool IsRefusedTargetMessage(std::string_view reason) {
    return reason.rfind(kRefusedTargetLead, 0) == 0;
}

bool IsChangedTemporaryMessage(std::string_view reason) {
    return reason.rfind(kChangedTemporaryLead, 0) == 0;
}

void SetOutputStepHookForTests(OutputStepHook hook) {
    std::lock_guard lock(g_mutex);
    g_hook = std::move(hook);
}

void ProtectFromOutput(dev_t device, ino_t inode) {
    std::lock_guard lock(g_mutex);
    ++g_protected[{device, inode}];
}

void UnprotectFromOutput(dev_t device, ino_t inode) {
    std::lock_guard lock(g_mutex);
    auto it = g_protected.find({device, inode});
    if (it != g_protected.end() && --it->second == 0) g_protected.erase(it);
}

ProtectedFile::ProtectedFile(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return;
    device_ = st.st_dev;
    inode_ = st.st_ino;
    held_ = true;
    ProtectFromOutput(device_, inode_);
}

ProtectedFile::~ProtectedFile() {
    if (held_) UnprotectFromOutput(device_, inode_);
}

void RemoveStaleTemporaries(const std::string& folder) {
    static const std::regex pattern(
        R"(\.(?:report|pdf|export|csv|chart|backup)-([0-9]{1,9})-[0-9a-z]{1,32}\.tmp)");
    // Earlier versions exported through "OUT.xlsx.part<pid>" beside the
    // target, and a killed export left it there for good.
    static const std::regex earlierExport(R"(.+\.(?:xlsx|csv)\.part([0-9]{1,9}))",
                                          std::regex::icase);
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        std::smatch m;
        if (!std::regex_match(name, m, pattern) && !std::regex_match(name, m, earlierExport))
            continue;
        struct stat st {};
        if (::lstat(it->path().c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        const auto written = std::chrono::system_clock::time_point(
            std::chrono::seconds(st.st_mtim.tv_sec) +
            std::chrono::duration_cast<std::chrono::system_clock::duration>(
                std::chrono::nanoseconds(st.st_mtim.tv_nsec)));
        if (written >= kProcessStart) continue;
        if (ProcessIsAlive(std::stol(m[1]))) continue; // another run is still writing it
        ::unlink(it->path().c_str());
    }
}

OutputFile::OutputFile(const std::string& target, const std::string& tag)
    : target_(target), folder_(FolderOf(target)), name_(fs::path(target).filename().string()) {
    dirFd_ = ::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd_ < 0) {
        done_ = true;
        const int e = errno;
        throw ReplaceFileError(FileErrorReason(e), e);
    }
    try {
        // Found out now, not after the whole printout was made for nothing.
        const long nameMax = ::fpathconf(dirFd_, _PC_NAME_MAX);
        if (name_.empty() || (nameMax > 0 && name_.size() > static_cast<size_t>(nameMax)))
            throw ReplaceFileError(FileErrorReason(ENAMETOOLONG), ENAMETOOLONG);
        checkTarget();
        RemoveStaleTemporaries(folder_);
        int err = 0;
        for (int attempt = 0; attempt < 20 && fd_ < 0; ++attempt) {
            tempName_ = "." + tag + "-" + std::to_string(::getpid()) + "-" + RandomPart() + ".tmp";
            RunHook(OutputStep::BeforeCreate, folder_, tempName_);
            fd_ = ::openat(dirFd_, tempName_.c_str(),
                           O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
            err = fd_ < 0 ? errno : 0;
            if (fd_ < 0 && err != EEXIST) break;
        }
        if (fd_ < 0) throw ReplaceFileError(FileErrorReason(err), err);
    } catch (...) {
        done_ = true;
        ::close(dirFd_);
        dirFd_ = -1;
        throw;
    }
    descriptorPath_ = "/proc/self/fd/" + std::to_string(fd_);
    RunHook(OutputStep::TemporaryCreated, folder_, tempName_);
}

OutputFile::~OutputFile() {
    if (!done_) {
        // Only our own file goes: whatever took its name meanwhile stays.
        struct stat mine {
        }, there{};
        if (::fstat(fd_, &mine) == 0 &&
            ::fstatat(dirFd_, tempName_.c_str(), &there, AT_SYMLINK_NOFOLLOW) == 0 &&
            SameFile(mine, there))
            ::unlinkat(dirFd_, tempName_.c_str(), 0);
    }
    if (fd_ >= 0) ::close(fd_);
    if (dirFd_ >= 0) ::close(dirFd_);
}

void OutputFile::checkTarget() const {
    struct stat st {};
    if (::fstatat(dirFd_, name_.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return; // a new file
    if (S_ISLNK(st.st_mode))
        throw ReplaceFileError(RefusedTargetMessage(target_, "เป็นลิงก์ไปยังไฟล์อื่น"), EEXIST);
    if (S_ISDIR(st.st_mode))
        throw ReplaceFileError(RefusedTargetMessage(target_, "มีโฟลเดอร์ชื่อเดียวกันอยู่แล้ว"), EISDIR);
    if (!S_ISREG(st.st_mode))
        throw ReplaceFileError(RefusedTargetMessage(target_, "ไม่ใช่ไฟล์ธรรมดา"), EEXIST);
    if (IsProtected(st.st_dev, st.st_ino))
        throw ReplaceFileError(RefusedTargetMessage(target_, "เป็นไฟล์ข้อสอบที่เปิดอยู่"), EEXIST);
}

bool OutputFile::write(std::string_view bytes) {
    if (writeErrno_) return false;
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            writeErrno_ = n < 0 ? errno : ENOSPC;
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

void OutputFile::fail(int e, const std::string& reason) {
    // The destructor removes the temporary, if it is still ours.
    throw ReplaceFileError(reason.empty() ? FileErrorReason(e) : reason, e);
}

void OutputFile::commit(bool writerFinished, const std::function<bool(int)>& complete) {
    if (done_) return;
    if (writeErrno_) fail(writeErrno_);
    if (!writerFinished) fail(GuessWriteErrno(folder_));
    // The bytes reach the disk before the name points at them: a power cut
    // right after the rename must not leave an empty file.
    if (::fsync(fd_) != 0 && errno != EINVAL) fail(errno);
    if (complete && (::lseek(fd_, 0, SEEK_SET) < 0 || !complete(fd_)))
        fail(GuessWriteErrno(folder_));
    RunHook(OutputStep::BeforeRename, folder_, tempName_);
    // What carries the temporary's name must still be the file written, and
    // the target must still be one that may be replaced.
    struct stat mine {
    }, there{};
    if (::fstat(fd_, &mine) != 0) fail(errno);
    if (::fstatat(dirFd_, tempName_.c_str(), &there, AT_SYMLINK_NOFOLLOW) != 0 ||
        !SameFile(mine, there))
        fail(EEXIST, std::string(kChangedTemporaryLead) + (fs::path(folder_) / tempName_).string() +
                         " ถูกโปรแกรมอื่นเปลี่ยน จึงไม่ได้เขียน " + target_);
    checkTarget();
    if (::renameat(dirFd_, tempName_.c_str(), dirFd_, name_.c_str()) != 0) fail(errno);
    done_ = true;
    ::fsync(dirFd_);
    struct stat placed {};
    if (::fstatat(dirFd_, name_.c_str(), &placed, AT_SYMLINK_NOFOLLOW) != 0 ||
        !SameFile(mine, placed))
        throw ReplaceFileError(FileErrorReason(EEXIST), EEXIST);
}

void WriteFileReplacing(const std::string& target, const std::string& tag, std::string_view bytes) {
    OutputFile file(target, tag);
    const bool ok = file.write(bytes);
    file.commit(ok, [&](int fd) {
        struct stat st {};
        return ::fstat(fd, &st) == 0 && static_cast<size_t>(st.st_size) == bytes.size();
    });
}

std::string WriteFailureReasonFor(const std::string& target) {
    return FileErrorReason(GuessWriteErrno(FolderOf(target)));
}

} // namespace ia
