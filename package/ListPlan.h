#pragma once

// What a package's file list must be told of the run's files, worked out from the list's bytes
// alone: which entries to bring up to date, and what the list leaves out. Reading the list and
// putting the edited one in its place are the caller's; so is saying any of it, in its own words.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "text/Cause.h"
#include "text/Text.h"

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

// One of the run's files in a package.
struct PackageFile {
    Text entry;  // its path in the package, with '/' separators, as the list writes paths
    ListedFile state;
    // The files in its folder and below that the list should name, by their paths in the package,
    // in the order they are told: neither the file itself nor what the run leaves beside it.
    std::vector<Text> beside;
};

enum class ListFactKind : std::uint8_t {
    notListed,       // `entry` has no entry, so the simulator does not load it
    unlistedBeside,  // `names`, beside the file `entry`, have none either
    rewrittenEntry,  // the entry for `entry` is set to the rewritten file's `size` and time
    staleEntry,   // the entry for `entry` recorded `recordedSize`, not the file's `size`: set anew
    keptOldSize,  // the list is left as it was, and the entry for rewritten `entry` with it
    unchecked,    // the list is left as it was, and what it leaves out cannot be told
};

struct ListFact {
    ListFactKind kind = ListFactKind::notListed;
    Text entry;
    std::int64_t size = 0;
    Text recordedSize;  // the digits as the list wrote them
    std::vector<Text> names;
};

struct ListPlan {
    std::optional<std::string> edited;  // the list as it is to be; none when nothing changes
    // In the order they are told: what the list leaves out, file by file, then the entries that
    // the edit sets, which hold only once the edited list is in place.
    std::vector<ListFact> facts;
};

// The plan for the list `list` and the run's files of its package, in the order they were
// handled. Parsing the list may take `memoryBudget` bytes beyond the list itself. False, with the
// cause in `why`, when the list cannot be edited safely (see readLayout); the plan then holds what
// factsOfRefusedList tells.
bool planListEdit(const std::string& list, const std::vector<PackageFile>& files,
                  std::size_t memoryBudget, ListPlan& plan, Cause& why);

// What there is to tell when the list is left as it was before anything in it is known: each
// rewritten file keeps its old size, and, once for all the others, what the list leaves out
// cannot be told.
std::vector<ListFact> factsOfRefusedList(const std::vector<PackageFile>& files);
