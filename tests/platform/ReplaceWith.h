#pragma once

#include <filesystem>
#include <functional>
#include <string>

// Moments at which a test may change the file while a replacement is under way.
struct Interference {
    std::function<void()> duringRead;       // after the first few bytes have been read
    std::function<void()> beforeCommit;     // once the new content has been written
    std::function<void()> atTheLastMoment;  // right before the new file is put in place
};

inline const std::string kChanged =
    "changed while it was being processed; nothing was written, run the program again";

// Runs the whole protocol on `target`, reading it in small pieces and writing `content`: "" when
// the file was replaced, otherwise the cause.
std::string replaceWith(const std::filesystem::path& target, const std::string& content,
                        const Interference& interference = {});
