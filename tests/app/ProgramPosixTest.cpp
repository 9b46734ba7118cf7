// Whole-program behaviour that only POSIX systems have: terminals, FIFOs, owners and groups.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/app/Console.h"
#include "tests/support/Platform.h"
#include "tests/support/RunProgram.h"
#include "tests/support/TempFolder.h"

namespace fs = std::filesystem;

namespace {

// Reads what the program shows on `terminal` until `until` appears or the program closes its end
// (`closed`); a program that stops answering for 20 s has hung.
std::string readTerminal(int terminal, const std::string& until, bool& closed) {
    std::string seen;
    pollfd ready{terminal, POLLIN, 0};
    char buffer[256];
    closed = false;
    while ((until.empty() || seen.find(until) == std::string::npos) &&
           poll(&ready, 1, 20000) == 1) {
        const ssize_t n = read(terminal, buffer, sizeof buffer);
        if (n <= 0) {
            closed = true;
            break;
        }
        seen.append(buffer, static_cast<std::size_t>(n));
    }
    return seen;
}

// "Hit any key" on a terminal: one key, without Enter, ends the wait; so do a hang-up and an
// interrupt, but the status still says the file was rewritten. Each time the terminal is left in
// the mode it had.
TEST(Dialogue, OneKeyOrASignalEndsTheWaitOnATerminal) {
    for (const int signal : {0, SIGHUP, SIGINT, SIGTERM}) {
        TempFolder folder;
        writeBytes(folder / "aircraft.cfg", "[fltsim.3]\r\ntitle=A\r\n");
        const int terminal = posix_openpt(O_RDWR | O_NOCTTY);
        ASSERT_GE(terminal, 0);
        ASSERT_EQ(grantpt(terminal), 0);
        ASSERT_EQ(unlockpt(terminal), 0);
        const std::string side = ptsname(terminal);
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            setsid();
            const int own = open(side.c_str(), O_RDWR);  // becomes the controlling terminal
            if (own < 0 || dup2(own, 0) < 0 || dup2(own, 1) < 0 || dup2(own, 2) < 0 ||
                chdir(folder.path().c_str()) != 0) {
                _exit(126);
            }
            execl(cfgrenumPath(), cfgrenumPath(), static_cast<char*>(nullptr));
            _exit(127);
        }
        termios before{};
        ASSERT_EQ(tcgetattr(terminal, &before), 0);
        bool closed = false;
        const std::string shown = readTerminal(terminal, "Hit any key to continue", closed);
        EXPECT_NE(shown.find("Hit any key to continue"), std::string::npos) << shown;
        if (signal == 0) {
            EXPECT_EQ(write(terminal, "x", 1), 1);
        } else {
            kill(pid, signal);
        }
        readTerminal(terminal, "", closed);
        if (!closed) {
            kill(pid, SIGKILL);
            ADD_FAILURE() << "the wait did not end, signal " << signal;
        }
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "signal " << signal;
        termios after{};
        ASSERT_EQ(tcgetattr(terminal, &after), 0);
        EXPECT_EQ(after.c_lflag, before.c_lflag) << "the terminal's mode was not put back";
        EXPECT_EQ(readBytes(folder / "aircraft.cfg"), "[fltsim.0]\r\ntitle=A\r\n");
        close(terminal);
    }
}

