#pragma once

#include <filesystem>
#include <functional>
#include <ostream>
#include <string>

#include "text/Cause.h"

// The step of a replacement at which the double's primitives fail, and how many calls of that
// primitive succeed before: a fault injected the same way on every platform.
enum class Fault {
    none,
    create,
    write,
    attributes,
    flush,
    close,
    exchange,
    renameIfFree,
    renameOver,
    remove,
    removeProbe,  // only the removal of the files that learn what renames the system offers
    identity,
    listFolder,   // a listing, by path or of a held folder
    listPartWay,  // a listing of a held folder that tells its entries, then fails
    holdFolderIn  // the opening of a folder below a held one
};

// Moments at which a test may change the file while a replacement is under way.
struct Interference {
    std::function<void()> duringRead;       // after the first few bytes have been read
    std::function<void()> beforeCommit;     // once the new content has been written
    std::function<void()> atTheLastMoment;  // right before the new file is put in place
    std::function<void()> beforeSwap = {};  // where names can be swapped: after the last check
    std::function<void()> afterSwap = {};   // and once the swap has taken the file out
    // What the file system offers: every rename; no swap of names (as on Windows); or neither a
    // swap nor a rename without replacing, nor links (as some drives and network shares).
    enum class Renames { all, noSwap, renameOnly } renames = Renames::all;
    // Where the content taken out is to be kept, and where it was left.
    std::filesystem::path backup = {};
    std::string* backupLeftAs = nullptr;
    // Where the files of its own that the replacement could not remove are named.
    std::string* leftovers = nullptr;
    // A primitive that fails, after this many calls of it succeed.
    enum Fault fault = {};
    int callsBefore = 0;
};

// Puts the test's own primitives in the system's place for its lifetime: they call the system's,
// but for the renames `renames` leaves out, `fault` after `callsBefore` calls of its primitive,
// and `eachCall`, called before every primitive (for a signal at a chosen step, say).
class CallsDouble {
  public:
    explicit CallsDouble(Interference::Renames renames, Fault fault = Fault::none,
                         int callsBefore = 0);
    ~CallsDouble();
    CallsDouble(const CallsDouble&) = delete;
    CallsDouble& operator=(const CallsDouble&) = delete;

    static inline void (*eachCall)() = nullptr;
    // Called with the name right before a folder below a held one is opened: another program
    // may put something else there at exactly that moment.
    static inline void (*beforeHoldingIn)(const char* name) = nullptr;
};

// Returns once the file system's clock has moved past `file`'s times, so that a change made now
// shows in them: file times come from a clock that ticks only every few milliseconds. A scratch
// file beside it is written until its time is later.
void waitForTheFileClock(const std::filesystem::path& file);

// Runs the whole protocol on `target`, reading it in small pieces and writing `content`: a cause
// of no kind when the file was replaced, otherwise the cause.
Cause replaceWith(const std::filesystem::path& target, const std::string& content,
                  const Interference& interference = {});

// A kind as a failed expectation shows it: in its words.
inline std::ostream& operator<<(std::ostream& out, CauseKind kind) {
    return out << worded(causeOf(kind));
}

// What a refused replace left beside aircraft.cfg in `folder`, when it left exactly one other file
// (a save it would not remove, or the file it moved aside); an empty path otherwise.
std::filesystem::path leftBeside(const std::filesystem::path& folder);
