// Whole-program behaviour that needs more than an input file: the console dialogue, and the ways a
// run can fail on the file system. Every failure must leave aircraft.cfg exactly as it was, leave
// no other file behind, say why on standard error and end with status 1.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/app/Console.h"
#include "tests/support/Platform.h"
#include "tests/support/RunProgram.h"
#include "tests/support/TempFolder.h"

namespace fs = std::filesystem;

namespace {

const std::string kGoodFile = "[fltsim.0]\r\ntitle=A\r\n[general]\r\nx=1\r\n";

TEST(Dialogue, ShowsThePromptBeforeWaitingAndEndsAfterOneLine) {
    TempFolder folder;
    writeBytes(folder / "aircraft.cfg", kGoodFile);
    RunOptions options;
    options.input = "\nmore input that is never read\n";  // the pipe stays open after this
    const RunResult run = runCfgrenum(folder.path(), options);
    EXPECT_TRUE(run.promptBeforeInput);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, consoleText(kSuccessLine) + consoleText(kPromptLine));
}

TEST(Dialogue, TakesAnAnswerLongerThanALineWithoutALineBreak) {
    TempFolder folder;
    writeBytes(folder / "aircraft.cfg", kGoodFile);
    RunOptions options;
    options.input = "a long answer without a line break";
    const RunResult run = runCfgrenum(folder.path(), options);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(readBytes(folder / "aircraft.cfg"), kGoodFile);
}

// What the command line asks for, and only that: an option the program does not know, a file it
// does not tidy or a path that names nothing touches nothing, and the current folder's file is
// never taken instead; --help and --version answer without a run or a wait.
TEST(Dialogue, DoesWhatTheArgumentsAskAndOnlyThat) {
    const std::string unordered = "[fltsim.4]\r\ntitle=A\r\n[fltsim.4]\r\ntitle=B\r\n";
    const std::string ordered = "[fltsim.0]\r\ntitle=A\r\n[fltsim.1]\r\ntitle=B\r\n";
    const std::string prompt = consoleText(kPromptLine);
    const struct {
        std::vector<std::string> arguments;
        int status;
        std::string out;  // its start
        const char* err;  // a part of it
        bool rewritten;   // aircraft.cfg
        bool backup;      // aircraft.cfg.bak beside it
    } rows[] = {
        {{"--help"}, 0, "Usage: cfgrenum", "", false, false},
        {{"-h"}, 0, "Usage: cfgrenum", "", false, false},
        {{"--version"}, 0, "cfgrenum ", "", false, false},
        {{"-v", "aircraft.cfg"},
         1,
         consoleText(kFailureLine) + prompt,
         "-v: is not an option of this program, so nothing was touched; cfgrenum --help lists "
         "them",
         false,
         false},
        {{"other.cfg"},
         1,
         consoleText(kFailureLine) + prompt,
         "other.cfg: is not an aircraft.cfg or a sim.cfg, so it was not touched",
         false,
         false},
        {{"nowhere"},
         1,
         consoleText(kFailureLine) + prompt,
         "nowhere: there is no such file or folder",
         false,
         false},
        {{"--dry-run"},
         0,
         consoleText(kDryRunLine) + prompt,
         "aircraft.cfg: [fltsim.4] -> [fltsim.0]",
         false,
         false},
        {{"--no-backup", "aircraft.cfg"},
         0,
         consoleText(kSuccessLine) + prompt,
         "2 headers changed",
         true,
         false},
        {{"aircraft.cfg"},
         0,
         consoleText(kSuccessLine) + prompt,
         "2 headers changed; the old content is in aircraft.cfg.bak",
         true,
         true},
    };
    for (const auto& row : rows) {
        TempFolder folder;
        writeBytes(folder / "aircraft.cfg", unordered);
        writeBytes(folder / "other.cfg", unordered);
        RunOptions options;
        options.arguments = row.arguments;
        const RunResult run = runCfgrenum(folder.path(), options);
        const std::string name = row.arguments[0];
        EXPECT_EQ(run.status, row.status) << name;
        EXPECT_EQ(run.out.rfind(row.out, 0), 0u) << name << ": " << run.out;
        EXPECT_NE(run.err.find(row.err), std::string::npos) << name << ": " << run.err;
        EXPECT_EQ(readBytes(folder / "aircraft.cfg"), row.rewritten ? ordered : unordered) << name;
        EXPECT_EQ(readBytes(folder / "other.cfg"), unordered) << name;
        EXPECT_EQ(fs::exists(folder / "aircraft.cfg.bak"), row.backup) << name;
    }
}

