// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The order in which a writer asks the system to sync and to rename files,
// seen by the test programs that wrap fsync and renameat at link time
// (-Wl,--wrap, tests/CMakeLists.txt): the program itself calls the real
// ones directly. A file renamed into place must have been synced with the
// bytes it is renamed with, and its folder synced after the rename, or a
// power cut right after can leave an empty or cut-off file under the name.

#include <filesystem>
#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace iatest {

struct FileCall {
    enum class Kind { Sync, Rename } kind = Kind::Sync;
    dev_t device = 0;
    ino_t inode = 0; // of the file synced or renamed
    off_t size = 0;
    long long modifiedNs = 0;
    ino_t folder = 0; // the folder renamed into (Rename only)
    std::string from; // the names of a rename
    std::string to;
};

// Records every wrapped call while it lives (one at a time).
class SyncOrderRecorder {
  public:
    SyncOrderRecorder();
    ~SyncOrderRecorder();
    SyncOrderRecorder(const SyncOrderRecorder&) = delete;
    SyncOrderRecorder& operator=(const SyncOrderRecorder&) = delete;

    std::vector<FileCall> calls() const;
    // The names renamed to, in order.
    std::vector<std::string> renamed() const;
    // What went wrong, one line per rename: a file renamed into place
    // without a sync of its final bytes before, or whose folder was not
    // synced after. Empty when every rename was safe.
    std::vector<std::string> unsafeRenames() const;
    // Empty when targetName (a name without folder) was put in place once,
    // by a rename of an OutputFile temporary of `tag` (".<tag>-<pid>-<random>.tmp")
    // synced with its final bytes before and its folder synced after;
    // otherwise what was seen instead.
    std::string problemsWith(const std::string& targetName, const std::string& tag) const;
};

// A writer under test: what it is, the name it writes in the folder and
// the tag of its temporaries.
struct SyncedWrite {
    const char* what;
    const char* name;
    const char* tag;
    std::function<void(const std::string& target)> write;
};
// Runs every writer into folder twice (a new file, then over it) and
// expects problemsWith to find nothing either time.
void ExpectSyncedBeforeRenamed(const std::filesystem::path& folder,
                               const std::vector<SyncedWrite>& writes);

} // namespace iatest
