// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The one way this program writes a file of its own (a report, a PDF, an
// export, statistics, a chart, a backup): a temporary file created beside the
// target through the folder's descriptor under a name no one can guess, with
// O_EXCL and O_NOFOLLOW, written through that descriptor only, synced,
// checked and then renamed over the target. Nothing is ever opened again by
// its name, so a link planted at the temporary's name or swapped in while the
// writer works is never followed; and a target that is a link, no regular
// file, or an exam file this program has open is refused outright.

#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace ia {

// The failure of one replacing write: the Thai reason, and the errno it
// came from (0 when the writer gave none).
class ReplaceFileError : public std::runtime_error {
  public:
    ReplaceFileError(const std::string& reason, int errnoValue)
        : std::runtime_error(reason), errno_(errnoValue) {}
    int errnoValue() const { return errno_; }

  private:
    int errno_;
};

// "จะไม่เขียนทับ <path>" and why: the target is the exam file, a link or no
// regular file.
std::string RefusedTargetMessage(const std::string& path, const std::string& why);

// Whether a ReplaceFileError's reason is a RefusedTargetMessage, or tells
// that another program changed the temporary: both name the files
// themselves, so a writer shows them as they are instead of its own
// sentence about the target.
bool IsRefusedTargetMessage(std::string_view reason);
bool IsChangedTemporaryMessage(std::string_view reason);

// The points between which a test may change the folder under a writer, to
// show what a race there would do: right before a temporary of that name is
// made, right after, and before the rename.
enum class OutputStep { BeforeCreate, TemporaryCreated, BeforeRename };
using OutputStepHook =
    std::function<void(OutputStep, const std::string& folder, const std::string& tempName)>;
// Installs the hook (empty removes it); tests only.
void SetOutputStepHookForTests(OutputStepHook hook);

// Files the program must never write over while they are open (the exam
// files in hand): a Connection registers its file for as long as it lives.
void ProtectFromOutput(dev_t device, ino_t inode);
void UnprotectFromOutput(dev_t device, ino_t inode);

// Keeps path protected while the object lives (a command that reads an exam
// file, closes it and then writes beside it).
class ProtectedFile {
  public:
    explicit ProtectedFile(const std::string& path);
    ~ProtectedFile();
    ProtectedFile(const ProtectedFile&) = delete;
    ProtectedFile& operator=(const ProtectedFile&) = delete;

  private:
    dev_t device_ = 0;
    ino_t inode_ = 0;
    bool held_ = false;
};

// One replacing write of target. The constructor refuses a target that may
// not be replaced, removes what killed writers left in the folder (see
// RemoveStaleTemporaries) and creates the temporary
// ".<tag>-<pid>-<random>.tmp"; until commit() the target keeps what it held,
// and a write never committed removes its temporary. Failures throw
// ReplaceFileError with the Thai reason.
class OutputFile {
  public:
    OutputFile(const std::string& target, const std::string& tag);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    int fd() const { return fd_; }
    // The descriptor as a path ("/proc/self/fd/N") for a library that only
    // writes to paths: it leads to the temporary's own inode whatever is
    // done to the folder meanwhile.
    const std::string& descriptorPath() const { return descriptorPath_; }
    const std::string& target() const { return target_; }
    const std::string& tempName() const { return tempName_; }

    // Appends bytes; false (with the errno kept for commit) on a failure.
    bool write(std::string_view bytes);
    // Syncs the temporary, asks `complete` (given the descriptor) whether
    // its bytes are whole, and renames it over the target, checked again.
    // Throws ReplaceFileError; the target then keeps what it held.
    void commit(bool writerFinished, const std::function<bool(int fd)>& complete = {});

  private:
    [[noreturn]] void fail(int errnoValue, const std::string& reason = {});
    void checkTarget() const;

    std::string target_;
    std::string folder_;
    std::string name_;
    std::string tempName_;
    std::string descriptorPath_;
    int dirFd_ = -1;
    int fd_ = -1;
    int writeErrno_ = 0;
    bool done_ = false;
};

// Writes bytes whole to target through an OutputFile. Throws ReplaceFileError.
void WriteFileReplacing(const std::string& target, const std::string& tag, std::string_view bytes);

// Removes, in folder, the files named like this program's temporaries
// (".report-<pid>-<n>.tmp", ".export-<pid>-<x>.tmp", ...), or like the
// exports of earlier versions ("OUT.xlsx.part<pid>", "OUT.csv.part<pid>"),
// that are older than the running process and whose writing process is
// gone: what a run killed between writing and renaming left. Nothing else
// is touched.
void RemoveStaleTemporaries(const std::string& folder);

// The reason, in Thai, why a writer that gave none failed to write target
// (its disk full, or else an unfinished write).
std::string WriteFailureReasonFor(const std::string& target);

} // namespace ia
