#include "sections/FileReplacement.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/support/Platform.h"
#include "tests/support/TempFolder.h"

namespace fs = std::filesystem;

namespace {

const std::string kOld = "[fltsim.1]\r\nold content\r\n";

// Every way of giving up after the temporary file exists must leave the target as it was and no
// temporary file behind.
TEST(Replacement, GivingUpLeavesTheTargetAndNoTemporaryFile) {
    for (const char* how : {"abandon", "out of scope", "commit after abandon"}) {
        TempFolder folder;
        const std::string target = (folder / "aircraft.cfg").string();
        writeBytes(target, kOld);
        {
            Replacement replacement;
            Text why;
            ASSERT_TRUE(beginReplacement(target.c_str(), replacement, why)) << why.c_str();
            ASSERT_TRUE(writeReplacement(replacement, "new", 3, why));
            EXPECT_EQ(filesIn(folder.path()).size(), 2u) << "the temporary file stands beside";
            if (std::string(how) != "out of scope") {
                abandonReplacement(replacement);
            }
            if (std::string(how) == "commit after abandon") {
                EXPECT_FALSE(commitReplacement(replacement, why));
                EXPECT_FALSE(writeReplacement(replacement, "x", 1, why));
            }
        }
        EXPECT_EQ(readBytes(target), kOld) << how;
        EXPECT_EQ(filesIn(folder.path()), std::vector<std::string>{"aircraft.cfg"}) << how;
    }
}

TEST(Replacement, CommitReplacesTheWholeContent) {
    TempFolder folder;
    const std::string target = (folder / "aircraft.cfg").string();
    writeBytes(target, kOld + kOld + kOld);
    Replacement replacement;
    Text why;
    ASSERT_TRUE(beginReplacement(target.c_str(), replacement, why));
    ASSERT_TRUE(writeReplacement(replacement, "short", 5, why));
    ASSERT_TRUE(commitReplacement(replacement, why)) << why.c_str();
    EXPECT_EQ(readBytes(target), "short");
    EXPECT_EQ(filesIn(folder.path()), std::vector<std::string>{"aircraft.cfg"});
}

TEST(Replacement, RefusesWhatItCannotReplace) {
    TempFolder folder;
    fs::create_directory(folder / "folder.cfg");
    const struct {
        const char* name;
        const char* why;
    } rows[] = {
        // Windows words this in the system's language (and Wine in its own).
        {"missing.cfg", kPosix ? "No such file or directory" : nullptr},
        {"folder.cfg", "is not a regular file"},
    };
    for (const auto& row : rows) {
        Replacement replacement;
        Text why;
        EXPECT_FALSE(beginReplacement((folder / row.name).string().c_str(), replacement, why));
        if (row.why != nullptr) {
            EXPECT_STREQ(why.c_str(), row.why) << row.name;
        } else {
            EXPECT_FALSE(why.empty()) << row.name;
        }
    }
    EXPECT_EQ(filesIn(folder.path()), std::vector<std::string>{"folder.cfg"});
}

// A failing final rename must remove the temporary file and leave what stands at the target.
TEST(Replacement, AFailedRenameRollsBack) {
    if (!kPosix) {
        GTEST_SKIP() << "replacing a file by a folder while it is open is refused on Windows";
    }
    TempFolder folder;
    const fs::path target = folder / "aircraft.cfg";
    writeBytes(target, kOld);
    Replacement replacement;
    Text why;
    ASSERT_TRUE(beginReplacement(target.string().c_str(), replacement, why));
    ASSERT_TRUE(writeReplacement(replacement, "new", 3, why));
    // Something else takes the name before the rename: a folder that is not empty.
    fs::remove(target);
    fs::create_directory(target);
    writeBytes(target / "keep", "x");
    EXPECT_FALSE(commitReplacement(replacement, why));
    EXPECT_EQ(std::string(why.c_str()).rfind("cannot replace the file: ", 0), 0u) << why.c_str();
    EXPECT_EQ(readBytes(target / "keep"), "x");
    EXPECT_EQ(filesIn(folder.path()), std::vector<std::string>{"aircraft.cfg"});
}

}  // namespace