// Runs the program in `folder` as runCfgrenum does, but for a deadline: a program that blocks
// (in the open of a FIFO without a writer, say) is killed after 20 s and fails the test, rather
// than hang it. `status` is -1 then.
RunResult runWithDeadline(const fs::path& folder) {
    RunResult run;
    int err[2] = {-1, -1};
    if (pipe(err) != 0) {
        ADD_FAILURE() << "cannot make a pipe";
        return run;
    }
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = open("/dev/null", O_WRONLY);
        if (null < 0 || dup2(null, 1) < 0 || dup2(err[1], 2) < 0 || chdir(folder.c_str()) != 0) {
            _exit(126);
        }
        close(0);  // no input attached: the final prompt ends at once
        close(err[0]);
        execl(cfgrenumPath(), cfgrenumPath(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(err[1]);
    // The pipe ends when the program does, whatever it does meanwhile.
    pollfd ready{err[0], POLLIN, 0};
    char buffer[256];
    ssize_t n = 1;
    while (n > 0 && poll(&ready, 1, 20000) == 1) {
        n = read(err[0], buffer, sizeof buffer);
        run.err.append(buffer, static_cast<std::size_t>(std::max<ssize_t>(n, 0)));
    }
    close(err[0]);
    if (n > 0) {
        kill(pid, SIGKILL);
        ADD_FAILURE() << "the program did not end within 20 s";
    }
    int status = 0;
    waitpid(pid, &status, 0);
    run.status = n > 0 || !WIFEXITED(status) ? -1 : WEXITSTATUS(status);
    return run;
}

// What is not a regular file on disk is refused without being opened: a FIFO (whose waiting
// writer an open would release, and whose open without one would block), a device or a /proc file
// reached through a link. The system tells of every open of the FIFO, whenever it happens, so no
// order of processes decides the outcome.
TEST(Failure, WhatIsNotAFileOnDiskIsRefusedUnopened) {
    for (const char* kind : {"fifo", "device", "proc"}) {
        TempFolder folder;
        const fs::path file = folder / "aircraft.cfg";
        int opens = -1;
        if (std::string(kind) == "fifo") {
            ASSERT_EQ(mkfifo(file.c_str(), 0644), 0);
            opens = inotify_init1(IN_NONBLOCK);
            ASSERT_GE(opens, 0);
            ASSERT_GE(inotify_add_watch(opens, file.c_str(), IN_OPEN), 0);
        } else {
            fs::create_symlink(std::string(kind) == "device" ? "/dev/null" : "/proc/self/status",
                               file);
        }
        const RunResult run = runWithDeadline(folder.path());
        EXPECT_EQ(run.status, 1) << kind;
        EXPECT_EQ(run.err, shownPath(file) + ": is not a regular file\n") << kind;
        if (opens >= 0) {
            alignas(inotify_event) char events[4096];
            EXPECT_LT(read(opens, events, sizeof events), 0) << "the program opened the FIFO";
            close(opens);
        }
    }
}

// Root, in a folder that everyone may write to and that keeps others' files (sticky), must not
// follow another user's link to a file only root may read: the kernel's guard on links applies.
TEST(Failure, AnotherUsersLinkInASharedFolderIsNotFollowed) {
    if (geteuid() != 0 || !fs::exists("/proc/sys/fs/protected_symlinks") ||
        readBytes("/proc/sys/fs/protected_symlinks").rfind('1', 0) != 0) {
        GTEST_SKIP() << "needs root and the kernel's protected_symlinks";
    }
    TempFolder folder;
    ASSERT_EQ(chmod(folder.path().c_str(), 01777), 0);
    const fs::path secret = folder / "secret";
    writeBytes(secret, "[fltsim.5]\r\n");
    ASSERT_EQ(chmod(secret.c_str(), 0600), 0);
    fs::create_symlink("secret", folder / "aircraft.cfg");
    ASSERT_EQ(lchown((folder / "aircraft.cfg").c_str(), 65534, 65534), 0);
    const RunResult run = runCfgrenum(folder.path());
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err,
              shownPath(folder / "aircraft.cfg") + ": cannot open it: Permission denied\n");
    EXPECT_EQ(readBytes(secret), "[fltsim.5]\r\n");
}

// An attribute that the system will not set on the new file does not stop the run, and is named.
TEST(SavedFile, NamesTheAttributesItCouldNotKeep) {
    if (kSanitized) {
        GTEST_SKIP() << "a sanitizer's runtime must come first, before any preloaded library";
    }
    TempFolder folder;
    const fs::path file = folder / "aircraft.cfg";
    writeBytes(file, "[fltsim.2]\r\ntitle=A\r\n");
    if (setxattr(file.c_str(), "user.denied", "x", 1, 0) != 0 ||
        setxattr(file.c_str(), "user.kept", "y", 1, 0) != 0) {
        GTEST_SKIP() << "the file system here has no extended attributes";
    }
    RunOptions options;
    options.environment = {std::string("LD_PRELOAD=") + CFGRENUM_DENY_ATTRIBUTE};
    const RunResult run = runCfgrenum(folder.path(), options);
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.err.find(shownPath(file) +
                           ": the system did not let the new file keep these extended attributes "
                           "of the old one: user.denied\n"),
              std::string::npos)
        << run.err;
    char value[8] = {0};
    EXPECT_EQ(getxattr(file.c_str(), "user.kept", value, sizeof value), 1);
    EXPECT_EQ(readBytes(file), "[fltsim.0]\r\ntitle=A\r\n");
}

