#pragma once

// What a folder holds and what a path stands for, as the items on the command line need them:
// with the system's reason when it cannot be told, and without following links inside folders,
// so that a walk below a folder reaches nothing twice and never loops.

#include <vector>

#include "text/Text.h"

enum class Standing { missing, file, folder, other };

// What stands at `path`, following a link as opening it would. False, with the system's reason,
// when it cannot be examined (a folder on the way that may not be entered, say).
bool examinePath(const Text& path, Standing& standing, Text& reason);

enum class EntryKind { file, folder, link, other };
struct FolderEntry {
    Text name;
    EntryKind kind = EntryKind::other;  // what the name itself is: a link is a link
};

// The entries of `folder` (empty for the current one), without "." and "..", sorted by name.
// False, with the system's reason, when it cannot be read.
bool entriesOf(const Text& folder, std::vector<FolderEntry>& entries, Text& reason);

// The program's own file, its links resolved; empty when the system does not tell.
Text programFile();
