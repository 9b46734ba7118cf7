// What a folder holds, over the one listing each platform gives: written once for both.
#include "files/Folders.h"

#include <cstring>

#include "files/PathNames.h"
#include "text/AsciiCase.h"

namespace {

Text reasonOf(os::SystemError error) {
    return os::systemMessage(error);
}

}  // namespace

bool statusOf(const Text& path, os::Links links, bool& found, os::Status& status, Text& reason) {
    os::SystemError error = 0;
    const os::Done done = os::calls().statusAt(path, links, status, error);
    found = done == os::Done::yes;
    if (done == os::Done::yes || done == os::Done::missing) {
        return true;
    }
    reason = reasonOf(error);
    return false;
}

bool listFolder(const Text& folder, void (*visit)(void* context, const ListedEntry& entry),
                void* context, Text& reason) {
    os::SystemError error = 0;
    if (!os::calls().listFolder(folder, visit, context, error)) {
        reason = reasonOf(error);
        return false;
    }
    return true;
}

bool listFolder(const HeldFolder& folder, void (*visit)(void* context, const ListedEntry& entry),
                void* context, Text& reason) {
    os::SystemError error = 0;
    if (!os::calls().listHeld(folder, visit, context, error)) {
        reason = reasonOf(error);
        return false;
    }
    return true;
}

bool holdFolder(const Text& path, HeldFolder& held, Text& reason) {
    os::SystemError error = 0;
    if (!os::calls().holdFolder(path, held, error)) {
        reason = reasonOf(error);
        return false;
    }
    return true;
}

Hold holdFolderIn(const HeldFolder& parent, const char* name, HeldFolder& held, Text& reason) {
    os::SystemError error = 0;
    const Hold hold = os::calls().holdFolderIn(parent, name, held, error);
    if (hold == Hold::failed) {
        reason = reasonOf(error);
    }
    return hold;
}

void keepIfFolderNamedLike(const Text& folder, const ListedEntry& entry, const char* prefix,
                           std::size_t prefixLength, Text& names) {
    if (entry.length < prefixLength || !equalIgnoringAsciiCase(entry.name, prefix, prefixLength)) {
        return;
    }
    bool leadsToAFolder = entry.kind == EntryKind::folder;
    if (entry.kind != EntryKind::file && !leadsToAFolder) {
        // A link, or a name the listing did not tell: what opening it would reach.
        bool found = false;
        os::Status status;
        Text reason;
        leadsToAFolder =
            statusOf(joined(folder, entry.name), os::Links::followed, found, status, reason) &&
            found && status.kind == EntryKind::folder;
    }
    if (leadsToAFolder) {
        names.append(entry.name, entry.length);
        names += '/';
    }
}

bool foldersIn(const Text& folder, const char* prefix, Text& names, Text& why) {
    const std::size_t prefixLength = std::strlen(prefix);
    auto visit = [&](const ListedEntry& entry) {
        keepIfFolderNamedLike(folder, entry, prefix, prefixLength, names);
    };
    return listFolder(folder, visit, why);
}
