// The Linux side of the safe replacement: renameat2's exchange and the fd-based extended-attribute
// calls are Linux's own.
#include <fcntl.h>
#include <linux/magic.h>
#include <signal.h>
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
#include "platform/FileSystemTestHook.h"
#include "platform/SignalsPosix.h"

namespace os {

struct Files {
    Text target;  // the name to replace: as given, or the file that a symbolic link names
    int original = -1;
    struct stat read {};                                          // the file as it was opened
    std::vector<std::pair<std::string, std::string>> attributes;  // extended, ACLs among them
    Text temporary;  // empty until the temporary file exists
    Text keptAside;  // a file that could not be put back or removed, and was left there
    bool keptAsideIsOriginal = false;  // the file as it was read, rather than another's save
    struct stat written {};            // the temporary file, as it was created
    int fd = -1;
};

namespace {

constexpr const char* kAccessList = "system.posix_acl_access";

// A time as Windows and package lists count it: 100-ns ticks since 1601-01-01 UTC.
std::int64_t ticksOf(const struct timespec& time) {
    constexpr std::int64_t kSecondsFrom1601To1970 = 11644473600;
    return (static_cast<std::int64_t>(time.tv_sec) + kSecondsFrom1601To1970) * 10000000 +
           static_cast<std::int64_t>(time.tv_nsec) / 100;
}

bool sameFile(const struct stat& now, const struct stat& then) {
    return now.st_dev == then.st_dev && now.st_ino == then.st_ino;
}

// Whether `now` is the file read, unchanged. The time of its last change of content can be put
// back by the program that changed it (touch -r, cp -p); the time of its last change of any kind
// cannot, so it is compared too, except where renaming the file itself has just moved it.
bool sameFileUnchanged(const struct stat& now, const struct stat& then, bool byChangeTime) {
    return S_ISREG(now.st_mode) && sameFile(now, then) && now.st_size == then.st_size &&
           now.st_mtim.tv_sec == then.st_mtim.tv_sec &&
           now.st_mtim.tv_nsec == then.st_mtim.tv_nsec &&
           (!byChangeTime || (now.st_ctim.tv_sec == then.st_ctim.tv_sec &&
                              now.st_ctim.tv_nsec == then.st_ctim.tv_nsec));
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

#if defined(SYS_renameat2)
constexpr bool kCanExchange = true;
int exchangeNames(const char* a, const char* b) {
    constexpr unsigned kRenameExchange = 1u << 1;  // RENAME_EXCHANGE
    return static_cast<int>(syscall(SYS_renameat2, AT_FDCWD, a, AT_FDCWD, b, kRenameExchange));
}
#else
constexpr bool kCanExchange = false;
int exchangeNames(const char*, const char*) {
    errno = ENOSYS;
    return -1;
}
#endif

// The temporary name no longer holds anything of ours: nothing is removed on failure or on a
// signal.
void forgetTemporary(Files& files) {
    files.temporary.clear();
    setTemporaryForSignals(nullptr);
}

// The name still stands for the file read, unchanged in every way: checked just before the swap,
// since the swap itself moves the time of last change of what it takes out.
bool targetUnchanged(const Files& files) {
    struct stat now {};
    return lstat(files.target.c_str(), &now) == 0 && sameFileUnchanged(now, files.read, true);
}

// The temporary file is in place: what the swap took out was the file read, and it goes.
PlaceResult exchangeWithTarget(Files& files, SystemError& error, bool& unsupported) {
    const char* temporary = files.temporary.c_str();
    const char* target = files.target.c_str();
    unsupported = false;
    if (!targetUnchanged(files)) {
        return PlaceResult::fileChanged;
    }
    reachMomentForTests(TestMoment::beforeSwap);
    if (exchangeNames(temporary, target) != 0) {
        if (errno == ENOENT) {
            return PlaceResult::fileChanged;  // the file is gone
        }
        unsupported = errno == ENOSYS || errno == EINVAL || errno == ENOTSUP;
        error = errno;
        return PlaceResult::failed;
    }
    reachMomentForTests(TestMoment::afterSwap);
    // The temporary name now holds what stood at the target: it must be what was read.
    struct stat out {};
    if (lstat(temporary, &out) == 0 && sameFileUnchanged(out, files.read, false)) {
        unlink(temporary);
        forgetTemporary(files);
        syncFolderOf(files.target);
        return PlaceResult::placed;
    }
    if (exchangeNames(temporary, target) != 0) {
        // The other file stays at the temporary name rather than be removed with it.
        error = errno;
        forgetTemporary(files);
        return PlaceResult::failed;
    }
    // What came back must be the new content before it is removed: another program may have
    // saved over the name in between, and its save must not be deleted.
    struct stat back {};
    if (lstat(temporary, &back) != 0 || !sameFile(back, files.written)) {
        files.keptAside = files.temporary;
        forgetTemporary(files);
    }
    return PlaceResult::fileChanged;
}

// Renames `from` to `to` only if nothing stands at `to`: atomically where the system can, by a
// new link otherwise. False with errno EEXIST when the name is taken.
bool renameIfFree(const char* from, const char* to) {
#if defined(SYS_renameat2)
    constexpr unsigned kRenameNoReplace = 1u << 0;  // RENAME_NOREPLACE
    if (syscall(SYS_renameat2, AT_FDCWD, from, AT_FDCWD, to, kRenameNoReplace) == 0) {
        return true;
    }
    if (errno != ENOSYS && errno != EINVAL && errno != ENOTSUP) {
        return false;
    }
#endif
    if (link(from, to) != 0) {
        return false;
    }
    unlink(from);
    return true;
}

// Where names cannot be swapped. The file is moved aside in one step, so that what is checked is
// exactly what was taken away; the new file then takes the name only if it is still free. For
// that moment the name stands for nothing: a reader finds no file rather than a wrong one, and no
// other program's save can be overwritten. Whatever cannot be put back stays aside and is named.
PlaceResult moveAsideThenPlace(Files& files, SystemError& error) {
    if (!targetUnchanged(files)) {
        return PlaceResult::fileChanged;
    }
    const Text aside = files.temporary + Text(".old");
    reachMomentForTests(TestMoment::beforeSwap);
    if (std::rename(files.target.c_str(), aside.c_str()) != 0) {
        if (errno == ENOENT) {
            return PlaceResult::fileChanged;  // the file is gone
        }
        error = errno;
        return PlaceResult::failed;
    }
    reachMomentForTests(TestMoment::afterSwap);
    struct stat out {};
    const bool theFileRead =
        lstat(aside.c_str(), &out) == 0 && sameFileUnchanged(out, files.read, false);
    if (theFileRead && renameIfFree(files.temporary.c_str(), files.target.c_str())) {
        unlink(aside.c_str());
        forgetTemporary(files);
        syncFolderOf(files.target);
        return PlaceResult::placed;
    }
    const int placing = errno;
    // Not placed: what was moved aside goes back, unless another program has saved at the name.
    if (!renameIfFree(aside.c_str(), files.target.c_str())) {
        files.keptAside = aside;
        files.keptAsideIsOriginal = theFileRead;
        return PlaceResult::fileChanged;
    }
    if (theFileRead && placing != EEXIST) {
        error = static_cast<SystemError>(placing);
        return PlaceResult::failed;
    }
    return PlaceResult::fileChanged;
}

}  // namespace

Text systemMessage(SystemError error) {
    return Text(std::strerror(static_cast<int>(error)));
}

void prepareProcess() {
    signal(SIGXFSZ, SIG_IGN);  // a write past a file size limit then fails with EFBIG
    signal(SIGPIPE, SIG_IGN);  // a closed console pipe then fails the write, not the process
    installSignalCleanup();
}

void settleExitStatus(int status) {
    setEarnedStatusForSignals(status);
}

Files* createFiles() {
    return new Files;
}

Text destroyFiles(Files* files) {
    if (files->original >= 0) {
        close(files->original);
    }
    if (files->fd >= 0) {
        close(files->fd);
    }
    Text leftBehind;
    if (!files->temporary.empty()) {
        SignalGuard guard;
        if (unlink(files->temporary.c_str()) != 0 && errno != ENOENT) {
            leftBehind = files->temporary;  // a folder that lets files in but not out
        }
        setTemporaryForSignals(nullptr);
    }
    delete files;
    return leftBehind;
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
        files.target = resolved;
        std::free(resolved);
        if (lstat(files.target.c_str(), &there) != 0 || !S_ISREG(there.st_mode) ||
            !sameFile(there, files.read)) {
            facts.changed = true;  // the link was pointed elsewhere while it was followed
            return true;
        }
    } else {
        files.target = path;
        if (!sameFile(link, files.read)) {
            facts.changed = true;
            return true;
        }
    }
    facts.regular = true;
    facts.size = static_cast<std::int64_t>(files.read.st_size);
    facts.lastWriteTicks = ticksOf(files.read.st_mtim);
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

void closeOriginal(Files& files) {
    close(files.original);
    files.original = -1;
}

bool isReadOnly(Files& files) {
    return (files.read.st_mode & 0222) == 0 || access(files.target.c_str(), W_OK) != 0;
}

bool createTemporary(Files& files, SystemError& error) {
    const Text pattern = files.target + ".tmp-XXXXXX";
    std::vector<char> name(pattern.c_str(), pattern.c_str() + pattern.length() + 1);
    SignalGuard guard;                // the file and its registration come into being together
    files.fd = mkstemp(name.data());  // fills in the X's
    if (files.fd < 0) {
        error = errno;
        return false;
    }
    files.temporary = name.data();
    setTemporaryForSignals(files.temporary.c_str());
    if (fstat(files.fd, &files.written) != 0) {
        error = errno;
        return false;
    }
    return true;
}

bool copyAttributes(Files& files, Text& notKept, SystemError& error) {
    const struct stat& old = files.read;
    // The owner first: a change of owner clears the set-ID bits that the mode then sets.
    if (old.st_uid != geteuid() || old.st_gid != getegid()) {
        // Only a privileged user may give the file away; a member of its group may keep the group.
        if (fchown(files.fd, old.st_uid, old.st_gid) != 0) {
            (void)!fchown(files.fd, static_cast<uid_t>(-1), old.st_gid);
        }
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

bool temporaryFacts(Files& files, std::int64_t& size, std::int64_t& lastWriteTicks,
                    SystemError& error) {
    struct stat st {};
    if (lstat(files.temporary.c_str(), &st) != 0) {
        error = errno;
        return false;
    }
    size = static_cast<std::int64_t>(st.st_size);
    lastWriteTicks = ticksOf(st.st_mtim);
    return true;
}

Text keptAside(Files& files, bool& original) {
    original = files.keptAsideIsOriginal;
    return files.keptAside;
}

PlaceResult placeTemporary(Files& files, SystemError& error) {
    SignalGuard guard;  // a handler must not remove what the swap just took out
    if (kCanExchange && !noSwapForTests) {
        bool unsupported = false;
        const PlaceResult result = exchangeWithTarget(files, error, unsupported);
        if (!unsupported) {
            return result;
        }
    }
    return moveAsideThenPlace(files, error);
}

}  // namespace os
