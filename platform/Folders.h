#pragma once

// What a folder holds and what a path stands for, as the items on the command line need them:
// with the system's reason when it cannot be told, and without following links inside folders,
// so that a walk below a folder reaches nothing twice and never loops.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "text/Text.h"

enum class Standing { missing, file, folder, other };

// What stands at `path`, following a link as opening it would. False, with the system's reason,
// when it cannot be examined (a folder on the way that may not be entered, say).
bool examinePath(const Text& path, Standing& standing, Text& reason);

enum class EntryKind { file, folder, link, other };

// One entry of a folder as a listing tells it: its name, as UTF-8 and only for the length of the
// call, and what the name itself is: a link is a link, and where the listing does not say, the
// name is asked.
struct ListedEntry {
    const char* name = "";
    std::size_t length = 0;
    EntryKind kind = EntryKind::other;
};

// Tells `visit` each entry of `folder` (the current one when empty) but "." and "..", in the
// folder's own order, keeping none of them: a folder may hold hundreds of thousands of texture
// folders. False, with the system's reason, when the folder cannot be read, also part way.
bool listFolder(const Text& folder, void (*visit)(void* context, const ListedEntry& entry),
                void* context, Text& reason);

// A folder held open while the folders below it are walked. On POSIX the walk goes down by the
// folder's descriptor and never by its path again, so that a folder swapped for a link to
// somewhere else after its parent was listed is never entered; on Windows it is the path, which is
// checked not to be a link when it is taken.
class HeldFolder {
  public:
    HeldFolder() = default;
    HeldFolder(const HeldFolder&) = delete;
    HeldFolder& operator=(const HeldFolder&) = delete;
    ~HeldFolder();

    std::intptr_t handle = -1;  // POSIX: the descriptor
    // POSIX: the listing made from the descriptor once it is listed, which then owns it
    mutable void* listing = nullptr;
    Text path;  // Windows: the path
};

// Holds `path` (the current folder when empty), a link to a folder followed: the user named it.
// False, with the system's reason, when it cannot be opened.
bool holdFolder(const Text& path, HeldFolder& held, Text& reason);

enum class Hold { held, notAFolder, failed };
// Holds the folder `name` in `parent`, never through a link: `notAFolder` when the name no longer
// stands for a folder of its own (a link or a file was put there); `failed`, with the system's
// reason, when it cannot be opened.
Hold holdFolderIn(const HeldFolder& parent, const char* name, HeldFolder& held, Text& reason);

// listFolder() for a held folder.
bool listFolder(const HeldFolder& folder, void (*visit)(void* context, const ListedEntry& entry),
                void* context, Text& reason);

// Either listing with a callable that takes each ListedEntry: `folder` is a path or a HeldFolder.
template <class Folder, class Visit>
bool listFolder(const Folder& folder, Visit& visit, Text& reason) {
    return listFolder(
        folder,
        [](void* context, const ListedEntry& entry) { (*static_cast<Visit*>(context))(entry); },
        &visit, reason);
}

// Where a folder is, whatever path reaches it: its device and its number there. A folder reached
// through a bind mount or by another spelling is the same folder. False when it cannot be told.
struct FolderIdentity {
    std::uint64_t device = 0;
    std::uint64_t number = 0;
};
bool identityOfFolder(const Text& folder, FolderIdentity& identity);

// Whether `name` in `folder` leads to a folder, a link followed as opening it would.
bool leadsToFolder(const Text& folder, const char* name);

// Appends `entry` of `folder` to `names`, followed by a '/', when its name starts with `prefix`
// (of `prefixLength` bytes) in any ASCII letter case and it leads to a folder, a link followed:
// the one test of a texture folder, for every listing that looks for them.
void keepIfFolderNamedLike(const Text& folder, const ListedEntry& entry, const char* prefix,
                           std::size_t prefixLength, Text& names);

// Appends to `names` the folders in `folder` whose names start with `prefix` in any ASCII letter
// case, links to folders among them, in no particular order, each followed by a '/', which no
// name can hold: one buffer, since a folder may hold hundreds of thousands. False, with the
// system's reason in `why`, when `folder` cannot be listed, so that no folder is taken for
// missing.
bool foldersIn(const Text& folder, const char* prefix, Text& names, Text& why);

// The files below `folder`, at any depth, by their paths relative to it with '/' separators:
// regular files, and links that lead to one. Links to folders are not followed, so that nothing
// is listed twice; folders that cannot be read are passed over. At most `most` are listed.
std::vector<Text> filesUnder(const Text& folder, std::size_t most);

// The program's own file, its links resolved; empty when the system does not tell.
Text programFile();
