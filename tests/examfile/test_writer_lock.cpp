// SPDX-License-Identifier: GPL-3.0-or-later
// One writer per exam file: the lock is seen by every other taker, in this
// process or another, and is gone with the process that held it.
#include "TestSupport.h"
#include "examfile/WriterLock.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace ia;

namespace {

struct WriterLockTest : ::testing::Test {
    iatest::TempDir dir;
    std::string exam = dir.file("ม1.ans");
    void SetUp() override { iatest::MakeExamFile(exam, iatest::MakeHeader(2, 4), {"1", "2"}, {}); }
};

// A child process that takes the lock and tells so through a pipe, then
// either waits to be killed or runs another program in its place.
pid_t ChildTakingLock(const std::string& exam, bool thenExec) {
    int ready[2];
    if (::pipe2(ready, O_CLOEXEC) != 0) return -1;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(ready[0]);
        WriterLock lock;
        if (!lock.take(exam) || !lock.held()) ::_exit(3);
        if (thenExec) {
            // The new program says it runs once the exec is over.
            ::dup2(ready[1], 1);
            ::execl("/bin/sh", "sh", "-c", "echo x; exec sleep 30", static_cast<char*>(nullptr));
            ::_exit(4);
        }
        (void)!::write(ready[1], "x", 1);
        for (;;)
            ::pause();
    }
    ::close(ready[1]);
    char c = 0;
    (void)!::read(ready[0], &c, 1);
    ::close(ready[0]);
    return c == 'x' ? pid : -1;
}

void Kill(pid_t pid) {
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
}

} // namespace

TEST_F(WriterLockTest, OneHolderAtATimeEvenInOneProcess) {
    WriterLock first, second;
    ASSERT_TRUE(first.take(exam));
    EXPECT_TRUE(first.held());
    EXPECT_TRUE(WriterLockHeldElsewhere(exam));
    EXPECT_FALSE(second.take(exam));
    EXPECT_FALSE(second.held());
    first.release();
    EXPECT_FALSE(WriterLockHeldElsewhere(exam));
    EXPECT_TRUE(second.take(exam));
    // Letting go removes the lock file as well: nothing is left beside the
    // exam file.
    second.release();
    EXPECT_FALSE(std::filesystem::exists(WriterLockPath(exam)));
}

TEST_F(WriterLockTest, AnotherNameOfTheSameFileIsTheSameLock) {
    WriterLock first, second;
    ASSERT_TRUE(first.take(exam));
    const std::filesystem::path cwd = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    const bool taken = second.take("./ม1.ans");
    const bool holds = first.holds("ม1.ans");
    std::filesystem::current_path(cwd);
    EXPECT_FALSE(taken);
    EXPECT_TRUE(holds);
    std::filesystem::create_symlink(exam, dir.file("link.ans"));
    EXPECT_FALSE(second.take(dir.file("link.ans")));
    EXPECT_FALSE(first.holds(dir.file("other.ans")));
}

TEST_F(WriterLockTest, AKilledHolderLeavesNoLock) {
    const pid_t child = ChildTakingLock(exam, false);
    ASSERT_GT(child, 0);
    WriterLock lock;
    EXPECT_TRUE(WriterLockHeldElsewhere(exam));
    EXPECT_FALSE(lock.take(exam));
    Kill(child);
    // Its lock file stays behind, but holds nobody off.
    EXPECT_TRUE(std::filesystem::exists(WriterLockPath(exam)));
    EXPECT_FALSE(WriterLockHeldElsewhere(exam));
    EXPECT_TRUE(lock.take(exam));
}

TEST_F(WriterLockTest, AProgramStartedByTheHolderDoesNotInheritIt) {
    const pid_t child = ChildTakingLock(exam, true);
    ASSERT_GT(child, 0);
    WriterLock lock;
    EXPECT_TRUE(lock.take(exam));
    Kill(child);
}

TEST(WriterLock, AMediumThatTakesNoWritesNeedsNoLock) {
    iatest::TinyDisk disk(512);
    if (!disk.mounted()) GTEST_SKIP() << "no mount here";
    const std::string exam = disk.file("ม1.ans");
    iatest::MakeExamFile(exam, iatest::MakeHeader(2, 4), {"1", "2"}, {});
    ASSERT_TRUE(disk.makeReadOnly());
    WriterLock lock;
    EXPECT_TRUE(lock.take(exam));
    EXPECT_FALSE(lock.held());
}
