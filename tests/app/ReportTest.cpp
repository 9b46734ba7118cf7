// How lines name paths: in full, and in a run over one folder, from that folder, which itself is
// named as a console shows a folder, whatever spelling of it was given.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "app/Report.h"
#include "platform/Paths.h"

namespace {

namespace fs = std::filesystem;

std::string shown(const char* path) {
    return shownPath(Text(path)).c_str();
}

TEST(ShownPath, NamesFilesFromTheFolderARunIsOver) {
    const std::string here = fs::current_path().string();
    const std::string inside = (fs::path("A") / "aircraft.cfg").string();
    for (const char* folder : {".", ""}) {
        showPathsFrom(Text(folder));
        EXPECT_EQ(shown(folder), here) << '"' << folder << '"';
        EXPECT_EQ(shown("."), here) << '"' << folder << '"';
        EXPECT_EQ(shown(""), here) << '"' << folder << '"';
        EXPECT_EQ(shownPath(Text(inside.c_str())).c_str(), inside) << '"' << folder << '"';
    }
    showPathsInFull();
    EXPECT_EQ(shownPath(Text(inside.c_str())).c_str(), (fs::path(here) / inside).string());
}

}  // namespace
