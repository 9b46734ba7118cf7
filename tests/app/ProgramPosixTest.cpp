// Whole-program behaviour that only POSIX systems have: FIFOs, owners and groups.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "tests/app/Console.h"
#include "tests/support/RunProgram.h"
#include "tests/support/TempFolder.h"

namespace fs = std::filesystem;

namespace {

// A FIFO without a writer would block a plain open for ever.
TEST(Failure, AFifoIsRefusedWithoutWaiting) {
    TempFolder folder;
    ASSERT_EQ(mkfifo((folder / "aircraft.cfg").string().c_str(), 0644), 0);
    const RunResult run = runCfgrenum(folder.path());
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, shownPath(folder / "aircraft.cfg") + ": is not a regular file\n");
}

// A member of the file's group who edits it must leave it to the group, even though only a
// privileged user could give the new file the old one's owner.
TEST(SavedFile, KeepsItsGroupWhenItsOwnerCannotBeKept) {
    if (geteuid() != 0 || !canRunUnprivileged()) {
        GTEST_SKIP() << "needs root, to set up a file of another owner";
    }
    constexpr gid_t kGroup = 100;
    TempFolder folder;
    const fs::path file = folder / "aircraft.cfg";
    writeBytes(file, "[fltsim.2]\r\n");
    ASSERT_EQ(chown(file.string().c_str(), 0, kGroup), 0);
    ASSERT_EQ(chmod(file.string().c_str(), 0664), 0);
    giveToUnprivilegedUser(folder.path());
    RunOptions options;
    options.unprivileged = true;
    options.group = kGroup;
    const RunResult run = runCfgrenum(folder.path(), options);
    EXPECT_EQ(run.status, 0) << run.err;
    struct stat st {};
    ASSERT_EQ(stat(file.string().c_str(), &st), 0);
    EXPECT_EQ(st.st_gid, kGroup);
    EXPECT_EQ(st.st_mode & 07777, 0664u);
    EXPECT_EQ(readBytes(file), "[fltsim.0]\r\n");
}

}  // namespace
