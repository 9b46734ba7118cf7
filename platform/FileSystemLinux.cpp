// The Linux side of the safe replacement: renameat2's exchange and rename-without-replace and the
// fd-based extended-attribute calls are Linux's own.
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/vfs.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "platform/FileSystem.h"

namespace os {

struct Files {
    int original = -1;
    struct stat read {};                                          // the file as it was opened
    std::vector<std::pair<std::string, std::string>> attributes;  // extended, ACLs among them
    int fd = -1;                                                  // the temporary file
};

namespace {

constexpr const char* kAccessList = "system.posix_acl_access";

// A time as Windows and package lists count it: 100-ns ticks since 1601-01-01 UTC.
std::int64_t ticksOf(const struct timespec& time) {
    constexpr std::int64_t kSecondsFrom1601To1970 = 11644473600;
    return (static_cast<std::int64_t>(time.tv_sec) + kSecondsFrom1601To1970) * 10000000 +
           static_cast<std::int64_t>(time.tv_nsec) / 100;
}

Status identityOf(const struct stat& st) {
    Status identity;
    identity.kind = S_ISREG(st.st_mode)   ? EntryKind::file
                    : S_ISDIR(st.st_mode) ? EntryKind::folder
                    : S_ISLNK(st.st_mode) ? EntryKind::link
                                          : EntryKind::other;
    identity.readOnly = (st.st_mode & 0222) == 0;
    identity.device = static_cast<std::uint64_t>(st.st_dev);
    identity.file = static_cast<std::uint64_t>(st.st_ino);
    identity.size = static_cast<std::int64_t>(st.st_size);
    identity.lastWriteTicks = ticksOf(st.st_mtim);
    identity.changeTicks = ticksOf(st.st_ctim);
    return identity;
}

bool sameFile(const struct stat& now, const struct stat& then) {
    return now.st_dev == then.st_dev && now.st_ino == then.st_ino;
}

void readAttributes(Files& files) {
    const ssize_t size = flistxattr(files.original, nullptr, 0);
    if (size <= 0) {
        return;  // none, or a file system without them
    }
    std::vector<char> names(static_cast<std::size_t>(size));
    const ssize_t got = flistxattr(files.original, names.data(), names.size());
    for (ssize_t at = 0; at < got;) {
        const std::string name(names.data() + at);
        at += static_cast<ssize_t>(name.size()) + 1;
        const ssize_t length = fgetxattr(files.original, name.c_str(), nullptr, 0);
        if (length < 0) {
            continue;
        }
        std::string value(static_cast<std::size_t>(length), '\0');
        const ssize_t read = fgetxattr(files.original, name.c_str(), &value[0], value.size());
        if (read >= 0) {
            value.resize(static_cast<std::size_t>(read));
            files.attributes.emplace_back(name, value);
        }
    }
}

// The errors with which a file system says it has no such rename, rather than that it failed.
bool meansUnsupported(int code) {
    return code == ENOSYS || code == EINVAL || code == ENOTSUP || code == EOPNOTSUPP;
}

// What a failed rename's errno means to the protocol.
Done renameFailure(SystemError& error) {
    const int code = errno;
    error = static_cast<SystemError>(code);
    if (code == ENOENT || code == EEXIST) {
        return code == ENOENT ? Done::missing : Done::taken;
    }
    return meansUnsupported(code) ? Done::unsupported : Done::failed;
}

}  // namespace

// The primitives, as FileSystem.h declares them.
namespace native {

Files* createFiles() {
    return new Files;
}

void destroyFiles(Files* files) {
    if (files->original >= 0) {
        close(files->original);
    }
    if (files->fd >= 0) {
        close(files->fd);
    }
    delete files;
}

bool openOriginal(Files& files, const char* path, FileFacts& facts, SystemError& error) {
    // What the name stands for: only a regular file is opened, so that neither a FIFO's waiting
    // writer is released nor a device opened through a link.
    struct stat named {};
    if (stat(path, &named) != 0) {
        error = errno;
        return false;
    }
    if (!S_ISREG(named.st_mode)) {
        return true;  // refused by the caller as what it is
    }
    // Opened as the kernel resolves the name, so that its guards on links apply: root, in a
    // shared sticky folder, does not follow another user's link (protected_symlinks).
    files.original = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (files.original < 0 || fstat(files.original, &files.read) != 0) {
        error = errno;
        return false;
    }
    // /proc and /sys files claim a size that is not their length: they are no files on disk.
    struct statfs system {};
    if (!S_ISREG(files.read.st_mode) ||
        (fstatfs(files.original, &system) == 0 &&
         (system.f_type == PROC_SUPER_MAGIC || system.f_type == SYSFS_MAGIC))) {
        return true;
    }
    // The name to replace: as given (relatively, however long the path), or for a link the file
    // it led to, which must be the very file opened.
    struct stat link {};
    if (lstat(path, &link) != 0) {
        error = errno;
        return false;
    }
    if (S_ISLNK(link.st_mode)) {
        char* resolved = realpath(path, nullptr);
        struct stat there {};
        if (resolved == nullptr) {
            error = errno;
            return false;
        }
        facts.target = resolved;
        std::free(resolved);
        if (lstat(facts.target.c_str(), &there) != 0 || !S_ISREG(there.st_mode) ||
            !sameFile(there, files.read)) {
            facts.changed = true;  // the link was pointed elsewhere while it was followed
            return true;
        }
    } else {
        facts.target = path;
        if (!sameFile(link, files.read)) {
            facts.changed = true;
            return true;
        }
    }
    facts.regular = true;
    facts.identity = identityOf(files.read);
    readAttributes(files);
    return true;
}

bool readOriginal(Files& files, char* buffer, std::size_t capacity, std::size_t& got,
                  SystemError& error) {
    for (;;) {
        const ssize_t n = read(files.original, buffer, capacity < SSIZE_MAX ? capacity : SSIZE_MAX);
        if (n >= 0) {
            got = static_cast<std::size_t>(n);
            return true;
        }
        if (errno != EINTR) {
            error = errno;
            return false;
        }
    }
}

// The file stays open until the replacement ends, so it is read again through the same
// descriptor, whatever has come to stand at its name since.
Done rewindOriginal(Files& files, const Text&, SystemError& error) {
    if (lseek(files.original, 0, SEEK_SET) != 0) {
        error = errno;
        return Done::failed;
    }
    return Done::yes;
}

bool isReadOnly(Files& files, const Text& target) {
    return (files.read.st_mode & 0222) == 0 || access(target.c_str(), W_OK) != 0;
}

Done createTemporary(Files& files, const Text& path, SystemError& error) {
    files.fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (files.fd < 0) {
        error = errno;
        return errno == EEXIST ? Done::taken : Done::failed;
    }
    return Done::yes;
}

// A file keeps its owner, or is not replaced: given to the runner, another user's file would be
// readable through the runner's group and no longer its owner's to use.
Done keepOwner(Files& files, SystemError& error) {
    if (files.read.st_uid == geteuid()) {
        return Done::yes;
    }
    if (fchown(files.fd, files.read.st_uid, static_cast<gid_t>(-1)) == 0) {
        return Done::yes;
    }
    error = errno;
    return errno == EPERM ? Done::taken : Done::failed;
}

bool copyAttributes(Files& files, Text& notKept, SystemError& error) {
    const struct stat& old = files.read;
    // The group before the mode: a change of owner or group clears the set-ID bits that the mode
    // then sets. A member of the file's group may keep it; otherwise the folder's applies.
    if (old.st_gid != getegid()) {
        (void)!fchown(files.fd, static_cast<uid_t>(-1), old.st_gid);
    }
    // A folder's default access list gives a new file entries of its own: the new file must
    // carry exactly the old one's list, or none, never wider access than before.
    const bool hadList = std::any_of(files.attributes.begin(), files.attributes.end(),
                                     [](const auto& a) { return a.first == kAccessList; });
    if (!hadList && fremovexattr(files.fd, kAccessList) != 0 && errno != ENODATA &&
        errno != ENOTSUP) {
        error = errno;
        return false;
    }
    if (fchmod(files.fd, old.st_mode & 07777) != 0) {
        error = errno;
        return false;
    }
    for (const auto& [name, value] : files.attributes) {
        if (fsetxattr(files.fd, name.c_str(), value.data(), value.size(), 0) == 0) {
            continue;
        }
        // The access list decides who may use the file, so it must come along; another attribute
        // (a security label the user may not set, say) is named instead.
        if (name == kAccessList) {
            error = errno;
            return false;
        }
        notKept += Text(notKept.empty() ? "" : ", ") + Text(name.c_str());
    }
    return true;
}

bool writeTemporary(Files& files, const char* bytes, std::size_t count, std::size_t& written,
                    SystemError& error) {
    for (;;) {
        const ssize_t n = write(files.fd, bytes, count < SSIZE_MAX ? count : SSIZE_MAX);
        if (n > 0) {
            written = static_cast<std::size_t>(n);
            return true;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        error = n < 0 ? errno : EIO;
        return false;
    }
}

bool flushTemporary(Files& files, SystemError& error) {
    if (fsync(files.fd) != 0) {
        error = errno;
        return false;
    }
    return true;
}

bool closeTemporary(Files& files, SystemError& error) {
    const int closed = close(files.fd);
    files.fd = -1;
    if (closed != 0) {
        error = errno;
        return false;
    }
    return true;
}

// Nothing on Linux keeps a closed file from being renamed.
bool holdTemporary(Files&, const Text&, SystemError&) {
    return true;
}

Done statusAt(const Text& path, Links links, Status& status, SystemError& error) {
    struct stat st {};
    const char* name = path.empty() ? "." : path.c_str();
    if ((links == Links::followed ? stat(name, &st) : lstat(name, &st)) != 0) {
        error = errno;
        return errno == ENOENT || errno == ENOTDIR ? Done::missing : Done::failed;
    }
    status = identityOf(st);
    return Done::yes;
}

Done exchange(const Text& a, const Text& b, SystemError& error) {
#if defined(SYS_renameat2)
    constexpr unsigned kRenameExchange = 1u << 1;  // RENAME_EXCHANGE
    if (syscall(SYS_renameat2, AT_FDCWD, a.c_str(), AT_FDCWD, b.c_str(), kRenameExchange) == 0) {
        return Done::yes;
    }
    return renameFailure(error);
#else
    (void)a;
    (void)b;
    error = ENOSYS;
    return Done::unsupported;
#endif
}

// Atomically where the system can, by a new link otherwise (file systems without links refuse
// that as not permitted, or not supported).
Done renameIfFree(Files&, const Text& from, const Text& to, SystemError& error) {
#if defined(SYS_renameat2)
    constexpr unsigned kRenameNoReplace = 1u << 0;  // RENAME_NOREPLACE
    if (syscall(SYS_renameat2, AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), kRenameNoReplace) ==
        0) {
        return Done::yes;
    }
    const Done renamed = renameFailure(error);
    if (renamed != Done::unsupported) {
        return renamed;
    }
#endif
    if (link(from.c_str(), to.c_str()) != 0) {
        const Done linked = renameFailure(error);
        return errno == EPERM || errno == EMLINK ? Done::unsupported : linked;
    }
    unlink(from.c_str());
    return Done::yes;
}

Done renameOver(const Text& from, const Text& to, SystemError& error) {
    if (std::rename(from.c_str(), to.c_str()) == 0) {
        return Done::yes;
    }
    return renameFailure(error);
}

Done remove(const Text& path, SystemError& error) {
    if (unlink(path.c_str()) == 0) {
        return Done::yes;
    }
    error = errno;
    return errno == ENOENT ? Done::missing : Done::failed;
}

// Makes the rename itself durable; best effort, since the data was already synced before it.
void syncFolderOf(const Text& path) {
    const char* slash = std::strrchr(path.c_str(), '/');
    Text folder(".");
    if (slash != nullptr) {
        folder.clear();
        const auto keep = static_cast<std::size_t>(slash - path.c_str());
        folder.append(path.c_str(), keep == 0 ? 1 : keep);
    }
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
}

}  // namespace native

Text systemMessage(SystemError error) {
    return Text(std::strerror(static_cast<int>(error)));
}

std::int32_t processNumber() {
    return static_cast<std::int32_t>(getpid());
}

}  // namespace os
