#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "app/MemoryBudget.h"
#include "files/FileReplacement.h"
#include "text/Text.h"

// The file lists (layout.json) of the packages that a run's files may belong to, kept true to the
// files: the newest simulators load only the files a list names, and read each only up to the size
// it records. A package is the nearest folder above a file that holds both layout.json and
// manifest.json. manifest.json is only looked for; its total size is informational and left as it
// is. Nothing here ever fails the run: what cannot be done becomes a note.
//
// Each list is read once, and replaced at most once, for all of its package's files in the run,
// right after the last of them is handled: a run over a collection neither rewrites a list once
// for every file nor holds back a file's entry longer than its package's files take. Should the
// run end between a file and its list, the list keeps the old size, and the next run mends it.

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

class PackageLists {
  public:
    // The run's files, in the order they are handled. Finds the package of each, from its path
    // with links resolved, so that a package is found through a link to a file or its folder:
    // `resolved[i]` where the caller has it already, otherwise resolved here.
    explicit PackageLists(const std::vector<Text>& files, const std::vector<Text>& resolved = {});

    // What became of file `index` of the run; a file that is not recorded (refused, or only
    // looked at) leaves its entry as it is.
    void record(std::size_t index, const ListedFile& state);

    // Once file `index` is handled: when it is the last of its package's, reads the package's
    // list, which with its edited copy may take what `memory` allows less the `held` bytes that
    // the file's sections still take, brings the entries of the recorded files up to date in one
    // safe replace, and tells what the list leaves out. The notes are whole lines, the list's
    // path first.
    std::vector<Text> settleAfter(std::size_t index, MemoryBudget& memory, std::int64_t held);

  private:
    struct Pending {
        Text entry;   // the file's path in the list
        Text folder;  // the file's folder, links resolved
        ListedFile state;
        Text recordedSize;  // the size the list recorded, as written
    };
    struct Package {
        Text root;  // the package's folder, with its closing separator
        std::size_t lastFile = 0;
        std::vector<Pending> files;
    };
    std::vector<Package> packages_;
    std::vector<std::ptrdiff_t> packageOf_;  // for each file of the run, or -1
    std::vector<Pending> found_;             // each file's entry and folder, until recorded
};
