// The one walk below a folder, with the file-system port's double failing or changing a chosen
// call: what a folder that cannot be read, or that is swapped while the walk is under way, does
// to the files found.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "files/Walk.h"
#include "tests/files/ReplaceWith.h"
#include "tests/support/TempFolder.h"

namespace {

namespace fs = std::filesystem;

struct Found {
    std::vector<std::string> files;
    std::vector<WalkError> errors;
};

Found filesBelowOf(const fs::path& folder) {
    Found found;
    for (const Text& file : filesBelow(Text(folder.string().c_str()), 1000, found.errors)) {
        found.files.emplace_back(file.c_str());
    }
    std::sort(found.files.begin(), found.files.end());
    return found;
}

bool endsWith(const Text& path, const std::string& end) {
    const std::string text = path.c_str();
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// Three folders a, b and c in `top`, each with a file x.
void threeFolders(const fs::path& top) {
    for (const char* name : {"a", "b", "c"}) {
        fs::create_directory(top / name);
        writeBytes(top / name / "x", "x");
    }
}

TEST(Walk, AFolderThatCannotBeListedIsNamedAndTheOthersAreWalked) {
    TempFolder top;
    threeFolders(top.path());
    // The start's listing, then a's: b's is the third.
    const CallsDouble failing(Interference::Renames::all, Fault::listFolder, 2);
    const Found found = filesBelowOf(top.path());
    EXPECT_EQ(found.files, (std::vector<std::string>{"a/x", "c/x"}));
    ASSERT_EQ(found.errors.size(), 1u);
    EXPECT_EQ(found.errors[0].kind, WalkError::Kind::unreadable);
    EXPECT_TRUE(endsWith(found.errors[0].path, "b")) << found.errors[0].path.c_str();
    EXPECT_FALSE(found.errors[0].reason.empty());
}

TEST(Walk, GoesAsDeepAsItsLimitAndNoDeeper) {
    TempFolder top;
    fs::path folder = top.path();
    std::string relative;
    for (int depth = 1; depth <= kDeepest + 1; ++depth) {
        folder /= "d";
        relative += "d/";
        fs::create_directory(folder);
        writeBytes(folder / "x", "x");
    }
    const Found found = filesBelowOf(top.path());
    const std::string deepest = relative.substr(0, 2 * kDeepest) + "x";
    EXPECT_EQ(found.files.size(), static_cast<std::size_t>(kDeepest));
    EXPECT_NE(std::find(found.files.begin(), found.files.end(), deepest), found.files.end());
    EXPECT_TRUE(found.errors.empty());
}

const fs::path* gMoved = nullptr;

void moveTheStart(const char* name) {
    if (std::string(name) == "b") {
        std::error_code refused;  // where the system keeps a held folder where it is
        fs::rename(*gMoved, fs::path(gMoved->string() + "-moved"), refused);
    }
}

TEST(Walk, AFolderMovedWhileItIsWalkedIsWalkedAsItWasReached) {
    TempFolder root;
    const fs::path top = root / "top";
    fs::create_directory(top);
    threeFolders(top);
    gMoved = &top;
    const CallsDouble moving(Interference::Renames::all);
    CallsDouble::beforeHoldingIn = moveTheStart;
    const Found found = filesBelowOf(top);
    EXPECT_EQ(found.files, (std::vector<std::string>{"a/x", "b/x", "c/x"}));
    EXPECT_TRUE(found.errors.empty());
}

#ifndef _WIN32

const fs::path* gSwapped = nullptr;

// Puts a link to a folder outside the walk where folder b stood, as it is about to be opened.
void swapB(const char* name) {
    if (std::string(name) == "b") {
        fs::rename(*gSwapped / "b", *gSwapped / "b-moved");
        fs::create_directory_symlink(*gSwapped / ".." / "outside", *gSwapped / "b");
    }
}

TEST(Walk, AFolderSwappedForALinkWhenItIsOpenedIsNotEntered) {
    TempFolder root;
    fs::create_directory(root / "top");
    fs::create_directory(root / "outside");
    writeBytes(root / "outside" / "secret", "not the user's to walk");
    const fs::path top = root / "top";
    for (const char* name : {"a", "b"}) {
        fs::create_directory(top / name);
        writeBytes(top / name / "x", "x");
    }
    gSwapped = &top;
    const CallsDouble swapping(Interference::Renames::all);
    CallsDouble::beforeHoldingIn = swapB;
    const Found found = filesBelowOf(top);
    EXPECT_EQ(found.files, (std::vector<std::string>{"a/x"}));
    ASSERT_EQ(found.errors.size(), 1u);
    EXPECT_EQ(found.errors[0].kind, WalkError::Kind::replaced);
    EXPECT_TRUE(endsWith(found.errors[0].path, "b")) << found.errors[0].path.c_str();
}

TEST(Walk, ListsNoLinks) {
    TempFolder top;
    writeBytes(top / "x", "x");
    fs::create_symlink(top / "x", top / "link-to-x");
    fs::create_directory(top / "a");
    fs::create_directory_symlink(top / "a", top / "link-to-a");
    writeBytes(top / "a" / "y", "y");
    EXPECT_EQ(filesBelowOf(top.path()).files, (std::vector<std::string>{"a/y", "x"}));
}

#endif

}  // namespace
