#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/FileSystem.h"
#include "platform/Paths.h"

namespace {

// Tells `visit` each entry of the open `dir`, from where its reading stands.
bool listOpenFolder(DIR* dir, void (*visit)(void* context, const ListedEntry& entry), void* context,
                    os::SystemError& error) {
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
        error = static_cast<os::SystemError>(failed);
        return false;
    }
    return true;
}

}  // namespace

namespace os::native {

bool listFolder(const Text& folder, void (*visit)(void* context, const ListedEntry& entry),
                void* context, SystemError& error) {
    DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
    if (dir == nullptr) {
        error = static_cast<SystemError>(errno);
        return false;
    }
    const bool listed = listOpenFolder(dir, visit, context, error);
    closedir(dir);
    return listed;
}

}  // namespace os::native

HeldFolder::~HeldFolder() {
    if (listing != nullptr) {
        closedir(static_cast<DIR*>(listing));  // and with it the descriptor it was made from
    } else if (handle >= 0) {
        close(static_cast<int>(handle));
    }
}

namespace os::native {

bool holdFolder(const Text& path, HeldFolder& held, SystemError& error) {
    const int fd = open(path.empty() ? "." : path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        error = static_cast<SystemError>(errno);
        return false;
    }
    held.handle = fd;
    return true;
}

Hold holdFolderIn(const HeldFolder& parent, const char* name, HeldFolder& held,
                  SystemError& error) {
    // Not through a link, and only a folder: whatever was put at the name after the parent was
    // listed is refused here, in the same call that opens it.
    const int fd = openat(static_cast<int>(parent.handle), name,
                          O_RDONLY | O_NOFOLLOW | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        const int failed = errno;
        if (failed == ELOOP || failed == ENOTDIR) {
            return Hold::notAFolder;
        }
        error = static_cast<SystemError>(failed);
        return Hold::failed;
    }
    held.handle = fd;
    return Hold::held;
}

bool listHeld(const HeldFolder& folder, void (*visit)(void* context, const ListedEntry& entry),
              void* context, SystemError& error) {
    // The listing is made from the held descriptor and kept with it, which it then owns: the
    // folders below are opened through that same descriptor, and a walk over a collection pays
    // for one descriptor a folder, not two.
    auto* dir = static_cast<DIR*>(folder.listing);
    if (dir == nullptr) {
        dir = fdopendir(static_cast<int>(folder.handle));
        if (dir == nullptr) {
            error = static_cast<SystemError>(errno);
            return false;
        }
        folder.listing = dir;
    } else {
        rewinddir(dir);
    }
    return listOpenFolder(dir, visit, context, error);
}

}  // namespace os::native

Text programFile() {
    char* resolved = realpath("/proc/self/exe", nullptr);
    if (resolved == nullptr) {
        return Text();
    }
    Text path(resolved);
    std::free(resolved);
    return path;
}
