#pragma once

// The operating system's side of the safe replacement: small primitives, one implementation per
// platform (FileSystemLinux.cpp, FileSystemWindows.cpp), called only by FileReplacement.cpp, which
// holds the whole protocol and the order of its steps. Each primitive reports a failure as the
// system's own error code. FileReplacement.cpp reaches them through one table, `calls()`, so that
// tests can make any of them fail at any step.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "text/Text.h"

namespace os {

// The platform's record of the open files of one replacement.
struct Files;

// errno on POSIX, GetLastError() on Windows.
using SystemError = unsigned long;

// The system's words for `error` (UTF-8, no trailing period or line break): the one place where
// an error code becomes text.
Text systemMessage(SystemError error);

// What stands at a name, the name itself rather than what a link there names.
struct Identity {
    bool regular = false;  // a regular file, not a link, folder or device
    // Windows' attribute, which keeps a rename from replacing it; elsewhere, no write permission
    // for anyone, which the program honours in the same way
    bool readOnly = false;
    std::uint64_t device = 0;
    std::uint64_t file = 0;  // the file's number on its device
    std::int64_t size = 0;
    std::int64_t lastWriteTicks = 0;  // 100-ns ticks since 1601-01-01 UTC
    std::int64_t changeTicks = 0;     // the last change of any kind, which no program can set
};

// What the file was when it was opened.
struct FileFacts {
    bool regular = false;  // a regular file on disk
    bool changed = false;  // the name stood for another file by the time it was opened
    Identity identity;     // of the file opened
    Text target;           // the name to replace: the file's own, a link resolved
};

enum class Done { yes, missing, taken, unsupported, failed };

// The moments of a replacement between two of its steps, where another program may change the
// folder: the system does nothing there, but a double of this table can make such a change at
// exactly that step, without racing the program.
enum class Moment {
    beforePlacing,  // right before the temporary file is put in place
    beforeSwap,     // after the last check of the name, right before a swap of names
    afterSwap,      // right after the swap, before what it took out is checked
};

// The primitives, one implementation per platform.
namespace native {

inline void reached(Moment) {}

Files* createFiles();
void destroyFiles(Files* files);  // closes whatever is still open

bool openOriginal(Files& files, const char* path, FileFacts& facts, SystemError& error);
bool readOriginal(Files& files, char* buffer, std::size_t capacity, std::size_t& got,
                  SystemError& error);
// Makes the next readOriginal() deliver the file from its start again: the file opened, or where
// the platform let it go once it was read, the file at `target`, which must be the very file
// opened (Done::taken when another file stands there now).
Done rewindOriginal(Files& files, const Text& target, SystemError& error);
// Whether the file may be replaced: a file without any write permission counts as read-only
// even for a user whose privileges would override it.
bool isReadOnly(Files& files, const Text& target);
// Creates a new, empty file at `path` that only its owner may use; `taken` when the name is.
Done createTemporary(Files& files, const Text& path, SystemError& error);
// Gives the empty temporary file the original's owner; `taken` when the system lets only the
// file's owner or an administrator give a file away, and the runner is neither.
Done keepOwner(Files& files, SystemError& error);
// Gives the temporary file what else the original carried, as far as the platform keeps it,
// once its content is written (a write by an unprivileged user clears the set-ID bits):
// - POSIX: the group (where the owner was given away too), the permission bits, and extended
//   attributes: the access control list exactly as it was (none, when it had none, whatever
//   the folder's default list), a security label, capabilities;
// - Windows: the file's own access list, protected from the folder's as it was; the hidden,
//   system, archive and not-indexed attributes are given when the file is created.
// Extended attributes that the system would not set are named in `notKept` rather than
// failing, but for the access control list, which decides who may use the file.
bool copyAttributes(Files& files, Text& notKept, SystemError& error);
bool writeTemporary(Files& files, const char* bytes, std::size_t count, std::size_t& written,
                    SystemError& error);
bool flushTemporary(Files& files, SystemError& error);
bool closeTemporary(Files& files, SystemError& error);
// Takes hold of the closed temporary file so that nothing can stop it from being renamed
// (Windows: a handle with delete access; nothing elsewhere).
bool holdTemporary(Files& files, const Text& path, SystemError& error);
// Done::missing when nothing stands at `path`.
Done identityAt(const Text& path, Identity& identity, SystemError& error);
// Swaps two names in one step.
Done exchange(const Text& a, const Text& b, SystemError& error);
// Renames `from` only if nothing stands at `to`: Done::taken otherwise.
Done renameIfFree(Files& files, const Text& from, const Text& to, SystemError& error);
// Renames `from` over whatever stands at `to`, in one step.
Done renameOver(const Text& from, const Text& to, SystemError& error);
Done remove(const Text& path, SystemError& error);
// Makes the renames in the folder of `path` durable; best effort.
void syncFolderOf(const Text& path);
// The names in `folder` (a path ending in a separator, or empty for the current folder).
bool namesIn(const Text& folder, std::vector<Text>& names);

}  // namespace native

// The table the protocol calls the primitives through, so that a test can put others in their
// place: by default, the system's own.
struct Calls {
    decltype(&native::createFiles) createFiles = native::createFiles;
    decltype(&native::destroyFiles) destroyFiles = native::destroyFiles;
    decltype(&native::openOriginal) openOriginal = native::openOriginal;
    decltype(&native::readOriginal) readOriginal = native::readOriginal;
    decltype(&native::rewindOriginal) rewindOriginal = native::rewindOriginal;
    decltype(&native::isReadOnly) isReadOnly = native::isReadOnly;
    decltype(&native::createTemporary) createTemporary = native::createTemporary;
    decltype(&native::keepOwner) keepOwner = native::keepOwner;
    decltype(&native::copyAttributes) copyAttributes = native::copyAttributes;
    decltype(&native::writeTemporary) writeTemporary = native::writeTemporary;
    decltype(&native::flushTemporary) flushTemporary = native::flushTemporary;
    decltype(&native::closeTemporary) closeTemporary = native::closeTemporary;
    decltype(&native::holdTemporary) holdTemporary = native::holdTemporary;
    decltype(&native::identityAt) identityAt = native::identityAt;
    decltype(&native::exchange) exchange = native::exchange;
    decltype(&native::renameIfFree) renameIfFree = native::renameIfFree;
    decltype(&native::renameOver) renameOver = native::renameOver;
    decltype(&native::remove) remove = native::remove;
    decltype(&native::syncFolderOf) syncFolderOf = native::syncFolderOf;
    decltype(&native::namesIn) namesIn = native::namesIn;
    decltype(&native::reached) reached = native::reached;
};

// The process's number, which temporary files are named with.
std::int32_t processNumber();

// The table the protocol calls: the system's own primitives unless others were put in.
const Calls& calls();

// Puts `table` in the system's place (a double, or the system's own again). What each file system
// offers, learnt once for each device through the table, is learnt again through the new one.
void useCalls(const Calls& table);

// The temporary files in existence, where a handler that ends the program can find and remove
// them: registered when made, dropped when placed or removed. Call inside a HeldBack.
int registerLive(const Text& path);  // a slot, or -1 when every slot is taken
void dropLive(int slot);

// Holds back the signals and console events that end the program while names and the list of
// live files change, so that a handler never sees half a change; a Windows console handler waits
// for it, as long as Windows lets it.
class HeldBack {
  public:
    HeldBack();
    ~HeldBack();
    HeldBack(const HeldBack&) = delete;
    HeldBack& operator=(const HeldBack&) = delete;
};

}  // namespace os
