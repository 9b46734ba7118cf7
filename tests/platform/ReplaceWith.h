#pragma once

#include <filesystem>
#include <functional>
#include <string>

// Moments at which a test may change the file while a replacement is under way.
struct Interference {
    std::function<void()> duringRead;       // after the first few bytes have been read
    std::function<void()> beforeCommit;     // once the new content has been written
    std::function<void()> atTheLastMoment;  // right before the new file is put in place
    std::function<void()> beforeSwap = {};  // where names can be swapped: after the last check
    std::function<void()> afterSwap = {};   // and once the swap has taken the file out
    bool noSwap = false;  // replace as where names cannot be swapped, as on Windows
};

// Returns once the file system's clock has moved past `file`'s times, so that a change made now
// shows in them: file times come from a clock that ticks only every few milliseconds. A scratch
// file beside it is written until its time is later.
void waitForTheFileClock(const std::filesystem::path& file);

inline const std::string kChanged =
    "changed while it was being processed; nothing was written, run the program again";

// Runs the whole protocol on `target`, reading it in small pieces and writing `content`: "" when
// the file was replaced, otherwise the cause.
std::string replaceWith(const std::filesystem::path& target, const std::string& content,
                        const Interference& interference = {});

// What a refused replace left beside aircraft.cfg in `folder`, when it left exactly one other file
// (a save it would not remove, or the file it moved aside); an empty path otherwise.
std::filesystem::path leftBeside(const std::filesystem::path& folder);
