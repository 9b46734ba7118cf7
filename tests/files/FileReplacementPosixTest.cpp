// The replacement's promises that only POSIX systems can show: links swapped in, extended
// attributes and access control lists, signals, and paths longer than the system resolves.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <climits>
#include <cstdint>
#include <filesystem>
#include <string>

#include "files/FileReplacement.h"
#include "platform/Process.h"
#include "tests/files/ReplaceWith.h"
#include "tests/support/TempFolder.h"

namespace fs = std::filesystem;

namespace {

const std::string kOld = "[fltsim.1]\r\nold content\r\n";

// The reproduced attack: once the run has opened the file, someone who can write the folder puts
// a link to a file of theirs choosing in its place. That file must not be written.
TEST(ReplacementOnPosix, NeverWritesAFileALinkSwappedInPointsTo) {
    TempFolder folder;
    const fs::path target = folder / "aircraft.cfg";
    const fs::path secret = folder / "secret";
    for (bool duringRead : {true, false}) {
        writeBytes(target, kOld);
        writeBytes(secret, "secret\n");
        ASSERT_EQ(chmod(secret.c_str(), 0600), 0);
        auto swap = [&] {
            fs::create_symlink(secret, folder / "link");
            fs::rename(folder / "link", target);
        };
        Interference interference;
        (duringRead ? interference.duringRead : interference.atTheLastMoment) = swap;
        EXPECT_EQ(replaceWith(target, "written", interference).kind, CauseKind::changed);
        EXPECT_EQ(readBytes(secret), "secret\n");
        EXPECT_TRUE(fs::is_symlink(target));
        EXPECT_EQ(filesIn(folder.path()), (std::vector<std::string>{"aircraft.cfg", "secret"}));
        fs::remove(target);
    }
}

// An access control list in the kernel's format: owner rw, one more user rw, group r, mask rw,
// others r.
std::string accessControlList() {
    std::string acl;
    auto put = [&acl](std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) {
            acl += static_cast<char>((value >> (8 * i)) & 0xFF);
        }
    };
    put(2, 4);  // version
    const std::uint32_t entries[][3] = {{0x01, 6, 0xFFFFFFFF},
                                        {0x02, 6, 12345},
                                        {0x04, 4, 0xFFFFFFFF},
                                        {0x10, 6, 0xFFFFFFFF},
                                        {0x20, 4, 0xFFFFFFFF}};
    for (const auto& entry : entries) {
        put(entry[0], 2);
        put(entry[1], 2);
        put(entry[2], 4);
    }
    return acl;
}

std::string attribute(const fs::path& file, const char* name) {
    char value[256];
    const ssize_t n = getxattr(file.c_str(), name, value, sizeof value);
    return n < 0 ? "<none>" : std::string(value, static_cast<std::size_t>(n));
}

// An editor saves twice while the names are being swapped: its first save is taken out by the
// swap and refused, and its second, which took the name in between, comes back to the temporary
// name when the swap is undone. That newer save must not be removed with the temporary file.
TEST(ReplacementOnPosix, ASaveThatComesBackFromTheSwapIsKept) {
    TempFolder folder;
    const fs::path target = folder / "aircraft.cfg";
    writeBytes(target, kOld);
    auto save = [&](const std::string& content) {
        writeBytes(folder / "editor.tmp", content);
        fs::rename(folder / "editor.tmp", target);
    };
    bool swapped = false;
    Interference twoSaves;
    twoSaves.beforeSwap = [&] { save("first save"); };
    twoSaves.afterSwap = [&] {
        swapped = true;
        save("second save");
    };
    const Cause cause = replaceWith(target, "renumbered", twoSaves);
    if (!swapped) {
        GTEST_SKIP() << "the file system here cannot swap two names";
    }
    EXPECT_EQ(readBytes(target), "first save");
    const fs::path aside = leftBeside(folder.path());
    ASSERT_FALSE(aside.empty());
    EXPECT_EQ(readBytes(aside), "second save");
    EXPECT_EQ(cause.kind, CauseKind::changedSaveLeftAside);
    EXPECT_STREQ(cause.path.c_str(), aside.string().c_str());
}

