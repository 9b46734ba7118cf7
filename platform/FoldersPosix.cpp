#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

namespace {

// Tells `visit` each entry of the open `dir`, from where its reading stands.
bool listOpenFolder(DIR* dir, void (*visit)(void* context, const ListedEntry& entry), void* context,
                    Text& reason) {
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
    if (failed != 0) {
        reason = os::systemMessage(static_cast<os::SystemError>(failed));
        return false;
    }
    return true;
}

Text reasonOf(int error) {
    return os::systemMessage(static_cast<os::SystemError>(error));
}

}  // namespace

bool listFolder(const Text& folder, void (*visit)(void* context, const ListedEntry& entry),
                void* context, Text& reason) {
    DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
    if (dir == nullptr) {
        reason = reasonOf(errno);
        return false;
    }
    const bool listed = listOpenFolder(dir, visit, context, reason);
    closedir(dir);
    return listed;
}

HeldFolder::~HeldFolder() {
    if (listing != nullptr) {
        closedir(static_cast<DIR*>(listing));  // and with it the descriptor it was made from
    } else if (handle >= 0) {
        close(static_cast<int>(handle));
    }
}

bool holdFolder(const Text& path, HeldFolder& held, Text& reason) {
    const int fd = open(path.empty() ? "." : path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        reason = reasonOf(errno);
        return false;
    }
    held.handle = fd;
    return true;
}

Hold holdFolderIn(const HeldFolder& parent, const char* name, HeldFolder& held, Text& reason) {
    // Not through a link, and only a folder: whatever was put at the name after the parent was
    // listed is refused here, in the same call that opens it.
    const int fd = openat(static_cast<int>(parent.handle), name,
                          O_RDONLY | O_NOFOLLOW | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        if (error == ELOOP || error == ENOTDIR) {
            return Hold::notAFolder;
        }
        reason = reasonOf(error);
        return Hold::failed;
    }
    held.handle = fd;
    return Hold::held;
}

bool listFolder(const HeldFolder& folder, void (*visit)(void* context, const ListedEntry& entry),
                void* context, Text& reason) {
    // The listing is made from the held descriptor and kept with it, which it then owns: the
    // folders below are opened through that same descriptor, and a walk over a collection pays
    // for one descriptor a folder, not two.
    auto* dir = static_cast<DIR*>(folder.listing);
    if (dir == nullptr) {
        dir = fdopendir(static_cast<int>(folder.handle));
        if (dir == nullptr) {
            reason = reasonOf(errno);
            return false;
        }
        folder.listing = dir;
    } else {
        rewinddir(dir);
    }
    return listOpenFolder(dir, visit, context, reason);
}

bool identityOfFolder(const Text& folder, FolderIdentity& identity) {
    struct stat st {};
    if (stat(folder.empty() ? "." : folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        return false;
    }
    identity.device = static_cast<std::uint64_t>(st.st_dev);
    identity.number = static_cast<std::uint64_t>(st.st_ino);
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
