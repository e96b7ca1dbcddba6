// SPDX-License-Identifier: GPL-3.0-or-later
#include "SyncOrder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <mutex>
#include <regex>

extern "C" {
int __real_fsync(int fd);
int __real_renameat(int fromDir, const char* from, int toDir, const char* to);
int __wrap_fsync(int fd);
int __wrap_renameat(int fromDir, const char* from, int toDir, const char* to);
}

namespace {

std::mutex g_mutex;
bool g_recording = false;
std::vector<iatest::FileCall> g_calls;

iatest::FileCall CallOn(iatest::FileCall::Kind kind, const struct stat& st) {
    iatest::FileCall c;
    c.kind = kind;
    c.device = st.st_dev;
    c.inode = st.st_ino;
    c.size = st.st_size;
    c.modifiedNs = static_cast<long long>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
    return c;
}

} // namespace

int __wrap_fsync(int fd) {
    {
        std::lock_guard lock(g_mutex);
        struct stat st {};
        if (g_recording && ::fstat(fd, &st) == 0)
            g_calls.push_back(CallOn(iatest::FileCall::Kind::Sync, st));
    }
    return __real_fsync(fd);
}

int __wrap_renameat(int fromDir, const char* from, int toDir, const char* to) {
    {
        std::lock_guard lock(g_mutex);
        struct stat st {
        }, folder{};
        if (g_recording && ::fstatat(fromDir, from, &st, AT_SYMLINK_NOFOLLOW) == 0) {
            iatest::FileCall c = CallOn(iatest::FileCall::Kind::Rename, st);
            if (::fstat(toDir, &folder) == 0) c.folder = folder.st_ino;
            c.from = from;
            c.to = to;
            g_calls.push_back(c);
        }
    }
    return __real_renameat(fromDir, from, toDir, to);
}

namespace iatest {

SyncOrderRecorder::SyncOrderRecorder() {
    std::lock_guard lock(g_mutex);
    g_calls.clear();
    g_recording = true;
}

SyncOrderRecorder::~SyncOrderRecorder() {
    std::lock_guard lock(g_mutex);
    g_recording = false;
    g_calls.clear();
}

std::vector<FileCall> SyncOrderRecorder::calls() const {
    std::lock_guard lock(g_mutex);
    return g_calls;
}

std::vector<std::string> SyncOrderRecorder::renamed() const {
    std::vector<std::string> names;
    for (const FileCall& c : calls())
        if (c.kind == FileCall::Kind::Rename) names.push_back(c.to);
    return names;
}

std::vector<std::string> SyncOrderRecorder::unsafeRenames() const {
    const std::vector<FileCall> all = calls();
    std::vector<std::string> unsafe;
    for (size_t i = 0; i < all.size(); ++i) {
        const FileCall& r = all[i];
        if (r.kind != FileCall::Kind::Rename) continue;
        bool synced = false, folderSynced = false;
        for (size_t j = 0; j < i; ++j) {
            const FileCall& s = all[j];
            synced =
                synced || (s.kind == FileCall::Kind::Sync && s.device == r.device &&
                           s.inode == r.inode && s.size == r.size && s.modifiedNs == r.modifiedNs);
        }
        for (size_t j = i + 1; j < all.size(); ++j)
            folderSynced = folderSynced || (all[j].kind == FileCall::Kind::Sync &&
                                            all[j].device == r.device && all[j].inode == r.folder);
        if (!synced) unsafe.push_back(r.from + " -> " + r.to + ": renamed without a sync before");
        if (!folderSynced)
            unsafe.push_back(r.from + " -> " + r.to + ": its folder not synced after");
    }
    return unsafe;
}

std::string SyncOrderRecorder::problemsWith(const std::string& targetName,
                                            const std::string& tag) const {
    const std::regex temporary("\\." + tag + "-[0-9]+-[0-9a-v]+\\.tmp");
    std::string seen;
    int renames = 0;
    for (const FileCall& c : calls())
        if (c.kind == FileCall::Kind::Rename && c.to == targetName) {
            ++renames;
            if (!std::regex_match(c.from, temporary))
                seen +=
                    "renamed from " + c.from + ", no temporary of an OutputFile \"" + tag + "\"\n";
        }
    if (renames != 1) seen += std::to_string(renames) + " renames to " + targetName + "\n";
    for (const std::string& unsafe : unsafeRenames())
        if (unsafe.find("-> " + targetName + ":") != std::string::npos) seen += unsafe + "\n";
    return seen;
}

void ExpectSyncedBeforeRenamed(const std::filesystem::path& folder,
                               const std::vector<SyncedWrite>& writes) {
    for (const SyncedWrite& w : writes) {
        SCOPED_TRACE(w.what);
        for (bool replacing : {false, true}) {
            SyncOrderRecorder recorder;
            w.write((folder / w.name).string());
            EXPECT_EQ(recorder.problemsWith(w.name, w.tag), "") << "replacing " << replacing;
        }
    }
}

} // namespace iatest
