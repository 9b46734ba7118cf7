#pragma once

#include <cstddef>
#include <cstdint>

#include "text/ByteStream.h"
#include "text/Cause.h"
#include "text/Text.h"

// Safe replacement of a file's whole content. The protocol is written once, in
// FileReplacement.cpp, over the small primitives of FileSystem.h, which each platform implements.
//
// The file is the user's work, so it is never truncated or written in place, and the file that
// is replaced is always the very file that was read, unchanged since. Every caller follows the
// same protocol:
//   1. openOriginal() resolves the name once (a symbolic link to the file it names), opens that
//      file for reading without locking it against other programs and without blocking, refuses
//      anything but a regular file, and notes what the file is: its identity, size and times. The
//      file stays open until the replacement ends, since Windows keeps a file's number stable only
//      while it is open. When the file is missing but an interrupted run left its content aside,
//      the cause names where.
//   2. readOriginal() until it delivers 0 bytes: the whole file. A read that ends before the size
//      noted at opening, or runs past it, means another program is changing the file, and is
//      refused rather than taken for the end of the file.
//   3. beginReplacement() refuses a read-only file, creates a new, empty temporary file beside it
//      (named after it, ".tmp-", the process number and a count) that only its owner may use, and
//      gives it the old file's owner; a file that belongs to another user, who could not be given
//      the new one, is refused before anything is written. It also learns, once for each device,
//      which renames the file system offers, by trying them on files of its own.
//   4. writeReplacement() as often as needed. Every write is checked.
//   5. sealReplacement() gives the temporary file the old one's group, permissions and extended
//      attributes (where the system has them; after the last write, which would clear set-ID
//      bits), flushes the data to disk, closes the temporary file and tells its size and time of
//      last change, which the file keeps when it is put in place. A caller that needs neither may
//      leave this step to commitReplacement().
//   6. commitReplacement(), only if the name still stands for the file that was read and that
//      file is unchanged, puts the temporary file in its place, by the safest means that the file
//      system offers:
//      - a swap of the two names, after which what the swap took out is checked: nothing can slip
//        in between the check and the replace;
//      - where names cannot be swapped, the file is moved aside and checked there, and the new
//        file takes the name only if it is still free: for that instant the name stands for
//        nothing, and no other program's save is ever overwritten;
//      - where the system can neither swap nor rename without replacing (some drives formatted
//        for cameras and other systems, some network shares), the file is checked, then replaced
//        by a rename: a save that another program makes in the instant between the two is lost.
//      What the replace takes out is the file read: with a backup asked for, it is renamed to the
//      backup's name rather than removed, so that the backup is the very file the user had. Where
//      the system can only rename over a name, taking the file out first would leave its name
//      standing for nothing until the new file arrives: the backup is then a flushed copy of the
//      file read, made while the file keeps its name.
//      Two files that belong together are each sealed, then committed one right after the other.
//   On a failure in any step, or when the caller gives up (abandonReplacement(), or a Replacement
//   going out of scope unfinished), everything open is closed, the temporary file is removed and
//   the file is left exactly as it was. A failing call puts the cause in `why` (its kind, the
//   system's words for a step it refused, and the temporary file's name where the folder would
//   not let it be removed) and finishes the Replacement. Every temporary file in existence is also
//   removed when the process is ended by a signal or console event (see Process.h); only a kill
//   that cannot be caught leaves one behind.

struct ReplacementState;  // the names and identities that the protocol checks

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
    ReplacementState* state = nullptr;
    Text attributesNotKept;  // extended attributes the system would not set on the new file
    // Whether the content that the replace takes out is kept, as the file's name with ".bak", in
    // the folder where the file really is (a link resolved), replacing what stands there. Set
    // before beginReplacement(), which refuses a name that holds anything but a file that may be
    // replaced, or that is another name of the file itself.
    bool keepBackup = false;
    // Where the backup goes, once beginReplacement() has named it.
    Text backup;
    // After a commit with a backup: where the old content is, `backup` or, when it could not be
    // renamed there, the name it was taken out under.
    Text backupLeftAs;
    // Files of the program's own that the folder let it make but not remove (a folder that only
    // lets files be added), whatever became of the replacement, so that the user can delete them.
    Text leftovers;
};

// What a replacement can leave beside a file when a kill that cannot be caught ends it, told by
// name: its temporary files are named after the file, ".tmp-", the process number, '-' and a
// count; the old content moved aside takes that name and ".old"; the rename probes take ".a" and
// ".b" after it; and a backup ".bak" stands alone when the file was moved to it and the new one
// had yet to take its name. `name[0, stem)` is the file's own name, however the caller matched it.
enum class Leftover { none, contentAside, backup, temporary };
Leftover leftoverOf(const char* name, std::size_t length, std::size_t stem);

bool openOriginal(const char* path, Replacement& replacement, Cause& why);
// Delivers up to `capacity` bytes of the file in `got`; 0 bytes once the whole file has been read.
bool readOriginal(Replacement& replacement, char* buffer, std::size_t capacity, std::size_t& got,
                  Cause& why);
bool beginReplacement(Replacement& replacement, Cause& why);
bool writeReplacement(Replacement& replacement, const char* bytes, std::size_t count, Cause& why);
bool sealReplacement(Replacement& replacement, SealedFacts& facts, Cause& why);
// `statusOncePlaced`, when not negative, is the exit status the run has earned once the file is
// in place (see settleExitStatus in Process.h), settled before any signal can end the program.
bool commitReplacement(Replacement& replacement, Cause& why, int statusOncePlaced = -1);
void abandonReplacement(Replacement& replacement);

// Steps 2 and 4 as a byte stream, for code that reads and writes without knowing of files.
ByteSource originalBytes(Replacement& replacement);
ByteSink replacementBytes(Replacement& replacement);
