#pragma once

// The one walk below a folder, configured once for every use: the collection of files that a
// dropped folder stands for, and the files that a package's list must name.
//
// - It goes kDeepest folders down at most: packages put an aircraft three folders below their
//   own, and a collection keeps each aircraft a folder or two below it, so eight leaves room for
//   any layout without walking a whole disk.
// - Links are never followed: nothing is reached twice and no loop is walked. The visitor is told
//   every entry, links too, as the listing says what each is.
// - It goes down by handle: each folder is opened through the one above it, never by its path
//   again, so that a folder swapped for a link after its parent was listed is never entered.
// - The folders below each folder are walked by name, so that the files come in the same order
//   on every system.
// - Every failure below the start carries the path of the folder it is about.

#include <vector>

#include "platform/FileSystem.h"
#include "text/Text.h"

// How many folders down a walk goes below the folder it starts from, as the messages say too.
constexpr int kDeepest = 8;

// Where in the walk a folder is.
struct WalkPlace {
    const Text& path;      // as the walk reached it: the start's path, then names joined to it
    const Text& relative;  // below the start, with '/' separators and a closing '/'; "" there
    int depth;             // folders below the start
};

struct WalkError {
    enum class Kind {
        replaced,    // a folder when its parent was listed, a link or a file when it was opened
        unreadable,  // cannot be opened or listed
    };
    Kind kind;
    Text path;    // the folder
    Text reason;  // the system's words, for `unreadable`
};

class WalkVisitor {
  public:
    virtual ~WalkVisitor() = default;
    // Before a folder is listed: a listing that fails part way has told some entries already,
    // which belong to no folder that is looked at.
    virtual void starting(const WalkPlace& place) = 0;
    // Each entry of a folder, in the folder's own order.
    virtual void entry(const WalkPlace& place, const ListedEntry& entry) = 0;
    // Once a folder is listed: whether to walk the folders below it.
    virtual bool listed(const WalkPlace& place) = 0;
    virtual void failed(const WalkError& error) = 0;
};

// Walks `start`, held as `held`. False, with the system's reason, when `start` itself cannot be
// listed; failures below it go to the visitor.
bool walkFolder(const Text& start, const HeldFolder& held, WalkVisitor& visitor, Text& reason);

// The regular files below `folder`, to kDeepest folders down, by their paths relative to it with
// '/' separators, at most `most` of them, in no particular order. A folder that cannot be read
// is told in `errors` and passed over.
std::vector<Text> filesBelow(const Text& folder, std::size_t most, std::vector<WalkError>& errors);
