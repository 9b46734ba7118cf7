#pragma once

// What a package's file list must be told of the run's files and of their aircraft's folders,
// worked out from the list's bytes and what the caller found on disk: which entries to add, take
// out and bring up to date. Reading the list and
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
    // It holds aircraft entries, whose folder is brought up to date in the list.
    bool holdsEntries = true;
};

// One of the run's files in a package.
struct PackageFile {
    Text entry;  // its path in the package, with '/' separators, as the list writes paths
    ListedFile state;
};

// A file found below an aircraft's folder, as the list should record it.
struct FileOnDisk {
    Text path;  // in the package, with '/' separators, in the letter case the disk holds
    std::int64_t size = 0;
    std::int64_t lastWriteTicks = 0;  // 100-ns ticks since 1601-01-01 UTC
};

// A folder found at or below an aircraft's folder, or an entry that is neither a regular file nor
// a folder (a link), which is never read.
struct PlaceOnDisk {
    Text path;               // in the package, with '/' separators and a closing '/'
    bool readWhole = false;  // every entry of it was listed
};

// What the aircraft's folders of a package's files in the run hold, as the caller found them.
struct PackageDisk {
    std::vector<Text> folders;        // the aircraft's folders, in the package, closing '/'
    std::vector<FileOnDisk> files;    // every regular file below them, to the walk's depth
    std::vector<PlaceOnDisk> places;  // every folder among them and below them, and what else
};

// Never listed, and never told as unlisted: the list and the manifest, backups, programs (the
// simulator loads none from a package), hidden names (a ".git" folder), the system's own
// Thumbs.db and desktop.ini, and editors' leftovers ending in '~'. `path` is in the package.
bool isNeverListed(const Text& path);

// The orders a list's entries may follow, which new entries keep.
enum class ListOrder : std::uint8_t {
    byFolder,   // in each folder its files, then its folders, each by name in upper case
    lowerCase,  // the whole path in ASCII lower case
    bytes,      // the whole path byte by byte
    none,
};

// The first of the orders that `paths` (decoded) follow without exception; none when they follow
// none of them.
ListOrder orderOf(const std::vector<std::string>& paths);

// Negative, zero or positive as `a` comes before, with or after `b` in `order` (not none).
int comparedIn(ListOrder order, const std::string& a, const std::string& b);

enum class ListFactKind : std::uint8_t {
    notListed,       // `entry` has no entry, and none is added: the simulator does not load it
    unlistedBeside,  // `names`, below the file `entry`'s folder, have none, and the list has no
                     // entry whose form a new one could copy
    rewrittenEntry,  // the entry for `entry` is set to the rewritten file's `size` and time
    staleEntry,   // the entry for `entry` recorded `recordedSize`, not the file's `size`: set anew
    keptOldSize,  // the list is left as it was, and the entry for rewritten `entry` with it
    unchecked,    // the list is left as it was, and what it leaves out cannot be told
    added,        // `names` are listed anew
    removedGone,  // the entries for `names`, whose files are gone, are taken out
    notUtf8,      // `names` cannot be listed: they are not UTF-8, and a list holds only that
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
    // In the order they are told: what the list leaves out and cannot be given, then what the
    // edit does, which holds only once the edited list is in place.
    std::vector<ListFact> facts;
};

// The plan for the list `list` and the run's files of its package, in the order they were
// handled, with what their aircraft's folders hold: each file there that the list leaves out gets
// an entry in the form of its neighbour, where the list's own order puts it; an entry whose file
// is gone from a folder that was read whole is taken out; an entry whose size is not its file's
// is set anew. A UTF-16 list (with its byte-order mark) is edited as UTF-8 and stays UTF-16.
// Parsing the list may take `memoryBudget` bytes beyond the list itself. False, with the cause in
// `why`, when the list cannot be edited safely (see readLayout); the plan then holds what
// factsOfRefusedList tells.
bool planListEdit(const std::string& list, const std::vector<PackageFile>& files,
                  const PackageDisk& disk, std::size_t memoryBudget, ListPlan& plan, Cause& why);

// What there is to tell when the list is left as it was before anything in it is known: each
// rewritten file keeps its old size, and, once for all the others, what the list leaves out
// cannot be told.
std::vector<ListFact> factsOfRefusedList(const std::vector<PackageFile>& files);
