// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One writer per exam file on this machine. A window (or a command that
// writes) holds an advisory lock on a small file beside the exam file for as
// long as it works on it; a second one finds it taken and is refused, so two
// programs never write one file without seeing each other's changes. The
// system drops the lock with the process that held it, however it ended, so
// a killed program leaves nothing that blocks the next one.

#include <string>

namespace ia {

// The file the lock is taken on: hidden beside the exam file.
std::string WriterLockPath(const std::string& examPath);

// What a window or a command is told when the file is open in another window.
std::string OpenElsewhereMessage(const std::string& examPath);

class WriterLock {
  public:
    WriterLock() = default;
    ~WriterLock() { release(); }
    WriterLock(WriterLock&& other) noexcept;
    WriterLock& operator=(WriterLock&& other) noexcept;
    WriterLock(const WriterLock&) = delete;
    WriterLock& operator=(const WriterLock&) = delete;

    // Takes the lock on examPath, letting go of one held before. False when
    // another program, or another session of this one, holds it. Where no
    // lock file can be made (a folder that takes no writes), nobody can
    // write the exam file either: true, without a lock.
    bool take(const std::string& examPath);
    void release();
    bool held() const { return fd_ >= 0; }
    // Whether this is the lock on examPath (by any name of the same file).
    bool holds(const std::string& examPath) const;

  private:
    int fd_ = -1;
    std::string lockPath_;
};

// Whether someone holds the lock on examPath now (it is not taken).
bool WriterLockHeldElsewhere(const std::string& examPath);

} // namespace ia
