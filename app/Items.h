#pragma once

#include <vector>

#include "app/Report.h"
#include "checks/EntryChecks.h"
#include "files/Walk.h"
#include "text/Text.h"

// The files that the items on the command line stand for. A file must be an aircraft.cfg or a
// sim.cfg (in any ASCII letter case); a folder means the one it holds directly, or else every one
// below it, up to kDeepest folders down. Links to folders are not followed on the way down, so
// that nothing is reached twice and no loop is walked. In one folder aircraft.cfg is taken rather
// than sim.cfg. With no item at all, the current folder is looked in, as when the program is
// double-clicked there (filesOfCurrentFolder); when any item was given, the current folder is
// never used.
struct ItemFiles {
    std::vector<Text> files;         // in the order the items and the walk met them
    std::vector<PathNote> refusals;  // an item that stands for nothing to tidy
    std::vector<PathNote> notes;     // a folder below an item that could not be read, say
    // The one folder the run is over, when it is (as given; empty for the current folder), whose
    // files the lines may name from there.
    Text folder;
    bool overOneFolder = false;
    // For each of `files`, the texture folders beside it, where the listing that found the file
    // told them (`listed`): a folder of hundreds of thousands of them is then listed only once.
    std::vector<TextureFolders> textures;
    // For each of `files`, where it really is (links resolved), as the check for a file reached
    // twice found it: the package's list is found from it without resolving the path again.
    std::vector<Text> resolved;
};

ItemFiles filesOfItems(const std::vector<Text>& items);

// What the current folder stands for, as if it were the one item: the program run with no item
// (double-clicked) in an aircraft's folder, or in a folder of many. A folder that stands for
// nothing is refused with a line that says how the program is meant to be run.
ItemFiles filesOfCurrentFolder();