// A member of the file's group may write it but not give a new file to its owner: rewritten, it
// would become the runner's, open to the runner's own group and no longer its owner's to use. It
// is left as it was.
TEST(SavedFile, AnotherUsersFileIsLeftAsItWas) {
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
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find(": belongs to another user, and the new file could not be given to "
                           "them, so it was not replaced\n"),
              std::string::npos)
        << run.err;
    struct stat st {};
    ASSERT_EQ(stat(file.string().c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 0u);
    EXPECT_EQ(readBytes(file), "[fltsim.2]\r\n");
    EXPECT_EQ(filesIn(folder.path()), std::vector<std::string>{"aircraft.cfg"});
}

// In a folder that may be written but not read, the file is tidied; its texture folders, which
// cannot be looked for, are not all taken for missing: one note says why they went unchecked.
TEST(SavedFile, TextureFoldersThatCannotBeListedAreNotCheckedButSaidSo) {
    if (!canRunUnprivileged()) {
        GTEST_SKIP() << "running as root without the right to drop to an unprivileged user";
    }
    TempFolder folder;
    const fs::path file = folder / "aircraft.cfg";
    writeBytes(file, "[fltsim.3]\r\ntitle=A\r\ntexture=A\r\n");
    fs::create_directory(folder / "texture.A");
    giveToUnprivilegedUser(folder.path());
    giveToUnprivilegedUser(file);
    ASSERT_EQ(chmod(folder.path().c_str(), 0300), 0);
    RunOptions options;
    options.unprivileged = true;
    const RunResult run = runCfgrenum(folder.path(), options);
    ASSERT_EQ(chmod(folder.path().c_str(), 0700), 0);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, shownPath(file) +
                           ": 1 aircraft entry, numbered 0; 1 header changed; the old content is "
                           "in aircraft.cfg.bak\n" +
                           shownPath(file) +
                           ": the texture folders were not checked: cannot list the aircraft's "
                           "folder: Permission denied\n");
    EXPECT_EQ(readBytes(file), "[fltsim.0]\r\ntitle=A\r\ntexture=A\r\n");
}

// However the file is named, through "./", ".." and doubled separators or through a link from
// outside the package to its folder or to the file, its package is found and its entry matched.
TEST(Package, IsFoundHoweverTheFileIsNamed) {
    const struct {
        const char* argument;  // in the test's folder
        const char* link;      // made at `argument`'s folder or file, to the real one; or none
        const char* to;
    } rows[] = {
        {"./pkg/SimObjects//Airplanes/../Airplanes/P2/aircraft.cfg", nullptr, nullptr},
        {"elsewhere/P2/aircraft.cfg", "elsewhere/P2", "pkg/SimObjects/Airplanes/P2"},
        {"elsewhere/aircraft.cfg", "elsewhere/aircraft.cfg",
         "pkg/SimObjects/Airplanes/P2/aircraft.cfg"},
    };
    for (const auto& row : rows) {
        TempFolder folder;
        const fs::path file = folder / "pkg/SimObjects/Airplanes/P2/aircraft.cfg";
        fs::create_directories(file.parent_path());
        fs::create_directory(folder / "elsewhere");
        writeBytes(file, "[fltsim.3]\ntitle=A\n");
        writeBytes(folder / "pkg/manifest.json", "{}");
        writeBytes(folder / "pkg/layout.json",
                   R"({"content":[{"path":"SimObjects/Airplanes/P2/aircraft.cfg","size":19,)"
                   R"("date":1}]})");
        if (row.link != nullptr) {
            fs::create_symlink(folder / row.to, folder / row.link);
        }
        RunOptions options;
        options.arguments = {row.argument};
        const RunResult run = runCfgrenum(folder.path(), options);
        EXPECT_EQ(run.status, 0) << row.argument;
        EXPECT_EQ(readBytes(file), "[fltsim.0]\r\ntitle=A\r\n") << row.argument;
        EXPECT_EQ(readBytes(folder / "pkg/layout.json"),
                  R"({"content":[{"path":"SimObjects/Airplanes/P2/aircraft.cfg","size":21,)"
                  R"("date":)" +
                      std::to_string(lastWriteTicks(file)) + "}]}")
            << row.argument << "\n"
            << run.err;
    }
}

