#pragma once

#include <cstdint>
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
    bool fileRewritten = false;
    std::int64_t fileSize = 0;
    Text recordedSize;        // the size the list recorded, as written
    std::vector<Text> notes;  // whole lines for standard error, the list's path first
};

// The file as it stands on disk once the run is done with it, as the list should record it.
struct ListedFile {
    std::int64_t size = 0;
    std::int64_t lastWriteTicks = 0;  // 100-ns ticks since 1601-01-01 UTC
    // Rewritten by this run: its entry is brought up to date whatever it recorded. Otherwise only
    // an entry whose size is not the file's is; a time alone that differs is left, since copying
    // or unpacking a package gives every file a new time.
    bool rewritten = false;
    // It holds aircraft entries, whose folder may hold pasted files that the list leaves out.
    bool holdsEntries = true;
};

// Finds the package around `file` (its links resolved, so that a package is found through a link
// to the file or its folder) and reads its list, which with its edited copy may take
// `memoryBudget` bytes. Where the entry is to be brought up to date, it prepares the list's new
// content and seals it, ready to be committed right after the file; it also notes what the list
// leaves out.
void preparePackageList(const Text& file, const ListedFile& state, std::int64_t memoryBudget,
                        PackageList& package);

// Puts the prepared list in place, once the file itself is, and says so; a failure becomes a note.
void commitPackageList(PackageList& package);
