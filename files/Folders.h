#pragma once

// What a folder holds and what a path stands for, as the program needs them, over the primitives
// of platform/FileSystem.h and always through their table, so that a test can fail or change
// any of them: with the system's reason when it cannot be told, and without following links
// inside folders, so that a walk below a folder reaches nothing twice and never loops.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/FileSystem.h"
#include "text/Text.h"

// What stands at `path`. False, with the system's reason, when it cannot be told (a folder on
// the way that may not be entered, say); true with `found` false when nothing stands there.
bool statusOf(const Text& path, os::Links links, bool& found, os::Status& status, Text& reason);

// The folder `folder` (a path, or a held folder) entry by entry, as os::native::listFolder tells
// it: false, with the system's reason, when it cannot be read, also part way.
bool listFolder(const Text& folder, void (*visit)(void* context, const ListedEntry& entry),
                void* context, Text& reason);
bool listFolder(const HeldFolder& folder, void (*visit)(void* context, const ListedEntry& entry),
                void* context, Text& reason);

// Either listing with a callable that takes each ListedEntry.
template <class Folder, class Visit>
bool listFolder(const Folder& folder, Visit& visit, Text& reason) {
    return listFolder(
        folder,
        [](void* context, const ListedEntry& entry) { (*static_cast<Visit*>(context))(entry); },
        &visit, reason);
}

// Holds `path` (the current folder when empty), a link to a folder followed: the user named it.
bool holdFolder(const Text& path, HeldFolder& held, Text& reason);

// Holds the folder `name` in `parent`, never through a link; see os::native::holdFolderIn.
Hold holdFolderIn(const HeldFolder& parent, const char* name, HeldFolder& held, Text& reason);

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
