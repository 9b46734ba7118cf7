// Which files a dropped folder stands for: how far down the walk goes, that it does not follow
// links to folders, and which of several names that differ only in letter case it takes.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/Items.h"
#include "tests/files/ReplaceWith.h"
#include "tests/support/Platform.h"
#include "tests/support/TempFolder.h"

namespace fs = std::filesystem;

namespace {

// The files that dropping `item` stands for, each as the file system finds it.
std::vector<fs::path> filesOf(const fs::path& item) {
    const ItemFiles found = filesOfItems({Text(item.u8string().c_str())});
    std::vector<fs::path> files;
    for (const Text& file : found.files) {
        files.push_back(fs::u8path(file.c_str()));
    }
    return files;
}

// As the usage and the refusal of a folder without a file tell the user.
TEST(Items, AFolderIsWalkedEightFoldersDownAndNoFurther) {
    TempFolder folder;
    fs::path eight = folder / "Dropped";
    for (int level = 1; level <= 8; ++level) {
        eight /= std::to_string(level);
    }
    const fs::path nine = eight / "9";
    fs::create_directories(nine);
    writeBytes(eight / "aircraft.cfg", "");
    writeBytes(nine / "aircraft.cfg", "");
    const std::vector<fs::path> files = filesOf(folder / "Dropped");
    ASSERT_EQ(files.size(), 1u);
    EXPECT_TRUE(fs::equivalent(files[0], eight / "aircraft.cfg")) << files[0];
}

// A link may lead out of the dropped folder, to files the user did not drop, or back into it.
TEST(Items, LinksToFoldersAreNotFollowedOnTheWayDown) {
    if (!kPosix) {
        GTEST_SKIP() << "a Windows program cannot make the Unix link that the walk must pass over";
    }
    TempFolder folder;
    fs::create_directories(folder / "Dropped/Own");
    fs::create_directories(folder / "Elsewhere");
    writeBytes(folder / "Dropped/Own/aircraft.cfg", "");
    writeBytes(folder / "Elsewhere/aircraft.cfg", "");
    fs::create_directory_symlink(folder / "Elsewhere", folder / "Dropped/Link");
    const std::vector<fs::path> files = filesOf(folder / "Dropped");
    ASSERT_EQ(files.size(), 1u);
    EXPECT_TRUE(fs::equivalent(files[0], folder / "Dropped/Own/aircraft.cfg")) << files[0];
}

// Whatever order the folder lists them in, every run takes the same one.
TEST(Items, OfNamesDifferingInLetterCaseTheFirstInByteOrderIsTaken) {
    TempFolder folder;
    fs::create_directories(folder / "Dropped/Plane");
    for (const char* name : {"aircraft.cfg", "AIRCRAFT.CFG", "Aircraft.cfg"}) {
        writeBytes(folder / "Dropped/Plane" / name, "");
    }
    if (filesIn(folder / "Dropped/Plane").size() != 3) {
        GTEST_SKIP() << "the file system here does not tell names apart by letter case";
    }
    // The file directly in a dropped folder, and one found on the way down.
    for (const char* dropped : {"Dropped/Plane", "Dropped"}) {
        const std::vector<fs::path> files = filesOf(folder / dropped);
        ASSERT_EQ(files.size(), 1u) << dropped;
        EXPECT_EQ(files[0].filename(), "AIRCRAFT.CFG") << dropped;
    }
}

}  // namespace

namespace {

// A folder whose listing fails part way tells nothing of itself to the next folder: b's own file
// is taken, and nothing of a's.
TEST(Items, AListingThatFailsPartWayLeavesTheNextFolderItsOwn) {
    TempFolder folder;
    fs::create_directories(folder / "Coll" / "a");
    fs::create_directories(folder / "Coll" / "b");
    writeBytes(folder / "Coll" / "a" / "aircraft.cfg", "");
    writeBytes(folder / "Coll" / "b" / "sim.cfg", "");
    // Coll's listing, then a's, which fails once it has told its entries.
    const CallsDouble failing(Interference::Renames::all, Fault::listPartWay, 1);
    const std::vector<fs::path> files = filesOf(folder / "Coll");
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].filename(), "sim.cfg") << files[0];
}

}  // namespace
