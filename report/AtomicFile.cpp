// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/AtomicFile.h"

#include "examfile/FileErrors.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <system_error>

namespace ia {

namespace {

namespace fs = std::filesystem;

// Taken while the program loads: temporaries older than this cannot be
// being written by this run.
const fs::file_time_type kProcessStart = fs::file_time_type::clock::now();

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

} // namespace

void RemoveStaleTemporaries(const std::string& folder) {
    static const std::regex pattern(R"(\.(?:report|pdf)-([0-9]{1,9})-[0-9]{1,9}\.tmp)");
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        std::smatch m;
        if (!std::regex_match(name, m, pattern)) continue;
        std::error_code fec;
        if (!it->is_regular_file(fec) || fec) continue;
        const auto written = fs::last_write_time(it->path(), fec);
        if (fec || written >= kProcessStart) continue;
        if (ProcessIsAlive(std::stol(m[1]))) continue; // another run is still writing it
        fs::remove(it->path(), fec);
    }
}

ReplacingFile::ReplacingFile(const std::string& target, const std::string& tempTag)
    : target_(target) {
    static std::atomic<unsigned> counter{0};
    const std::string folder = FolderOf(target);
    // Found out now, not after the whole printout was made for nothing.
    const long nameMax = ::pathconf(folder.c_str(), _PC_NAME_MAX);
    if (nameMax > 0 && fs::path(target).filename().string().size() > static_cast<size_t>(nameMax)) {
        done_ = true;
        throw ReplaceFileError(FileErrorReason(ENAMETOOLONG), ENAMETOOLONG);
    }
    RemoveStaleTemporaries(folder);
    int fd = -1;
    int err = 0;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        tmp_ = (fs::path(folder) / ("." + tempTag + "-" + std::to_string(getpid()) + "-" +
                                    std::to_string(counter++) + ".tmp"))
                   .string();
        fd = ::open(tmp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        err = fd < 0 ? errno : 0;
        if (fd < 0 && err != EEXIST) break;
    }
    if (fd < 0) {
        done_ = true;
        throw ReplaceFileError(FileErrorReason(err), err);
    }
    ::close(fd);
}

ReplacingFile::~ReplacingFile() {
    if (!done_) ::unlink(tmp_.c_str());
}

void ReplacingFile::fail(int e) {
    done_ = true;
    ::unlink(tmp_.c_str());
    throw ReplaceFileError(FileErrorReason(e), e);
}

void ReplacingFile::commit(bool writerFinished,
                           const std::function<bool(const std::string&)>& complete) {
    if (done_) return;
    if (!writerFinished || !complete(tmp_)) fail(GuessWriteErrno(FolderOf(target_)));
    // The bytes reach the disk before the name points at them: a power cut
    // right after the rename must not leave an empty file.
    int fd = ::open(tmp_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) fail(errno);
    const int syncErr = ::fsync(fd) != 0 && errno != EINVAL ? errno : 0;
    ::close(fd);
    if (syncErr) fail(syncErr);
    if (std::rename(tmp_.c_str(), target_.c_str()) != 0) fail(errno);
    done_ = true;
}

void ReplaceFileAtomically(const std::string& target, const std::string& tempTag,
                           const std::function<bool(const std::string&)>& write,
                           const std::function<bool(const std::string&)>& complete) {
    ReplacingFile file(target, tempTag);
    const bool finished = write(file.tempPath());
    file.commit(finished, complete);
}

std::string WriteFailureReasonFor(const std::string& target) {
    return FileErrorReason(GuessWriteErrno(FolderOf(target)));
}

bool PdfFileIsComplete(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    char head[5] = {};
    if (!in.read(head, 5) || std::string(head, 5) != "%PDF-") return false;
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    const std::streamoff tailSize = std::min<std::streamoff>(size, 64);
    std::string tail(static_cast<size_t>(tailSize), '\0');
    in.seekg(size - tailSize);
    if (!in.read(tail.data(), tailSize)) return false;
    while (!tail.empty() && (tail.back() == '\n' || tail.back() == '\r' || tail.back() == ' '))
        tail.pop_back();
    return tail.size() >= 5 && tail.compare(tail.size() - 5, 5, "%%EOF") == 0;
}

std::string PdfWriteFailedMessage(const std::string& path, const std::string& reason) {
    return "บันทึกไฟล์ PDF ไม่ได้ : " + path + " (" + reason + ")";
}

void WritePdfReplacing(const std::string& target,
                       const std::function<bool(const std::string&)>& write) {
    try {
        ReplaceFileAtomically(target, "pdf", write, PdfFileIsComplete);
    } catch (const ReplaceFileError& e) {
        throw ReplaceFileError(PdfWriteFailedMessage(target, e.what()), e.errnoValue());
    }
}

} // namespace ia
