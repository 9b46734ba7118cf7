#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/FileSystem.h"
#include "platform/Folders.h"

bool examinePath(const Text& path, Standing& standing, Text& reason) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) {
            standing = Standing::missing;
            return true;
        }
        reason = os::systemMessage(static_cast<os::SystemError>(errno));
        return false;
    }
    standing = S_ISREG(st.st_mode)   ? Standing::file
               : S_ISDIR(st.st_mode) ? Standing::folder
                                     : Standing::other;
    return true;
}

bool entriesOf(const Text& folder, std::vector<FolderEntry>& entries, Text& reason) {
    const Text where = folder.empty() ? Text(".") : folder;
    DIR* dir = opendir(where.c_str());
    if (dir == nullptr) {
        reason = os::systemMessage(static_cast<os::SystemError>(errno));
        return false;
    }
    errno = 0;
    while (const dirent* entry = readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) {
            continue;
        }
        FolderEntry found;
        found.name = Text(entry->d_name);
        unsigned char type = entry->d_type;
        if (type == DT_UNKNOWN) {  // some file systems do not tell: ask the name itself
            struct stat st {};
            const Text path = where + Text("/") + found.name;
            type = lstat(path.c_str(), &st) != 0 ? DT_UNKNOWN
                   : S_ISREG(st.st_mode)         ? DT_REG
                   : S_ISDIR(st.st_mode)         ? DT_DIR
                   : S_ISLNK(st.st_mode)         ? DT_LNK
                                                 : DT_UNKNOWN;
        }
        found.kind = type == DT_REG   ? EntryKind::file
                     : type == DT_DIR ? EntryKind::folder
                     : type == DT_LNK ? EntryKind::link
                                      : EntryKind::other;
        entries.push_back(found);
    }
    const int failed = errno;
    closedir(dir);
    if (failed != 0) {
        reason = os::systemMessage(static_cast<os::SystemError>(failed));
        return false;
    }
    std::sort(entries.begin(), entries.end(), [](const FolderEntry& a, const FolderEntry& b) {
        return std::strcmp(a.name.c_str(), b.name.c_str()) < 0;
    });
    return true;
}

Text programFile() {
    char* resolved = realpath("/proc/self/exe", nullptr);
    if (resolved == nullptr) {
        return Text();
    }
    Text path(resolved);
    std::free(resolved);
    return path;
}
