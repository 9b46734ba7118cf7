#pragma once

#include <cstddef>

#include "text/Text.h"

// Safe replacement of a file's whole content: the only platform-specific code in the program.
//
// The target is never truncated or written in place, so no failure can leave it half written.
// Every caller follows the same protocol:
//   1. beginReplacement() refuses a read-only target, follows a symbolic link to the file it
//      names, and creates a new, empty temporary file beside that file, with its permissions.
//   2. writeReplacement() as often as needed. Every write is checked.
//   3. commitReplacement() flushes the data to disk, closes the temporary file and renames it
//      over the target in one atomic step: a reader sees the old file or the new one, never a mix.
//   On a failure in any step, or when the caller gives up (abandonReplacement(), or a Replacement
//   going out of scope unfinished), the temporary file is closed and removed and the target is
//   left exactly as it was. A failing call puts the cause in `why` and finishes the Replacement.
struct Replacement {
    Replacement() = default;
    Replacement(const Replacement&) = delete;
    Replacement& operator=(const Replacement&) = delete;
    ~Replacement();

    void* state = nullptr;  // the platform's record of the open temporary file
};

bool beginReplacement(const char* target, Replacement& replacement, Text& why);
bool writeReplacement(Replacement& replacement, const char* bytes, std::size_t count, Text& why);
bool commitReplacement(Replacement& replacement, Text& why);
void abandonReplacement(Replacement& replacement);