// A dry run knows which files are in a package, whose textures may live in another package: an
// aircraft's folder there without texture folders is not warned of, and nothing is written.
TEST(Dialogue, ADryRunChecksTexturesAsThePackageHasThem) {
    TempFolder folder;
    const std::string list = "{\"content\": []}";
    const std::string file = "[fltsim.0]\r\ntitle=A\r\ntexture=Club\r\n";
    writeBytes(folder / "layout.json", list);
    writeBytes(folder / "manifest.json", "{}");
    writeBytes(folder / "aircraft.cfg", file);
    RunOptions options;
    options.arguments = {"--dry-run"};
    const RunResult run = runCfgrenum(folder.path(), options);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err.find("texture=Club"), std::string::npos) << run.err;
    EXPECT_EQ(readBytes(folder / "aircraft.cfg"), file);
    EXPECT_EQ(readBytes(folder / "layout.json"), list);
}

// A dry run reads a package's list and says what it would do to it, and writes nothing.
// A file a real run would rewrite has its entry set then, even where the size it records is
// right: a dry run says so too.
TEST(Dialogue, ADryRunSaysTheListWouldRecordAFileItWouldRewrite) {
    TempFolder folder;
    const std::string file = "[fltsim.10]\r\ntitle=A\r\n";
    const std::string list = R"({"content":[{"path":"aircraft.cfg","size":22,"date":1}]})";
    writeBytes(folder / "layout.json", list);
    writeBytes(folder / "manifest.json", "{}");
    writeBytes(folder / "aircraft.cfg", file);
    RunOptions options;
    options.arguments = {"--dry-run"};
    const RunResult run = runCfgrenum(folder.path(), options);
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.err.find(shownPath(folder / "layout.json") +
                           ": would record the new size of aircraft.cfg"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(readBytes(folder / "aircraft.cfg"), file);
    EXPECT_EQ(readBytes(folder / "layout.json"), list);
}

TEST(Dialogue, ADryRunSaysWhatThePackagesListWouldGetAndWritesNothing) {
    TempFolder folder;
    const std::string list = R"({"content":[{"path":"X/aircraft.cfg","size":1,"date":1}]})";
    writeBytes(folder / "layout.json", list);
    writeBytes(folder / "manifest.json", "{}");
    fs::create_directories(folder / "X/texture.NEW");
    writeBytes(folder / "X/aircraft.cfg", kGoodFile);
    writeBytes(folder / "X/texture.NEW/a.dds", "a");
    RunOptions options;
    options.arguments = {"--dry-run", shownPath(folder / "X/aircraft.cfg")};
    const RunResult run = runCfgrenum(folder.path(), options);
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.err.find(shownPath(folder / "layout.json") +
                           ": would list 1 new file (X/texture.NEW/a.dds) and would record the "
                           "new size of X/aircraft.cfg"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(readBytes(folder / "layout.json"), list);
}

// A closed console must not cost the exit status that says the file was rewritten.
TEST(Dialogue, ReportsTheOutcomeByStatusWhenTheOutputIsClosed) {
    TempFolder folder;
    writeBytes(folder / "aircraft.cfg", "[fltsim.3]\r\n");
    RunOptions options;
    options.closedOutput = true;
    const RunResult run = runCfgrenum(folder.path(), options);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(readBytes(folder / "aircraft.cfg"), "[fltsim.0]\r\n");
}

struct FailureCase {
    const char* name;
    const char* error;                   // the cause after the file's path
    void (*prepare)(const TempFolder&);  // after aircraft.cfg has been written
    RunOptions options;
};

void expectUntouchedFailure(const FailureCase& c, const std::string& original) {
    TempFolder folder;
    writeBytes(folder / "aircraft.cfg", original);
    giveToUnprivilegedUser(folder.path());
    giveToUnprivilegedUser(folder / "aircraft.cfg");
    c.prepare(folder);
    const RunResult run = runCfgrenum(folder.path(), c.options);
    fs::permissions(folder.path(), fs::perms::owner_all, fs::perm_options::add);
    fs::permissions(folder / "aircraft.cfg", fs::perms::owner_read, fs::perm_options::add);

    EXPECT_EQ(run.status, 1) << c.name;
    EXPECT_EQ(run.err, consoleText(shownPath(folder / "aircraft.cfg") + ": " + c.error + "\n"))
        << c.name;
    EXPECT_EQ(run.out, consoleText(kFailureLine) + consoleText(kPromptLine)) << c.name;
    EXPECT_EQ(readBytes(folder / "aircraft.cfg"), original) << c.name;
    EXPECT_EQ(filesIn(folder.path()), std::vector<std::string>{"aircraft.cfg"}) << c.name;
}

void makeReadOnly(const TempFolder& folder) {
    // On Windows this sets the read-only attribute.
    fs::permissions(folder / "aircraft.cfg",
                    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
}

RunOptions asUnprivileged() {
    RunOptions options;
    options.unprivileged = true;
    return options;
}

RunOptions withFileSizeLimit(long bytes) {
    RunOptions options;
    options.fileSizeLimit = bytes;
    return options;
}

// Large enough that writing its new content passes a small file size limit part-way; numbered
// from 1, so that it must be rewritten at all.
std::string manyEntries() {
    std::string file;
    for (int i = 1; i <= 2000; ++i) {
        file += "[fltsim." + std::to_string(i) + "]\nkey=value\n";
    }
    return file;
}

TEST(Failure, AReadOnlyFileIsRefused) {
    expectUntouchedFailure(
        {"read-only file", "is read-only, so it was not replaced", makeReadOnly, {}},
        manyEntries());
}

TEST(Failure, PermissionsAndFailedWritesLeaveTheFileUntouched) {
    if (!kPosix) {
        GTEST_SKIP() << "permission bits, other users and file size limits are POSIX only";
    }
    if (!canRunUnprivileged()) {
        GTEST_SKIP() << "running as root without the right to drop to an unprivileged user";
    }
    const FailureCase cases[] = {
        {"unreadable file", "cannot open it: Permission denied",
         [](const TempFolder& f) { chmod((f / "aircraft.cfg").string().c_str(), 0200); },
         asUnprivileged()},
        {"folder without write permission",
         "cannot create a temporary file beside it: Permission denied",
         [](const TempFolder& f) { chmod(f.path().string().c_str(), 0555); }, asUnprivileged()},
        {"write fails part-way", "cannot write the new content: File too large",
         [](const TempFolder&) {}, withFileSizeLimit(4096)},
    };
    for (const FailureCase& c : cases) {
        expectUntouchedFailure(c, manyEntries());
    }
}

TEST(Failure, RunningOutOfMemoryLeavesTheFileUntouched) {
    if (!kPosix || kSanitized) {
        GTEST_SKIP() << "needs a POSIX memory limit, which a sanitizer's shadow memory exceeds";
    }
    std::string large;
    const std::string entry = "[fltsim.1]\r\n" + std::string(1000, 'k') + "\r\n";
    while (large.size() < (48u << 20)) {
        large += entry;
    }
    RunOptions options;
    options.memoryLimit = 24L << 20;
    expectUntouchedFailure({"out of memory", "is too large to hold in the memory available",
                            [](const TempFolder&) {}, options},
                           large);
    // Without the limit, a file whose sections take more than a small file may take unasked
    // (2 MB of bare headers: some 35 MB) is tidied: the system is asked.
    TempFolder folder;
    std::string bareHeaders;
    while (bareHeaders.size() < (2u << 20)) {
        bareHeaders += "[\r\n";
    }
    writeBytes(folder / "aircraft.cfg", bareHeaders + "[fltsim.4]\r\n");
    const RunResult run = runCfgrenum(folder.path());
    EXPECT_EQ(run.status, 0) << run.err;
}

// A memory control group (a container, a systemd slice) ends a process that passes its limit
// without a word; the program must refuse first. But the page cache that earlier work left in the
// group is dropped by the kernel before it refuses memory, so it must not make the program refuse
// a file that a fresh group takes. The groups are made here, as children of the test's own, which
// needs root and a memory controller that may be written.
TEST(Failure, AMemoryControlGroupsLimitIsRefusedCleanly) {
    if (!kPosix || kSanitized) {
        GTEST_SKIP() << "needs a POSIX control group, which a sanitizer's shadow memory exceeds";
    }
    std::string own;
    std::string root;
    std::string limitFile;
    std::string cacheKey;  // the page cache the kernel may drop, in memory.stat
    for (std::string line : {readBytes("/proc/self/cgroup")}) {
        for (std::size_t at = 0; at < line.size();) {
            const std::size_t end = std::min(line.find('\n', at), line.size());
            const std::string entry = line.substr(at, end - at);
            at = end + 1;
            if (entry.find(":memory:") != std::string::npos) {
                own = entry.substr(entry.find(":memory:") + 8);
                root = "/sys/fs/cgroup/memory";
                limitFile = "memory.limit_in_bytes";
                cacheKey = "\ntotal_inactive_file ";
            } else if (entry.rfind("0::", 0) == 0 && root.empty() &&
                       fs::exists("/sys/fs/cgroup/cgroup.controllers")) {
                own = entry.substr(3);
                root = "/sys/fs/cgroup";
                limitFile = "memory.max";
                cacheKey = "\ninactive_file ";
            }
        }
    }
    // A group of `bytes` with no swap to spill into, or an empty path where none may be made.
    std::error_code cannot;
    auto limitedGroup = [&](const std::string& name, long bytes) {
        fs::path group =
            fs::path(root + own) / ("cfgrenum-test-" + name + std::to_string(::getpid()));
        if (root.empty() || !fs::create_directory(group, cannot) ||
            !fs::exists(group / limitFile)) {
            return fs::path();
        }
        writeBytes(group / limitFile, std::to_string(bytes));
        if (fs::exists(group / "memory.memsw.limit_in_bytes")) {
            writeBytes(group / "memory.memsw.limit_in_bytes", std::to_string(bytes));
        }
        if (fs::exists(group / "memory.swap.max")) {
            writeBytes(group / "memory.swap.max", "0");
        }
        return group;
    };
    const fs::path group = limitedGroup("", 256L << 20);
    if (group.empty()) {
        GTEST_SKIP() << "no memory control group may be made here";
    }
    std::string bareHeaders;  // the costliest file for its size: a section for every 3 bytes
    while (bareHeaders.size() < (12u << 20)) {
        bareHeaders += "[\r\n";
    }
    RunOptions options;
    options.controlGroup = (group / "cgroup.procs").string();
    expectUntouchedFailure({"control group", "is too large to hold in the memory available",
                            [](const TempFolder&) {}, options},
                           bareHeaders);
    fs::remove(group, cannot);

    // 60 MiB written once by a process in a 64 MiB group, and flushed: clean cache, not in use.
    const fs::path cached = limitedGroup("cached-", 64L << 20);
    ASSERT_FALSE(cached.empty());
    TempFolder folder;
    const std::string fill = "echo $$ >" + (cached / "cgroup.procs").string() +
                             " && exec dd if=/dev/zero of=" + (folder / "cache").string() +
                             " bs=1048576 count=60 conv=fsync 2>/dev/null";
    ASSERT_EQ(std::system(fill.c_str()), 0);
    const std::string stat = "\n" + readBytes(cached / "memory.stat");
    const std::size_t key = stat.find(cacheKey);
    if (key == std::string::npos || std::stoll(stat.substr(key + cacheKey.size())) < (48L << 20)) {
        fs::remove(cached, cannot);
        GTEST_SKIP() << "the file's cache here is none the kernel may drop (is the temporary "
                        "folder in memory?)";
    }
    std::string typical;  // about 2 MB, which a fresh 64 MiB group takes
    while (typical.size() < (2u << 20)) {
        typical += "[fltsim.1]\r\ntitle=" + std::to_string(typical.size()) + "\r\n" +
                   std::string(1000, 'k') + "\r\n";
    }
    writeBytes(folder / "aircraft.cfg", typical);
    options.controlGroup = (cached / "cgroup.procs").string();
    const RunResult run = runCfgrenum(folder.path(), options);
    EXPECT_EQ(run.status, 0) << run.err;
    fs::remove(cached, cannot);
}

// A console past a few hundred lines is a wall of text: a run shows at most 300 warnings, whether
// they are each file's own (up to 100 of them) or of titles that another file of the run has. The
// files are already tidy, so that every line about an entry is a warning.
TEST(Warnings, ARunOverSeveralFilesShowsAtMostThreeHundred) {
    const struct {
        const char* name;
        bool titled;  // each entry "title=T<its number>", the same in every file; else no title
    } rows[] = {
        {"entries without a title: 150 in each file", false},
        {"titles that the first file has: 150 in each later file", true},
    };
    for (const auto& row : rows) {
        TempFolder folder;
        std::string file;
        for (int i = 0; i < 150; ++i) {
            file += "[fltsim." + std::to_string(i) + "]\r\n";
            file += row.titled ? "title=T" + std::to_string(i) + "\r\n" : "";
        }
        for (const char* plane : {"A", "B", "C", "D"}) {
            fs::create_directory(folder / plane);
            writeBytes(folder / plane / "aircraft.cfg", file);
        }
        RunOptions options;
        options.arguments = {shownPath(folder.path())};
        const RunResult run = runCfgrenum(folder.path(), options);
        EXPECT_EQ(run.status, 0) << row.name;
        std::size_t warnings = 0;  // each line that starts, after the file's path, with an entry
        for (std::size_t at = 0; at < run.err.size();) {
            const std::size_t end = std::min(run.err.find('\n', at), run.err.size());
            warnings += run.err.substr(at, end - at).find(": [fltsim.") != std::string::npos;
            at = end + 1;
        }
        EXPECT_LE(warnings, 300u) << row.name;
        EXPECT_GT(warnings, 200u) << row.name << ": too few warnings to reach the run's cap";
    }
}

TEST(Failure, AFolderNamedLikeTheFileIsLeftAlone) {
    TempFolder folder;
    fs::create_directory(folder / "aircraft.cfg");
    const RunResult run = runCfgrenum(folder.path());
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err,
              consoleText(shownPath(folder / "aircraft.cfg") + ": is not a regular file\n"));
    EXPECT_TRUE(fs::is_directory(folder / "aircraft.cfg"));
    EXPECT_TRUE(fs::is_empty(folder / "aircraft.cfg"));
    EXPECT_EQ(filesIn(folder.path()), std::vector<std::string>{"aircraft.cfg"});
}

// A collection whose files share their titles: past the run's cap of 300 warnings, those of titles
// shared with another file are counted as any other, not dropped without a word.
TEST(Warnings, TitlesSharedPastTheRunsCapAreCounted) {
    TempFolder folder;
    std::string entries;
    for (int i = 0; i < 150; ++i) {
        entries +=
            "[fltsim." + std::to_string(i) + "]\r\ntitle=Livery " + std::to_string(i) + "\r\n";
    }
    for (const char* name : {"a", "b", "c", "d"}) {
        fs::create_directories(folder / "coll" / name);
        writeBytes(folder / "coll" / name / "aircraft.cfg", entries);
    }
    RunOptions options;
    options.arguments = {"coll"};
    const RunResult run = runCfgrenum(folder.path(), options);
    EXPECT_EQ(run.status, 0) << run.err;
    // Named from the folder the run is over.
    EXPECT_NE(run.err.find((fs::path("d") / "aircraft.cfg").string() +
                           ": and 150 more warnings like these"),
              std::string::npos)
        << run.err;
    // Each of b, c and d shares 150 titles with a: the totals count every one, shown or not.
    EXPECT_NE(run.err.find(", 0 refused, 450 warnings"), std::string::npos) << run.err;
}

// The titles a run compares across its files take memory too: where they would pass what the
// program may take, they are compared no more, one line says so, and every file is still tidied.
TEST(Warnings, TitlesThatDoNotFitInMemoryAreLeftOutWithANote) {
    if (!kPosix || kSanitized) {
        GTEST_SKIP() << "needs a POSIX memory limit, which a sanitizer's shadow memory exceeds";
    }
    TempFolder folder;
    for (int file = 0; file < 30; ++file) {
        std::string entries;
        for (int i = 0; i < 1000; ++i) {
            entries += "[fltsim.1]\r\ntitle=" + std::to_string(file) + "-" + std::to_string(i) +
                       std::string(1000, 't') + "\r\n";
        }
        const fs::path inside = folder / "coll" / std::to_string(100 + file);
        fs::create_directories(inside);
        writeBytes(inside / "aircraft.cfg", entries);
    }
    RunOptions options;
    options.arguments = {"coll"};
    options.memoryLimit = 24L << 20;
    const RunResult run = runCfgrenum(folder.path(), options);
    EXPECT_EQ(run.status, 0) << run.err.substr(0, 2000);
    EXPECT_EQ(run.out.rfind("All aircraft renumbered and written successfully\n", 0), 0u);
    EXPECT_NE(run.err.find("too little memory is left to compare the titles"), std::string::npos);
    EXPECT_NE(run.err.find("cfgrenum: 30 files renumbered, 0 already tidy, 0 refused"),
              std::string::npos)
        << run.err.substr(0, 2000);
}

}  // namespace
