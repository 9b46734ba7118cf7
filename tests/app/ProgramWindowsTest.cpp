// Whole-program behaviour that only Windows has: other programs holding the file open, and names
// that the system would strip of their trailing dots.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "tests/app/Console.h"
#include "tests/support/RunProgram.h"
#include "tests/support/TempFolder.h"

namespace fs = std::filesystem;

namespace {

const std::string kFile = "[fltsim.5]\r\ntitle=A\r\n";

// Holds `file` open as a scanner would, sharing reading and writing but not deletion (or, with
// `sharing` 0, nothing at all), so that nothing can be renamed over it, and lets go after `hold`.
class Holder {
  public:
    Holder(const fs::path& file, std::chrono::milliseconds hold,
           DWORD sharing = FILE_SHARE_READ | FILE_SHARE_WRITE) {
        handle_ = CreateFileW(file.c_str(), GENERIC_READ, sharing, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
        thread_ = std::thread([this, hold] {
            std::this_thread::sleep_for(hold);
            CloseHandle(handle_);
        });
    }
    ~Holder() { thread_.join(); }
    Holder(const Holder&) = delete;
    Holder& operator=(const Holder&) = delete;
    bool holding() const { return handle_ != INVALID_HANDLE_VALUE; }

  private:
    HANDLE handle_;
    std::thread thread_;
};

// Whether the holder lets others read (the run must wait to replace) or not (it must wait to
// read), a brief hold only delays the run.
TEST(LockedFile, IsReplacedOnceABriefHoldEnds) {
    for (const DWORD sharing : {DWORD{FILE_SHARE_READ | FILE_SHARE_WRITE}, DWORD{0}}) {
        TempFolder folder;
        writeBytes(folder / "aircraft.cfg", kFile);
        Holder scanner(folder / "aircraft.cfg", std::chrono::milliseconds(300), sharing);
        ASSERT_TRUE(scanner.holding());
        const RunResult run = runCfgrenum(folder.path());
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(readBytes(folder / "aircraft.cfg"), "[fltsim.0]\r\ntitle=A\r\n");
        EXPECT_EQ(readBytes(folder / "aircraft.cfg.bak"), kFile);
        EXPECT_EQ(filesIn(folder.path()),
                  (std::vector<std::string>{"aircraft.cfg", "aircraft.cfg.bak"}));
    }
}

TEST(LockedFile, FailsCleanlyWhenTheHoldLasts) {
    TempFolder folder;
    writeBytes(folder / "aircraft.cfg", kFile);
    RunResult run;
    {
        Holder scanner(folder / "aircraft.cfg", std::chrono::seconds(5));
        ASSERT_TRUE(scanner.holding());
        run = runCfgrenum(folder.path());
    }
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err.rfind(shownPath(folder / "aircraft.cfg") + ": cannot replace the file: ", 0),
              0u)
        << run.err;
    EXPECT_EQ(run.out, consoleText(kFailureLine) + consoleText(kPromptLine));
    EXPECT_EQ(readBytes(folder / "aircraft.cfg"), kFile);
    EXPECT_EQ(filesIn(folder.path()), std::vector<std::string>{"aircraft.cfg"});
}

// `path` in the long form, which Windows takes as it stands: the only way to reach "Plane.".
fs::path literally(const fs::path& path) {
    return fs::path(L"\\\\?\\" + fs::path(path).make_preferred().wstring());
}

// Win32 strips trailing dots from names, so that "Plane.\aircraft.cfg" would be read as Plane's
// own file. Each folder's file is tidied as itself, whether the folder above them is dropped or
// "Plane." itself is given.
TEST(TrailingDot, NamesAFolderOfItsOwn) {
    for (const bool dropTheDottedOne : {false, true}) {
        TempFolder folder;
        ASSERT_TRUE(CreateDirectoryW(literally(folder / "Plane.").c_str(), nullptr));
        ASSERT_TRUE(CreateDirectoryW(literally(folder / "Plane").c_str(), nullptr));
        const fs::path dotted = literally(folder / "Plane." / "aircraft.cfg");
        writeBytes(dotted, "[fltsim.4]\r\ntitle=Dotted\r\n");
        writeBytes(folder / "Plane" / "aircraft.cfg", kFile);
        RunOptions options;
        options.arguments = {dropTheDottedOne ? "Plane." : "."};
        const RunResult run = runCfgrenum(folder.path(), options);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(readBytes(dotted), "[fltsim.0]\r\ntitle=Dotted\r\n") << run.err;
        // Given itself, in full; in the folder above, named from that folder.
        EXPECT_NE(
            run.err.find(dropTheDottedOne ? shownPath(folder / "Plane." / "aircraft.cfg") + ": "
                                          : std::string("\nPlane.\\aircraft.cfg: ")),
            std::string::npos)
            << run.err;
        EXPECT_EQ(readBytes(folder / "Plane" / "aircraft.cfg"),
                  dropTheDottedOne ? kFile : "[fltsim.0]\r\ntitle=A\r\n");
        // The test folder's own removal would not reach into "Plane.".
        for (const char* name : {"aircraft.cfg", "aircraft.cfg.bak"}) {
            DeleteFileW(literally(folder / "Plane." / name).c_str());
        }
        RemoveDirectoryW(literally(folder / "Plane.").c_str());
    }
}

// A 32-bit process must refuse a file whose sections would not fit its address space with the
// failure line and the prompt, before the allocator fails in a way that ends it silently.
TEST(LargeFile, IsRefusedCleanlyByThe32BitProgram) {
    if (sizeof(void*) != 4) {
        GTEST_SKIP() << "a 64-bit process holds this file";
    }
    // Each bare header line costs a section at least 32 bytes, so 40 million of them pass the
    // 768 MiB that a 32-bit process lets its sections take.
    TempFolder folder;
    std::string lines;
    lines.reserve(std::size_t{40000000} * 3);
    for (int i = 0; i < 40000000; ++i) {
        lines += "[\r\n";
    }
    writeBytes(folder / "aircraft.cfg", lines);
    const RunResult run = runCfgrenum(folder.path());
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, consoleText(inFolder(
                           "<dir>aircraft.cfg: is too large to hold in the memory available\n",
                           folder.path())));
    EXPECT_EQ(run.out, consoleText(kFailureLine) + consoleText(kPromptLine));
    EXPECT_EQ(filesIn(folder.path()), std::vector<std::string>{"aircraft.cfg"});
}

// The drive ignores letter case but keeps it: a file given in other letter case than its folder
// holds it is shown, replaced and backed up under its own name, not renamed to the spelling typed,
// and given again through its folder it is tidied once.
TEST(Spelling, AFileGivenInOtherLetterCaseKeepsItsOwnName) {
    TempFolder folder;
    fs::create_directories(folder / "Coll" / "Alpha");
    writeBytes(folder / "Coll" / "Alpha" / "Aircraft.cfg", kFile);
    RunOptions options;
    options.arguments = {"coll\\alpha\\AIRCRAFT.CFG", "Coll"};
    const RunResult run = runCfgrenum(folder.path(), options);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, consoleText(shownPath(folder / "Coll" / "Alpha" / "Aircraft.cfg") +
                                   ": 1 aircraft entry, numbered 0; 1 header changed; the old "
                                   "content is in Aircraft.cfg.bak\n"));
    EXPECT_EQ(filesIn(folder / "Coll" / "Alpha"),
              (std::vector<std::string>{"Aircraft.cfg", "Aircraft.cfg.bak"}));
}

}  // namespace
