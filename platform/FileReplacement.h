#pragma once

#include <cstddef>
#include <cstdint>

#include "text/ByteStream.h"
#include "text/Text.h"

// Safe replacement of a file's whole content. All the program's file-system calls sit behind
// this one interface; the operating system's side of it is in one file per platform.
//
// The file is the user's work, so it is never truncated or written in place, and the file that
// is replaced is always the very file that was read, unchanged since. Every caller follows the
// same protocol:
//   1. openOriginal() resolves the name once (a symbolic link to the file it names), opens that
//      file for reading without locking it against other programs and without blocking, refuses
//      anything but a regular file, and notes what the file is: its identity, size and time of
//      last change.
//   2. readOriginal() until it delivers 0 bytes: the whole file, then it is closed. A read that
//      ends before the size noted at opening, or runs past it, means another program is changing
//      the file, and is refused rather than taken for the end of the file.
//   3. beginReplacement() refuses a read-only file and creates a new, empty temporary file beside
//      it that only its owner may use.
//   4. writeReplacement() as often as needed. Every write is checked.
//   5. sealReplacement() gives the temporary file the old one's owner, group, permissions and
//      extended attributes (where the system has them; after the last write, which would clear
//      set-ID bits), flushes the data to disk, closes the temporary file and tells its size
//      and time of last change, which the file keeps when it is put in place. A caller that needs
//      neither may leave this step to commitReplacement().
//   6. commitReplacement(), only if the name still stands for the file that was read and that
//      file is unchanged, puts the temporary file in its place in one atomic step: a reader sees
//      the old file or the new one, never a mix. Where the system can swap two names atomically,
//      the check is made on what the swap took out, so that nothing can slip in between the check
//      and the replace. Two files that belong together are each sealed, then committed one right
//      after the other.
//   On a failure in any step, or when the caller gives up (abandonReplacement(), or a Replacement
//   going out of scope unfinished), everything open is closed, the temporary file is removed and
//   the file is left exactly as it was. A failing call puts the cause in `why` and finishes the
//   Replacement. The temporary file is also removed when the process is interrupted (Ctrl-C, a
//   termination signal, a closed console); only a kill that cannot be caught leaves it behind.

namespace os {
struct Files;  // the platform's record of open files and names
}

enum class ReplacementStep { none, reading, read, writing, sealed };

// The new content as it was sealed.
struct SealedFacts {
    std::int64_t size = 0;
    std::int64_t lastWriteTicks = 0;  // 100-ns ticks since 1601-01-01 UTC, as Windows counts
};

struct Replacement {
    Replacement() = default;
    Replacement(const Replacement&) = delete;
    Replacement& operator=(const Replacement&) = delete;
    ~Replacement();

    ReplacementStep step = ReplacementStep::none;
    std::int64_t expectedSize = 0;            // noted when the file was opened
    std::int64_t originalLastWriteTicks = 0;  // likewise, in SealedFacts' ticks
    std::int64_t bytesRead = 0;
    os::Files* files = nullptr;
    Text attributesNotKept;  // extended attributes the system would not set on the new file
};

bool openOriginal(const char* path, Replacement& replacement, Text& why);
// Delivers up to `capacity` bytes of the file in `got`; 0 bytes once the whole file has been read.
bool readOriginal(Replacement& replacement, char* buffer, std::size_t capacity, std::size_t& got,
                  Text& why);
bool beginReplacement(Replacement& replacement, Text& why);
bool writeReplacement(Replacement& replacement, const char* bytes, std::size_t count, Text& why);
bool sealReplacement(Replacement& replacement, SealedFacts& facts, Text& why);
bool commitReplacement(Replacement& replacement, Text& why);
void abandonReplacement(Replacement& replacement);

// Steps 2 and 4 as a byte stream, for code that reads and writes without knowing of files.
ByteSource originalBytes(Replacement& replacement);
ByteSink replacementBytes(Replacement& replacement);

// Sets the process up so that it always ends with a word about the file: a write past a file
// size limit fails instead of killing the process, and a closed console pipe does not end it
// before it has said what happened. Also arranges for an interrupted replacement's temporary file
// to be removed. Call once, before anything else.
void prepareProcess();

// Once the file is replaced or left as it was, the run has earned its exit status: from then on
// a signal or console event that ends the program (a hang-up, Ctrl-C, a closed console window at
// the final prompt) ends it with `status`, so that the status still tells what became of the file.
void settleExitStatus(int status);
