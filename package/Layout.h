#pragma once

// The file list of a package of the newest simulators, layout.json, which names every file of the
// package with its size and time of last change:
//   {"content": [{"path": "SimObjects/Airplanes/X/aircraft.cfg", "size": 5873,
//                 "date": 133017734419960000}, ...]}
// The simulator loads only the files listed there, and reads a file only up to the size listed,
// so a file that the program rewrites must be listed anew. This works on the list's bytes only.

#include <cstdint>
#include <string>
#include <vector>

struct LayoutUpdate {
    bool listed = false;                // the file has an entry
    std::string bytes;                  // the new list, when it has
    std::vector<std::string> unlisted;  // the files asked about that the list leaves out
};

// Finds the entry whose path names `path` (relative to the package's folder, with '/'
// separators) and gives it `size` and `date` (100-ns ticks since 1601-01-01 UTC), changing only
// the digits of those two numbers: every other byte stays as it was. Paths are compared after
// their escapes are decoded, in ASCII letter case as Windows compares them. Also tells which of
// `files` (the same kind of paths) the list leaves out. False, with the cause in `why`, when the
// list is not what it should be: not JSON, no "content" array of entries that each have a path,
// the file listed twice, or a size or date that is not a plain integer.
bool updateLayout(const std::string& layout, const std::string& path, std::int64_t size,
                  std::int64_t date, const std::vector<std::string>& files, LayoutUpdate& update,
                  std::string& why);
