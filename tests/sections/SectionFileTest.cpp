#include "sections/SectionFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <iostream>
#include <sstream>
#include <string>

#include "tests/support/Platform.h"
#include "tests/support/TempFolder.h"

namespace fs = std::filesystem;

namespace {

// Loads and saves `file` without changing the sections, as a run does.
bool loadAndSave(const fs::path& file, Text& why) {
    SectionList list;
    const bool done = loadSections(file.string().c_str(), list, why) &&
                      saveSections(file.string().c_str(), list, why);
    if (list.head != nullptr) {
        releaseSections(list);
    }
    return done;
}

TEST(LoadSections, ReportsFilesItCannotReadAndLeavesTheListEmpty) {
    TempFolder folder;
    fs::create_directory(folder / "folder.cfg");
    writeBytes(folder / "binary.cfg", std::string("[a]\r\n\0\r\n", 8));
    struct Row {
        const char* name;
        const char* why;
    };
    const Row rows[] = {
        {"missing.cfg", "No such file or directory"},
        {"folder.cfg", kFolderAsFileError},
        {"binary.cfg", "contains a NUL byte, so it is not a plain text file"},
    };
    for (const Row& row : rows) {
        SectionList list;
        Text why;
        EXPECT_FALSE(loadSections((folder / row.name).string().c_str(), list, why)) << row.name;
        EXPECT_STREQ(why.c_str(), row.why);
        EXPECT_EQ(list.head, nullptr);
    }
    EXPECT_EQ(filesIn(folder.path()),
              (std::vector<std::string>{"binary.cfg", "folder.cfg"}));  // nothing created
}

TEST(LoadSections, ReadsLinesLongerThanItsChunksWhole) {
    TempFolder folder;
    const std::string line = "k=" + std::string(200000, 'x');
    writeBytes(folder / "aircraft.cfg", "[a]\r\n" + line + "\r\n[b]\r\n" + line);
    SectionList list;
    Text why;
    ASSERT_TRUE(loadSections((folder / "aircraft.cfg").string().c_str(), list, why));
    ASSERT_NE(list.head->next, nullptr);
    EXPECT_EQ(std::string(list.head->body.c_str()), line + "\n");
    EXPECT_EQ(std::string(list.head->next->body.c_str()), line + "\n");
    releaseSections(list);
}

TEST(SaveSections, ReplacesTheFileKeepingItsPermissionsAndLeavingNoOtherFile) {
    if (!kPosix) {
        GTEST_SKIP() << "permission bits are POSIX only";
    }
    TempFolder folder;
    const fs::path file = folder / "aircraft.cfg";
    writeBytes(file, "[a]\nx=1\n");
    ASSERT_EQ(chmod(file.string().c_str(), 0640), 0);
    Text why;
    ASSERT_TRUE(loadAndSave(file, why)) << why.c_str();
    EXPECT_EQ(readBytes(file), "[a]\r\nx=1\r\n");
    struct stat st {};
    ASSERT_EQ(stat(file.string().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(filesIn(folder.path()), std::vector<std::string>{"aircraft.cfg"});
}

TEST(SaveSections, RewritesTheFileBehindASymbolicLinkAndKeepsTheLink) {
    if (!kPosix) {
        GTEST_SKIP() << "symbolic links need privileges on Windows and are tested on POSIX only";
    }
    TempFolder folder;
    fs::create_directory(folder / "real");
    writeBytes(folder / "real" / "aircraft.cfg", "[a]\nx=1\n");
    fs::create_symlink("real/aircraft.cfg", folder / "aircraft.cfg");
    Text why;
    ASSERT_TRUE(loadAndSave(folder / "aircraft.cfg", why)) << why.c_str();
    EXPECT_TRUE(fs::is_symlink(folder / "aircraft.cfg"));
    EXPECT_EQ(readBytes(folder / "real" / "aircraft.cfg"), "[a]\r\nx=1\r\n");
    EXPECT_EQ(filesIn(folder.path()), (std::vector<std::string>{"aircraft.cfg", "real"}));
    EXPECT_EQ(filesIn(folder / "real"), std::vector<std::string>{"aircraft.cfg"});
}

TEST(SaveSections, RefusesAReadOnlyFile) {
    TempFolder folder;
    const fs::path file = folder / "aircraft.cfg";
    writeBytes(file, "[a]\nx=1\n");
    fs::permissions(file, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);  // the read-only attribute on Windows
    Text why;
    EXPECT_FALSE(loadAndSave(file, why));
    EXPECT_STREQ(why.c_str(), "the file is read-only, so it was not replaced");
    EXPECT_EQ(readBytes(file), "[a]\nx=1\n");
    EXPECT_EQ(filesIn(folder.path()), std::vector<std::string>{"aircraft.cfg"});
    EXPECT_EQ(fs::status(file).permissions() & fs::perms::owner_write, fs::perms::none);
}

TEST(SaveSections, WritesNothingForAnEmptyList) {
    TempFolder folder;
    const fs::path file = folder / "aircraft.cfg";
    writeBytes(file, "[a]\n");
    SectionList empty;
    Text why;
    EXPECT_FALSE(saveSections(file.string().c_str(), empty, why));
    EXPECT_EQ(readBytes(file), "[a]\n");
    EXPECT_FALSE(saveSections((folder / "new.cfg").string().c_str(), empty, why));
    EXPECT_FALSE(fs::exists(folder / "new.cfg"));
}

TEST(ReleaseSections, SaysSoOnlyWhenThereIsNothingToRelease) {
    std::ostringstream captured;
    std::streambuf* console = std::cout.rdbuf(captured.rdbuf());
    SectionList list;
    appendSection(Text("[a]"), Text("x\n"), list);
    appendSection(Text("[b]"), Text(), list);
    releaseSections(list);
    const std::string afterFull = captured.str();
    releaseSections(list);
    std::cout.rdbuf(console);
    EXPECT_EQ(afterFull, "");
    EXPECT_EQ(captured.str(), "Data already deleted\n");
    EXPECT_EQ(list.head, nullptr);
    EXPECT_EQ(list.tail, nullptr);
}

}  // namespace
