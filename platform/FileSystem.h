#pragma once

// The program's one port to the file system: small primitives, one implementation per platform
// (FileSystem*.cpp and Folders*.cpp), for everything the program asks of files and folders: what
// stands at a name, the listings and the walk, and the safe replacement. The policy over them (the
// replacement's protocol, the walk, the texture folders) is written once, in files/. Each primitive
// reports a failure as the system's own error code, and is reached through one table, `calls()`,
// so that tests can make any of them fail, or change the folder, at any call.

#include <cstddef>
#include <cstdint>

#include "text/Text.h"

// What a name stands for.
enum class EntryKind { file, folder, link, other };

// One entry of a folder as a listing tells it: its name, as UTF-8 and only for the length of the
// call, and what the name itself is: a link is a link, and where the listing does not say, the
// name is asked.
struct ListedEntry {
    const char* name = "";
    std::size_t length = 0;
    EntryKind kind = EntryKind::other;
};

// A folder held open while the folders below it are walked: the walk goes down by the folder's
// descriptor or handle and never by its path again, so that a folder swapped for a link to
// somewhere else after its parent was listed is never entered.
class HeldFolder {
  public:
    HeldFolder() = default;
    HeldFolder(const HeldFolder&) = delete;
    HeldFolder& operator=(const HeldFolder&) = delete;
    ~HeldFolder();

    std::intptr_t handle = -1;  // the descriptor, or the handle
    // POSIX: the listing made from the descriptor once it is listed, which then owns it
    mutable void* listing = nullptr;
};

enum class Hold { held, notAFolder, failed };

namespace os {

// The platform's record of the open files of one replacement.
struct Files;

// errno on POSIX, GetLastError() on Windows.
using SystemError = unsigned long;

// The system's words for `error` (UTF-8, no trailing period or line break): the one place where
// an error code becomes text.
Text systemMessage(SystemError error);

// Whether a link at the name asked about is followed to what it names, as opening the name would,
// or is itself what is asked about.
enum class Links { followed, notFollowed };

// What stands at a name: the one record of a file or folder that the program asks the system for.
struct Status {
    EntryKind kind = EntryKind::other;  // `file` only for a regular file
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
    Status identity;       // of the file opened
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
// What stands at `path` (the current folder when empty): Done::missing when nothing does, a
// folder on the way included.
Done statusAt(const Text& path, Links links, Status& status, SystemError& error);
// Swaps two names in one step.
Done exchange(const Text& a, const Text& b, SystemError& error);
// Renames `from` only if nothing stands at `to`: Done::taken otherwise.
Done renameIfFree(Files& files, const Text& from, const Text& to, SystemError& error);
// Renames `from` over whatever stands at `to`, in one step.
Done renameOver(const Text& from, const Text& to, SystemError& error);
Done remove(const Text& path, SystemError& error);
// Makes the renames in the folder of `path` durable; best effort.
void syncFolderOf(const Text& path);
// Tells `visit` each entry of `folder` (the current one when empty) but "." and "..", in the
// folder's own order, keeping none of them: a folder may hold hundreds of thousands of texture
// folders. False, with the system's error, when the folder cannot be read, also part way.
bool listFolder(const Text& folder, void (*visit)(void* context, const ListedEntry& entry),
                void* context, SystemError& error);
// Holds `path` (the current folder when empty), a link to a folder followed: the user named it.
bool holdFolder(const Text& path, HeldFolder& held, SystemError& error);
// Holds the folder `name` in `parent`, never through a link: `notAFolder` when the name no longer
// stands for a folder of its own (a link or a file was put there).
Hold holdFolderIn(const HeldFolder& parent, const char* name, HeldFolder& held, SystemError& error);
// listFolder() for a held folder.
bool listHeld(const HeldFolder& folder, void (*visit)(void* context, const ListedEntry& entry),
              void* context, SystemError& error);

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
    decltype(&native::statusAt) statusAt = native::statusAt;
    decltype(&native::exchange) exchange = native::exchange;
    decltype(&native::renameIfFree) renameIfFree = native::renameIfFree;
    decltype(&native::renameOver) renameOver = native::renameOver;
    decltype(&native::remove) remove = native::remove;
    decltype(&native::syncFolderOf) syncFolderOf = native::syncFolderOf;
    decltype(&native::listFolder) listFolder = native::listFolder;
    decltype(&native::holdFolder) holdFolder = native::holdFolder;
    decltype(&native::holdFolderIn) holdFolderIn = native::holdFolderIn;
    decltype(&native::listHeld) listHeld = native::listHeld;
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
