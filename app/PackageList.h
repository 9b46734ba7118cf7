#pragma once

#include <vector>

#include "platform/FileReplacement.h"
#include "text/Text.h"

// The file list (layout.json) of the package that a tidied file may belong to, kept true to the
// file: the newest simulators load only the files it lists, and read each only up to the size it
// records. A package is the nearest folder above the file that holds both layout.json and
// manifest.json. manifest.json is only looked for; its total size is informational and left as
// it is. Nothing here ever fails the run: what cannot be done becomes a note.
struct PackageList {
    Text layoutPath;     // empty when the file belongs to no package
    Text entry;          // the file's path in the list
    Replacement layout;  // the prepared new list, when `prepared`
    bool prepared = false;
    std::vector<Text> notes;  // whole lines for standard error, the list's path first
};

// Finds the package around `file` and reads its list. With `facts`, the rewritten file's sealed
// size and time, it also prepares the list's new content and seals it, ready to be committed
// right after the file; without, it only notes what the list leaves out.
void preparePackageList(const Text& file, const SealedFacts* facts, PackageList& package);

// Puts the prepared list in place, once the file itself is; a failure becomes a note.
void commitPackageList(PackageList& package);
