#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "app/MemoryBudget.h"
#include "files/FileReplacement.h"
#include "package/Discovery.h"
#include "package/ListPlan.h"
#include "text/Text.h"

// The file lists (layout.json) of the packages that a run's files may belong to, kept true to the
// files: the newest simulators load only the files a list names, and read each only up to the size
// it records. Which package a file belongs to, and what its list needs, are package/'s to work
// out (see package/Discovery.h and package/ListPlan.h); here the folders are asked, the list read
// and safely replaced, and what became of it worded. manifest.json is only looked for; its total
// size is informational and left as it is. Nothing here ever fails the run: what cannot be done
// becomes a note.
//
// Each list is read once, and replaced at most once, for all of its package's files in the run,
// right after the last of them is handled: a run over a collection neither rewrites a list once
// for every file nor holds back a file's entry longer than its package's files take. Should the
// run end between a file and its list, the list keeps the old size, and the next run mends it.
class PackageLists {
  public:
    // The run's files, in the order they are handled. Finds the package of each, from its path
    // with links resolved, so that a package is found through a link to a file or its folder:
    // `resolved[i]` where the caller has it already, otherwise resolved here.
    // In a dry run the lists are read and what their edits would do is told, but none is written.
    explicit PackageLists(const std::vector<Text>& files, const std::vector<Text>& resolved = {},
                          bool dryRun = false);

    // What became of file `index` of the run; a file that is not recorded (refused, or only
    // looked at) leaves its entry as it is.
    void record(std::size_t index, const ListedFile& state);

    // Once file `index` is handled: when it is the last of its package's, reads the package's
    // list, which with its edited copy may take what `memory` allows less the `held` bytes that
    // the file's sections still take, brings the entries of the recorded files up to date in one
    // safe replace, with what their aircraft's folders hold (see package/ListPlan.h), and tells
    // what was done and what the list still leaves out. The notes are whole lines, the list's
    // path first.
    std::vector<Text> settleAfter(std::size_t index, MemoryBudget& memory, std::int64_t held);

    // The folder of the package that file `index` of the run is in, with its closing separator,
    // and in `entry` the file's path there; empty for a file of no package. Asked before the file
    // is recorded, which takes its path over.
    Text packageOf(std::size_t index, Text& entry) const {
        if (index >= found_.size() || found_[index].package < 0) {
            return Text();
        }
        entry = found_[index].entry;
        return packages_[static_cast<std::size_t>(found_[index].package)].found.root;
    }

  private:
    // A recorded file of a package, until its list is settled.
    struct Pending {
        PackageFile file;  // as the plan takes it
        Text folder;       // its folder, links resolved
    };
    struct Package {
        FoundPackage found;
        std::vector<Pending> files;
    };
    std::vector<Package> packages_;
    std::vector<FoundFile> found_;  // for each file of the run
    bool dryRun_ = false;
};