// The list counts against the memory the program may take, and one past 64 MiB is no package's
// list at all: either is a note, the list is left as it was, and the file itself is rewritten.
TEST(Package, AListTooLargeIsANote) {
    const std::string entry = R"({"content":[{"path":"aircraft.cfg","size":19,"date":1}])";
    // Small as text, but millions of values once parsed.
    std::string manyValues = entry + R"(,"more":[0)";
    while (manyValues.size() < (4u << 20)) {
        manyValues += ",0";
    }
    manyValues += "]}";
    const struct {
        const char* name;
        std::string list;
        std::uintmax_t size;  // the list's, its end all NULs
        long memoryLimit;
        const char* cause;
    } rows[] = {
        {"past the memory", manyValues, manyValues.size(), 64L << 20,
         "it is too large to hold in the memory available"},
        {"past what a list may be", entry + "}", (std::uintmax_t{64} << 20) + 1, -1,
         "it is too large for a package's file list"},
    };
    for (const auto& row : rows) {
        if (kSanitized && row.memoryLimit >= 0) {
            continue;  // a sanitizer's shadow memory exceeds the limit
        }
        TempFolder folder;
        writeBytes(folder / "aircraft.cfg", "[fltsim.3]\ntitle=A\n");
        writeBytes(folder / "manifest.json", "{}");
        writeBytes(folder / "layout.json", row.list);
        fs::resize_file(folder / "layout.json", row.size);  // sparse: no disk is spent on it
        RunOptions options;
        options.memoryLimit = row.memoryLimit;
        const RunResult run = runCfgrenum(folder.path(), options);
        EXPECT_EQ(run.status, 0) << row.name << ": " << run.err;
        EXPECT_EQ(readBytes(folder / "aircraft.cfg"), "[fltsim.0]\r\ntitle=A\r\n") << row.name;
        EXPECT_NE(run.err.find(shownPath(folder / "layout.json") +
                               ": the entry for aircraft.cfg still records the old size (" +
                               row.cause + "); run the package's layout generator\n"),
                  std::string::npos)
            << row.name << ": " << run.err;
        std::string unchanged = row.list;
        unchanged.resize(row.size, '\0');
        EXPECT_TRUE(readBytes(folder / "layout.json") == unchanged) << row.name;
    }
}

// A signal part way through a run over several files ends it with a status that is not success,
// however the files before it went: the files after it were never touched. Neither a file placed
// nor one found tidy may settle the status for the files that follow.
TEST(Signals, ASignalBeforeTheLastFileIsDoneIsNoSuccess) {
    if (kSanitized) {
        GTEST_SKIP() << "a sanitizer's runtime must come first, before any preloaded library";
    }
    struct Row {
        std::vector<std::string> arguments;
        std::vector<std::string> untidy;  // in the folder "coll"; "a" is there too, tidy or not
        bool aIsTidy;
    };
    for (const Row& row : {Row{{"coll"}, {"a", "b", "c"}, false},
                           Row{{"missing", "coll/a", "coll/b"}, {"b"}, true}}) {
        TempFolder folder;
        for (const char* name : {"a", "b", "c"}) {
            fs::create_directories(folder / "coll" / name);
        }
        writeBytes(folder / "coll" / "a" / "aircraft.cfg",
                   row.aIsTidy ? "[fltsim.0]\r\n" : "[fltsim.3]\r\n");
        for (const char* name : {"b", "c"}) {
            writeBytes(folder / "coll" / name / "aircraft.cfg", "[fltsim.3]\r\n");
        }
        RunOptions options;
        options.arguments = row.arguments;
        options.environment = {std::string("LD_PRELOAD=") + CFGRENUM_DENY_ATTRIBUTE,
                               "CFGRENUM_TEST_TERMINATE_AT=b/aircraft.cfg.tmp-"};
        const RunResult run = runCfgrenum(folder.path(), options);
        EXPECT_EQ(run.status, 128 + SIGTERM) << row.arguments[0] << "\n" << run.err;
        EXPECT_EQ(readBytes(folder / "coll" / "a" / "aircraft.cfg"), "[fltsim.0]\r\n");
        EXPECT_EQ(readBytes(folder / "coll" / "b" / "aircraft.cfg"), "[fltsim.3]\r\n");
        EXPECT_EQ(filesIn(folder / "coll" / "b"), std::vector<std::string>{"aircraft.cfg"});
        EXPECT_EQ(readBytes(folder / "coll" / "c" / "aircraft.cfg"), "[fltsim.3]\r\n");
    }
}

