#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "checks/EntryChecks.h"
#include "sections/Section.h"
#include "text/Text.h"

// What a run says of all its files together: how many warnings it shows, and the titles that two
// of its files share.

// How many warnings a run shows. Past a cap a console shows no more than a wall of text, so the
// rest are only counted, and a line says how many, so that the user knows there are more to mend.
class WarningBudget {
  public:
    // Of a file's own warnings, the first this many are shown.
    static constexpr std::size_t kMostInAFile = 100;
    // Of a run over several files, the first this many; a single file has only its own cap.
    static constexpr std::size_t kMostInARun = 300;

    explicit WarningBudget(std::size_t files)
        : left_(files > 1 ? kMostInARun : static_cast<std::size_t>(-1)) {}

    // How many of a file's own warnings a check may still keep.
    std::size_t forFile() const { return left_ < kMostInAFile ? left_ : kMostInAFile; }

    // Shows of a file's warnings what the run still has room for; the rest are hidden.
    void show(EntryWarnings& warnings);

    // Whether the run shows no more warnings: any more are hidden, each counted by hide().
    bool full() const { return left_ == 0; }
    void hide() {
        ++hidden_;
        ++counted_;
    }
    // Takes one warning to show, when the run is not full.
    void showOne() {
        if (left_ > 0) {
            --left_;
        }
        ++counted_;
    }

    // Every warning of the run so far, shown or only counted.
    std::size_t counted() const { return counted_; }

    // Those hidden since the last call: each group of a file's lines ends with its own count.
    std::size_t takeHidden();

  private:
    std::size_t left_;
    std::size_t hidden_ = 0;
    std::size_t counted_ = 0;
};

// "and N more warnings like these", for `more` warnings hidden.
Text moreWarnings(std::size_t more);

// What the run's title table may take, in bytes, once it holds `bytes`: asked as it grows, since
// what a run may take can depend on how much it asks for.
using TitleAllowance = std::function<std::int64_t(std::int64_t bytes)>;

// Where a file stands to the simulator, which merges every package into one tree: its package's
// folder, as shown, and its path in the package, with '/' separators. Both empty for a file of no
// package.
struct PlaceInPackage {
    Text package;
    Text path;
};

// The titles met so far in a run, folded to ASCII lower case as the simulator compares them, with
// the file and entry that had each first. The simulator keys aircraft by title across everything
// it loads, so two files that share one hide one another.
class RunTitles {
  public:
    // Adds to `lines` a warning for each entry of `sections` whose title an entry of an earlier
    // file of the run has, each line starting with `file` (as shown) and ": "; the file's own
    // repeats are its own check's. These are the run's warnings, not the file's own: only the run's
    // cap holds them. Past it they are only counted, and a last line says how many. The table is
    // held to `allowance`; when it would not fit, titles are compared no more, its memory goes back
    // to the run, and one line says so.
    //
    // Files at one `place` (the same path, in any ASCII letter case, in two packages) are one file
    // to the simulator, which loads only one of them: one line says so, naming both packages, and
    // their titles are not compared with each other, as renaming one would not help.
    void warnOfTitlesInOtherFiles(const Text& file, const SectionList& sections,
                                  WarningBudget& budget, const TitleAllowance& allowance,
                                  std::vector<Text>& lines, const PlaceInPackage& place = {});

    std::size_t size() const { return table_.size(); }
    std::int64_t bytes() const { return bytes_; }
    bool leftOut() const { return leftOut_; }

  private:
    struct Origin {
        Text file;
        Text entry;
        std::size_t place = 0;  // of the file, counted from 1 in places_; 0 for no package
    };
    // The first package met at each place, by its path folded to ASCII lower case.
    struct Place {
        Text package;
        std::size_t id = 0;
    };
    std::unordered_map<std::string, Origin> table_;
    std::unordered_map<std::string, Place> places_;
    std::int64_t bytes_ = 0;  // what the table takes, about
    bool leftOut_ = false;    // the titles did not fit, and are compared no more
};