TEST(ReplacementOnPosix, KeepsThePermissionBitsAndLeavesNoOtherFile) {
    TempFolder folder;
    const fs::path target = folder / "aircraft.cfg";
    writeBytes(target, kOld);
    ASSERT_EQ(chmod(target.c_str(), 0640), 0);
    ASSERT_EQ(replaceWith(target, "new").kind, CauseKind::none);
    struct stat st {};
    ASSERT_EQ(stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(filesIn(folder.path()), std::vector<std::string>{"aircraft.cfg"});
}

TEST(ReplacementOnPosix, KeepsExtendedAttributesAndTheAccessControlList) {
    TempFolder folder;
    const fs::path target = folder / "aircraft.cfg";
    writeBytes(target, kOld);
    const std::string acl = accessControlList();
    if (setxattr(target.c_str(), "user.origin", "club package", 12, 0) != 0 ||
        setxattr(target.c_str(), "system.posix_acl_access", acl.data(), acl.size(), 0) != 0) {
        GTEST_SKIP() << "the file system here has no extended attributes or access lists";
    }
    ASSERT_EQ(replaceWith(target, "new").kind, CauseKind::none);
    EXPECT_EQ(readBytes(target), "new");
    EXPECT_EQ(attribute(target, "user.origin"), "club package");
    EXPECT_EQ(attribute(target, "system.posix_acl_access"), acl);
}

// A folder's default access list would give the new file entries the old one never had, here
// read access for another user: the new file must carry the old one's list, which is none.
TEST(ReplacementOnPosix, NeverWidensAccessThroughTheFoldersDefaultList) {
    TempFolder folder;
    const fs::path target = folder / "aircraft.cfg";
    writeBytes(target, kOld);
    ASSERT_EQ(chmod(target.c_str(), 0640), 0);
    const std::string acl = accessControlList();
    if (setxattr(folder.path().c_str(), "system.posix_acl_default", acl.data(), acl.size(), 0) !=
        0) {
        GTEST_SKIP() << "the file system here has no access control lists";
    }
    ASSERT_EQ(replaceWith(target, "new").kind, CauseKind::none);
    EXPECT_EQ(attribute(target, "system.posix_acl_access"), "<none>");
    struct stat st {};
    ASSERT_EQ(stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}

// A user's own set-user-ID program file keeps the bit, which the kernel clears on the first
// write by an unprivileged user: it must be set after the last one.
TEST(ReplacementOnPosix, KeepsTheSetIdBitsOfAnUnprivilegedUsersFile) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root, to hand the folder to an unprivileged user";
    }
    TempFolder folder;
    const fs::path target = folder / "aircraft.cfg";
    writeBytes(target, kOld);
    ASSERT_EQ(chown(folder.path().c_str(), 65534, 65534), 0);
    ASSERT_EQ(chown(target.c_str(), 65534, 65534), 0);
    ASSERT_EQ(chmod(target.c_str(), 04755), 0);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        const bool dropped = setgid(65534) == 0 && setuid(65534) == 0;
        _exit(dropped && replaceWith(target, "new").kind == CauseKind::none ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    struct stat st {};
    ASSERT_EQ(stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 04755u);
    EXPECT_EQ(readBytes(target), "new");
}

// Ctrl-C, a termination, a hang-up, a CPU limit or any other signal that ends a process, while
// the new content is being written, must take the temporary file with the process, and end it as
// the signal would. A signal the process was started ignoring (nohup) stays ignored.
TEST(ReplacementOnPosix, AnInterruptedSaveLeavesNoTemporaryFile) {
    const pid_t ignoring = fork();
    ASSERT_GE(ignoring, 0);
    if (ignoring == 0) {
        signal(SIGHUP, SIG_IGN);
        prepareProcess();
        raise(SIGHUP);
        _exit(4);
    }
    int ignoredStatus = 0;
    ASSERT_EQ(waitpid(ignoring, &ignoredStatus, 0), ignoring);
    EXPECT_TRUE(WIFEXITED(ignoredStatus) && WEXITSTATUS(ignoredStatus) == 4);
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGALRM, SIGUSR1, SIGUSR2, SIGVTALRM, SIGPROF,
                    SIGXCPU, SIGRTMIN}) {
        TempFolder folder;
        const fs::path target = folder / "aircraft.cfg";
        writeBytes(target, kOld);
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            prepareProcess();
            Replacement replacement;
            Cause why;
            char buffer[64];
            std::size_t got = 1;
            bool ready = openOriginal(target.c_str(), replacement, why);
            while (ready && got > 0) {
                ready = readOriginal(replacement, buffer, sizeof buffer, got, why);
            }
            if (ready && beginReplacement(replacement, why) &&
                writeReplacement(replacement, "half", 4, why)) {
                raise(sig);
            }
            _exit(3);  // not reached when the signal ends the process
        }
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << "signal " << sig;
        EXPECT_EQ(filesIn(folder.path()), std::vector<std::string>{"aircraft.cfg"}) << sig;
        EXPECT_EQ(readBytes(target), kOld);
    }
}