// A folder that a link to somewhere else replaces after the folder above it was listed is not
// entered: the file outside the folder given stays as it was, and the folder is named.
TEST(Walk, AFolderSwappedForALinkIsNotEntered) {
    if (kSanitized) {
        GTEST_SKIP() << "a sanitizer's runtime must come first, before any preloaded library";
    }
    TempFolder folder;
    const fs::path planes = fs::canonical(folder.path()) / "Collection" / "Planes";
    fs::create_directories(planes / "Alpha");
    fs::create_directories(planes / "Beta");
    fs::create_directory(folder / "outside");
    writeBytes(planes / "Alpha/aircraft.cfg", "[fltsim.3]\r\ntitle=A\r\n");
    writeBytes(planes / "Beta/aircraft.cfg", "[fltsim.4]\r\ntitle=B\r\n");
    writeBytes(folder / "outside/aircraft.cfg", "[fltsim.5]\r\ntitle=O\r\n");
    RunOptions options;
    options.arguments = {"Collection"};
    options.environment = {std::string("LD_PRELOAD=") + CFGRENUM_SWAP_FOLDER,
                           "CFGRENUM_SWAP_LISTED=" + planes.string(), "CFGRENUM_SWAP_NAME=Alpha",
                           "CFGRENUM_SWAP_TO=" + (folder / "outside").string()};
    const RunResult run = runCfgrenum(folder.path(), options);
    ASSERT_TRUE(fs::is_symlink(planes / "Alpha")) << "the folder was not swapped: " << run.err;
    EXPECT_EQ(readBytes(folder / "outside/aircraft.cfg"), "[fltsim.5]\r\ntitle=O\r\n");
    EXPECT_FALSE(fs::exists(folder / "outside/aircraft.cfg.bak"));
    EXPECT_EQ(readBytes(planes / "Alpha.moved/aircraft.cfg"), "[fltsim.3]\r\ntitle=A\r\n");
    EXPECT_EQ(readBytes(planes / "Beta/aircraft.cfg"), "[fltsim.0]\r\ntitle=B\r\n");
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.err.find(shownPath(folder / "Collection/Planes/Alpha") +
                           ": was a folder when the folder above it was listed but is not one now "
                           "(a link or a file took its place), so it was passed over\n"),
              std::string::npos)
        << run.err;
}

// A file reached through a bind mount of its folder as well is tidied once, not found tidy and
// warned of as sharing its titles with itself the second time.
TEST(Walk, AFileReachedThroughABindMountIsTidiedOnce) {
    TempFolder folder;
    fs::create_directories(folder / "Real/Alpha");
    fs::create_directory(folder / "View");
    writeBytes(folder / "Real/Alpha/aircraft.cfg", "[fltsim.3]\r\ntitle=A\r\n");
    // The mount lives in this test's own namespace and ends with it.
    if (unshare(CLONE_NEWNS) != 0 ||
        mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        mount((folder / "Real").c_str(), (folder / "View").c_str(), nullptr, MS_BIND, nullptr) !=
            0) {
        GTEST_SKIP() << "this system refuses a bind mount here: " << std::strerror(errno);
    }
    RunOptions options;
    options.arguments = {"Real", "View"};
    const RunResult run = runCfgrenum(folder.path(), options);
    umount((folder / "View").c_str());
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, shownPath(folder / "Real/Alpha/aircraft.cfg") +
                           ": 1 aircraft entry, numbered 0; 1 header changed; the old content is "
                           "in aircraft.cfg.bak\n");
    EXPECT_EQ(readBytes(folder / "Real/Alpha/aircraft.cfg"), "[fltsim.0]\r\ntitle=A\r\n");
}

// An empty argument names nothing: it is refused on its own, and the current folder's file is
// not taken for it.
TEST(Failure, AnEmptyArgumentIsRefused) {
    TempFolder folder;
    writeBytes(folder / "aircraft.cfg", "[fltsim.3]\r\ntitle=A\r\n");
    RunOptions options;
    options.arguments = {""};
    const RunResult run = runCfgrenum(folder.path(), options);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "\"\": is an empty name, so nothing was touched\n");
    EXPECT_EQ(filesIn(folder.path()), std::vector<std::string>{"aircraft.cfg"});
    EXPECT_EQ(readBytes(folder / "aircraft.cfg"), "[fltsim.3]\r\ntitle=A\r\n");
}

}  // namespace
