// SPDX-License-Identifier: GPL-3.0-or-later
#include "examfile/WriterLock.h"

#include <cerrno>
#include <filesystem>
#include <utility>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace ia {

namespace {

// One lock whatever name the file is reached by (relative, through a link).
fs::path OneName(const std::string& examPath) {
    std::error_code ec;
    fs::path p = fs::weakly_canonical(examPath, ec);
    return ec ? fs::path(examPath) : p;
}

} // namespace

std::string WriterLockPath(const std::string& examPath) {
    const fs::path p = OneName(examPath);
    return (p.parent_path() / ("." + p.filename().string() + ".lock")).string();
}

std::string OpenElsewhereMessage(const std::string& examPath) {
    return "ไฟล์ " + examPath +
           "  เปิดอยู่ในหน้าต่างอื่นของโปรแกรมนี้ (หรือกำลังถูกเขียนโดยคำสั่งของโปรแกรม)\n"
           "ทำงานกับไฟล์นี้ในหน้าต่างนั้น หรือปิดไฟล์ในหน้าต่างนั้นก่อน แล้วจึงเปิดอีกครั้ง";
}

WriterLock::WriterLock(WriterLock&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), lockPath_(std::move(other.lockPath_)) {}

WriterLock& WriterLock::operator=(WriterLock&& other) noexcept {
    if (this != &other) {
        release();
        fd_ = std::exchange(other.fd_, -1);
        lockPath_ = std::move(other.lockPath_);
    }
    return *this;
}

bool WriterLock::take(const std::string& examPath) {
    release();
    const std::string lockPath = WriterLockPath(examPath);
    // A holder removes the lock file as it lets go; whoever opened the
    // removed file before that must open the new one again.
    for (int attempt = 0; attempt < 8; ++attempt) {
        // Close-on-exec: a program started from the window (a viewer)
        // must not keep the lock after the window is gone.
        const int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0) return true; // nothing can be written in that folder
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const bool taken = errno == EWOULDBLOCK;
            ::close(fd);
            return !taken;
        }
        struct stat opened {
        }, named{};
        if (::fstat(fd, &opened) == 0 && ::stat(lockPath.c_str(), &named) == 0 &&
            opened.st_dev == named.st_dev && opened.st_ino == named.st_ino) {
            fd_ = fd;
            lockPath_ = lockPath;
            return true;
        }
        ::close(fd);
    }
    return false;
}

bool WriterLock::holds(const std::string& examPath) const {
    return held() && WriterLockPath(examPath) == lockPath_;
}

void WriterLock::release() {
    if (fd_ < 0) return;
    // Removed while still held, so that nobody takes a file on its way out.
    ::unlink(lockPath_.c_str());
    ::close(fd_);
    fd_ = -1;
    lockPath_.clear();
}

bool WriterLockHeldElsewhere(const std::string& examPath) {
    const int fd = ::open(WriterLockPath(examPath).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool held = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return held;
}

} // namespace ia
