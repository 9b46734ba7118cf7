// What a folder holds, over the one listing each platform gives: written once for both.
#include "platform/Folders.h"

#include <cstring>

#include "platform/Paths.h"
#include "text/AsciiCase.h"

namespace {

Text inside(const Text& folder, const char* name) {
    if (folder.empty()) {
        return Text(name);
    }
    Text path = folder;
    if (!isPathSeparator(path.c_str()[path.length() - 1])) {
        path += pathSeparator();
    }
    return path += Text(name);
}

// Whether `name` in `folder` leads to a `standing`, a link followed as opening it would.
bool leadsTo(const Text& folder, const char* name, Standing standing) {
    Standing found = Standing::missing;
    Text reason;
    return examinePath(inside(folder, name), found, reason) && found == standing;
}

void addFilesUnder(const Text& folder, const Text& relative, std::size_t most,
                   std::vector<Text>& files) {
    std::vector<Text> folders;
    auto visit = [&](const ListedEntry& entry) {
        if (files.size() >= most) {
            return;
        }
        Text path = relative.empty() ? Text(entry.name) : relative + Text("/") + Text(entry.name);
        if (entry.kind == EntryKind::folder) {
            folders.push_back(std::move(path));
        } else if (entry.kind == EntryKind::file ||
                   (entry.kind == EntryKind::link && leadsTo(folder, entry.name, Standing::file))) {
            files.push_back(std::move(path));
        }
    };
    Text reason;
    listFolder(folder, visit, reason);
    for (const Text& below : folders) {
        const char* name = below.c_str() + (relative.empty() ? 0 : relative.length() + 1);
        addFilesUnder(inside(folder, name), below, most, files);
    }
}

}  // namespace

bool leadsToFolder(const Text& folder, const char* name) {
    return leadsTo(folder, name, Standing::folder);
}

void keepIfFolderNamedLike(const Text& folder, const ListedEntry& entry, const char* prefix,
                           std::size_t prefixLength, Text& names) {
    if (entry.length < prefixLength || !equalIgnoringAsciiCase(entry.name, prefix, prefixLength)) {
        return;
    }
    if (entry.kind == EntryKind::folder ||
        (entry.kind != EntryKind::file && leadsToFolder(folder, entry.name))) {
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

std::vector<Text> filesUnder(const Text& folder, std::size_t most) {
    std::vector<Text> files;
    addFilesUnder(folder, Text(), most, files);
    return files;
}
