#pragma once

// The operating system's side of the safe replacement, one implementation per platform
// (FileSystemLinux.cpp, FileSystemWindows.cpp), called only by FileReplacement.cpp, which holds
// the order of the steps. Each call reports a failure as the system's own error code. The one
// piece of protocol that lives here is placeTemporary's check and swap, since only the system
// knows whether it can swap two names atomically.

#include <cstddef>
#include <cstdint>

#include "text/Text.h"

namespace os {

// The platform's record of the open files and the names of one replacement.
struct Files;

// errno on POSIX, GetLastError() on Windows.
using SystemError = unsigned long;

// The system's words for `error` (UTF-8, no trailing period or line break): the one place where
// an error code becomes text.
Text systemMessage(SystemError error);

// What the file was when it was opened.
struct FileFacts {
    bool regular = false;  // a regular file on disk
    bool changed = false;  // the name stood for another file by the time it was opened
    std::int64_t size = 0;
    std::int64_t lastWriteTicks = 0;  // 100-ns ticks since 1601-01-01 UTC
};

Files* createFiles();
// Closes whatever is still open, removes the temporary file if it exists, and frees the record.
// Returns the temporary file's name when it could not be removed, or an empty Text.
Text destroyFiles(Files* files);

bool openOriginal(Files& files, const char* path, FileFacts& facts, SystemError& error);
bool readOriginal(Files& files, char* buffer, std::size_t capacity, std::size_t& got,
                  SystemError& error);
void closeOriginal(Files& files);

// Whether the file may be replaced: a file without any write permission counts as read-only
// even for a user whose privileges would override it.
bool isReadOnly(Files& files);
bool createTemporary(Files& files, SystemError& error);
// Gives the temporary file what the original carried, as far as the platform keeps it, once its
// content is written (a write by an unprivileged user clears the set-ID bits and capabilities):
// - POSIX: owner and group (or the group alone, when only that may be kept), permission bits,
//   and extended attributes: the access control list exactly as it was (none, when it had none,
//   whatever the folder's default list), a security label, capabilities;
// - Windows: the hidden, system, archive and not-indexed attributes, given when the file is
//   created; its permissions are inherited from the folder, so nothing is left to do here.
// Extended attributes that the system would not set are named in `notKept` rather than failing,
// but for the access control list, which decides who may use the file.
bool copyAttributes(Files& files, Text& notKept, SystemError& error);
bool writeTemporary(Files& files, const char* bytes, std::size_t count, std::size_t& written,
                    SystemError& error);
bool flushTemporary(Files& files, SystemError& error);
bool closeTemporary(Files& files, SystemError& error);
// The closed temporary file's size and time of last change, in 100-ns ticks since 1601-01-01 UTC.
bool temporaryFacts(Files& files, std::int64_t& size, std::int64_t& lastWriteTicks,
                    SystemError& error);

enum class PlaceResult { placed, fileChanged, failed };
// Puts the temporary file in the original's place, provided the name still stands for the file
// that was read and it is unchanged; otherwise leaves everything as it was.
PlaceResult placeTemporary(Files& files, SystemError& error);

// A file that placeTemporary left under another name rather than remove it, or an empty Text:
// another program's save that came back when a swap was undone, or (`original`) the file as it
// was read, moved aside and not put back because another program saved at its name meanwhile.
Text keptAside(Files& files, bool& original);

// Signals and console events: see prepareProcess() and settleExitStatus() in FileReplacement.h.
void prepareProcess();
void settleExitStatus(int status);

}  // namespace os
