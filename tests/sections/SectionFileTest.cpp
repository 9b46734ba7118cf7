#include "sections/SectionFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "tests/support/Platform.h"
#include "tests/support/TempFolder.h"

namespace fs = std::filesystem;

namespace {

// Opens and loads `file` as a run does; false with the cause when that fails.
bool load(const fs::path& file, Replacement& replacement, SectionList& list, Text& why) {
    return openOriginal(file.string().c_str(), replacement, why) &&
           loadSections(replacement, list, why);
}

// Loads and saves `file` without changing the sections.
bool loadAndSave(const fs::path& file, Text& why) {
    Replacement replacement;
    SectionList list;
    const bool done = load(file, replacement, list, why) && saveSections(replacement, list, why);
    discardSections(list);
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
        // Windows words the reason in the system's language (and Wine in its own).
        {"missing.cfg", kPosix ? "cannot open it: No such file or directory" : nullptr},
        {"folder.cfg", "is not a regular file"},
        {"binary.cfg", "contains a NUL byte, so it is not a plain text file"},
    };
    for (const Row& row : rows) {
        Replacement replacement;
        SectionList list;
        Text why;
        EXPECT_FALSE(load(folder / row.name, replacement, list, why)) << row.name;
        if (row.why != nullptr) {
            EXPECT_STREQ(why.c_str(), row.why);
        }
        EXPECT_EQ(list.head, nullptr);
        EXPECT_EQ(replacement.state, nullptr) << "the file was left open";
    }
    EXPECT_EQ(filesIn(folder.path()),
              (std::vector<std::string>{"binary.cfg", "folder.cfg"}));  // nothing created
}

TEST(LoadSections, ReadsLinesLongerThanItsChunksWhole) {
    TempFolder folder;
    const std::string line = "k=" + std::string(200000, 'x');
    writeBytes(folder / "aircraft.cfg", "[a]\r\n" + line + "\r\n[b]\r\n" + line);
    Replacement replacement;
    SectionList list;
    Text why;
    ASSERT_TRUE(load(folder / "aircraft.cfg", replacement, list, why));
    ASSERT_NE(list.head->next, nullptr);
    EXPECT_EQ(std::string(list.head->body.c_str()), line + "\n");
    EXPECT_EQ(std::string(list.head->next->body.c_str()), line + "\n");
    discardSections(list);
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
    EXPECT_STREQ(why.c_str(), "is read-only, so it was not replaced");
    EXPECT_EQ(readBytes(file), "[a]\nx=1\n");
    EXPECT_EQ(filesIn(folder.path()), std::vector<std::string>{"aircraft.cfg"});
    EXPECT_EQ(fs::status(file).permissions() & fs::perms::owner_write, fs::perms::none);
}

TEST(SaveSections, RefusesAnEmptyListAndLeavesTheFile) {
    TempFolder folder;
    const fs::path file = folder / "aircraft.cfg";
    writeBytes(file, "[a]\n");
    Replacement replacement;
    SectionList list;
    Text why;
    ASSERT_TRUE(load(file, replacement, list, why));
    discardSections(list);
    EXPECT_FALSE(saveSections(replacement, list, why));
    EXPECT_STREQ(why.c_str(), "there is nothing to write");
    EXPECT_EQ(readBytes(file), "[a]\n");
    EXPECT_EQ(filesIn(folder.path()), std::vector<std::string>{"aircraft.cfg"});
}

}  // namespace