// A run with two files in flight (the aircraft's and its package's list), ended by a signal at
// any step: no temporary file of either is left, each file holds its old content or its new, and
// once the first is in place the program ends with the status it earned rather than as killed.
int gCallsUntilSignal = 0;

TEST(ReplacementOnPosix, ASignalAtAnyStepOfTwoReplacementsLeavesNoTemporaryFile) {
    TempFolder folder;
    const fs::path first = folder / "aircraft.cfg";
    const fs::path second = folder / "layout.json";
    bool reachedTheEnd = false;
    for (int step = 0; !reachedTheEnd && step < 200; ++step) {
        writeBytes(first, kOld);
        writeBytes(second, "{}");
        gCallsUntilSignal = step;
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            prepareProcess();
            const CallsDouble counting(Interference::Renames::all);
            CallsDouble::eachCall = [] {
                if (gCallsUntilSignal-- == 0) {
                    raise(SIGTERM);
                }
            };
            Replacement a;
            Replacement b;
            Cause why;
            char buffer[64];
            std::size_t got = 1;
            bool ready =
                openOriginal(first.c_str(), a, why) && openOriginal(second.c_str(), b, why);
            for (Replacement* r : {&a, &b}) {
                for (got = 1; ready && got > 0;) {
                    ready = readOriginal(*r, buffer, sizeof buffer, got, why);
                }
            }
            SealedFacts facts;
            ready = ready && beginReplacement(a, why) && writeReplacement(a, "new", 3, why) &&
                    sealReplacement(a, facts, why) && beginReplacement(b, why) &&
                    writeReplacement(b, "[]", 2, why) && sealReplacement(b, facts, why) &&
                    commitReplacement(a, why, 0) && commitReplacement(b, why);
            _exit(ready ? 0 : 3);
        }
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        const std::string aNow = readBytes(first);
        const std::string bNow = readBytes(second);
        EXPECT_TRUE(aNow == kOld || aNow == "new") << "step " << step;
        EXPECT_TRUE(bNow == "{}" || bNow == "[]") << "step " << step;
        EXPECT_EQ(filesIn(folder.path()), (std::vector<std::string>{"aircraft.cfg", "layout.json"}))
            << "step " << step;
        if (aNow == "new") {
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "step " << step;
        } else {
            EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << "step " << step;
        }
        reachedTheEnd = WIFEXITED(status) && bNow == "[]";
    }
    EXPECT_TRUE(reachedTheEnd);
}

// The folder lies deeper than the system resolves a path, yet its file opens relatively.
TEST(ReplacementOnPosix, WorksInAFolderBeyondTheLongestResolvablePath) {
    TempFolder folder;
    const fs::path start = fs::current_path();
    ASSERT_EQ(chdir(folder.path().c_str()), 0);
    const std::string name(200, 'd');
    std::size_t depth = 0;
    for (; depth * (name.size() + 1) <= PATH_MAX + 200; ++depth) {
        ASSERT_EQ(mkdir(name.c_str(), 0755), 0);
        ASSERT_EQ(chdir(name.c_str()), 0);
    }
    writeBytes("aircraft.cfg", kOld);
    const Cause cause = replaceWith("aircraft.cfg", "new");
    const std::string result = readBytes("aircraft.cfg");
    const bool alone = filesIn(".") == std::vector<std::string>{"aircraft.cfg"};
    // Climb out again, so that the folder can be removed.
    unlink("aircraft.cfg");
    for (; depth > 0; --depth) {
        ASSERT_EQ(chdir(".."), 0);
        ASSERT_EQ(rmdir(name.c_str()), 0);
    }
    fs::current_path(start);
    EXPECT_EQ(cause.kind, CauseKind::none);
    EXPECT_EQ(result, "new");
    EXPECT_TRUE(alone);
}

}  // namespace
