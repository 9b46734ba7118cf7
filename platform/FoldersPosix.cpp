#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

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

bool listFolder(const Text& folder, void (*visit)(void* context, const ListedEntry& entry),
                void* context, Text& reason) {
    DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
    if (dir == nullptr) {
        reason = os::systemMessage(static_cast<os::SystemError>(errno));
        return false;
    }
    for (;;) {
        errno = 0;
        const dirent* entry = readdir(dir);
        if (entry == nullptr) {
            break;
        }
        const char* name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) {
            continue;
        }
        unsigned char type = entry->d_type;
        if (type == DT_UNKNOWN) {  // some file systems do not tell: ask the name itself
            struct stat st {};
            type = fstatat(dirfd(dir), name, &st, AT_SYMLINK_NOFOLLOW) != 0 ? DT_UNKNOWN
                   : S_ISREG(st.st_mode)                                    ? DT_REG
                   : S_ISDIR(st.st_mode)                                    ? DT_DIR
                   : S_ISLNK(st.st_mode)                                    ? DT_LNK
                                                                            : DT_UNKNOWN;
        }
        ListedEntry listed;
        listed.name = name;
        listed.length = std::strlen(name);
        listed.kind = type == DT_REG   ? EntryKind::file
                      : type == DT_DIR ? EntryKind::folder
                      : type == DT_LNK ? EntryKind::link
                                       : EntryKind::other;
        visit(context, listed);
    }
    const int failed = errno;
    closedir(dir);
    if (failed != 0) {
        reason = os::systemMessage(static_cast<os::SystemError>(failed));
        return false;
    }
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
