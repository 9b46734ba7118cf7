// The POSIX side of the safe replacement: system calls only, no protocol.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

#include "platform/Console.h"
#include "platform/FileSystem.h"

struct ReplacementState {
    Text target;  // the name to replace: as given, or the file that a symbolic link names
    int original = -1;
    struct stat read {};                                          // the file as it was opened
    std::vector<std::pair<std::string, std::string>> attributes;  // extended, ACLs among them
    Text temporary;  // empty until the temporary file exists
    int fd = -1;
};

namespace {

// The temporary file that a signal handler must remove: a fixed buffer and a flag, since a
// handler may only read memory that no allocation can move.
char gTemporary[PATH_MAX + 32];
volatile sig_atomic_t gTemporaryLive = 0;

const int kCleanupSignals[] = {SIGINT, SIGTERM, SIGHUP};

// Holds back the cleanup signals while the registry or the folder is being changed, so that a
// handler never sees half a change; they are delivered when the guard ends.
class SignalGuard {
  public:
    SignalGuard() {
        sigset_t set;
        sigemptyset(&set);
        for (int sig : kCleanupSignals) {
            sigaddset(&set, sig);
        }
        sigprocmask(SIG_BLOCK, &set, &previous_);
    }
    ~SignalGuard() { sigprocmask(SIG_SETMASK, &previous_, nullptr); }
    SignalGuard(const SignalGuard&) = delete;
    SignalGuard& operator=(const SignalGuard&) = delete;

  private:
    sigset_t previous_;
};

void removeTemporaryAndDie(int sig) {
    if (gTemporaryLive) {
        unlink(gTemporary);
    }
    signal(sig, SIG_DFL);
    raise(sig);  // ends the process as the signal would have
}

void registerTemporary(const Text& path) {
    if (static_cast<std::size_t>(path.length()) < sizeof gTemporary) {
        std::memcpy(gTemporary, path.c_str(), static_cast<std::size_t>(path.length()) + 1);
        gTemporaryLive = 1;
    }
}

bool sameFileUnchanged(const struct stat& now, const struct stat& then) {
    return S_ISREG(now.st_mode) && now.st_dev == then.st_dev && now.st_ino == then.st_ino &&
           now.st_size == then.st_size && now.st_mtim.tv_sec == then.st_mtim.tv_sec &&
           now.st_mtim.tv_nsec == then.st_mtim.tv_nsec;
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

void readAttributes(ReplacementState& state) {
    const ssize_t size = flistxattr(state.original, nullptr, 0);
    if (size <= 0) {
        return;  // none, or a file system without them
    }
    std::vector<char> names(static_cast<std::size_t>(size));
    const ssize_t got = flistxattr(state.original, names.data(), names.size());
    for (ssize_t at = 0; at < got;) {
        const std::string name(names.data() + at);
        at += static_cast<ssize_t>(name.size()) + 1;
        const ssize_t length = fgetxattr(state.original, name.c_str(), nullptr, 0);
        if (length < 0) {
            continue;
        }
        std::string value(static_cast<std::size_t>(length), '\0');
        const ssize_t read = fgetxattr(state.original, name.c_str(), &value[0], value.size());
        if (read >= 0) {
            value.resize(static_cast<std::size_t>(read));
            state.attributes.emplace_back(name, value);
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

}  // namespace

Text systemMessage(SystemError error) {
    return Text(std::strerror(static_cast<int>(error)));
}

void prepareSystem() {
    signal(SIGXFSZ, SIG_IGN);  // a write past a file size limit then fails with EFBIG
    signal(SIGPIPE, SIG_IGN);  // a closed console pipe then fails the write, not the process
    for (int sig : kCleanupSignals) {
        struct sigaction previous {};
        sigaction(sig, nullptr, &previous);
        if (previous.sa_handler == SIG_IGN) {
            continue;  // started to ignore it (nohup): keep ignoring it
        }
        struct sigaction action {};
        action.sa_handler = removeTemporaryAndDie;
        sigemptyset(&action.sa_mask);
        sigaction(sig, &action, nullptr);
    }
}

ReplacementState* createState() {
    return new ReplacementState;
}

void destroyState(ReplacementState* state) {
    if (state->original >= 0) {
        close(state->original);
    }
    if (state->fd >= 0) {
        close(state->fd);
    }
    if (!state->temporary.empty()) {
        SignalGuard guard;
        unlink(state->temporary.c_str());
        gTemporaryLive = 0;
    }
    delete state;
}

bool openFile(ReplacementState& state, const char* path, FileFacts& facts, SystemError& error) {
    struct stat link {};
    if (lstat(path, &link) != 0) {
        error = errno;
        return false;
    }
    // Resolved only for a link, so that a path too long to resolve still works relatively.
    if (S_ISLNK(link.st_mode)) {
        char* resolved = realpath(path, nullptr);
        if (resolved == nullptr) {
            error = errno;
            return false;
        }
        state.target = resolved;
        std::free(resolved);
    } else {
        state.target = path;
    }
    // Without following a link that appeared since, and without waiting on a FIFO.
    state.original =
        open(state.target.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW | O_CLOEXEC);
    if (state.original < 0 || fstat(state.original, &state.read) != 0) {
        error = errno;
        return false;
    }
    facts.regular = S_ISREG(state.read.st_mode);
    facts.size = static_cast<std::int64_t>(state.read.st_size);
    if (facts.regular) {
        readAttributes(state);
    }
    return true;
}

bool readFile(ReplacementState& state, char* buffer, std::size_t capacity, std::size_t& got,
              SystemError& error) {
    for (;;) {
        const ssize_t n = read(state.original, buffer, capacity < SSIZE_MAX ? capacity : SSIZE_MAX);
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

void closeFile(ReplacementState& state) {
    close(state.original);
    state.original = -1;
}

bool isReadOnly(ReplacementState& state) {
    return (state.read.st_mode & 0222) == 0 || access(state.target.c_str(), W_OK) != 0;
}

bool createTemporary(ReplacementState& state, SystemError& error) {
    const Text pattern = state.target + ".tmp-XXXXXX";
    std::vector<char> name(pattern.c_str(), pattern.c_str() + pattern.length() + 1);
    SignalGuard guard;                // the file and its registration come into being together
    state.fd = mkstemp(name.data());  // fills in the X's
    if (state.fd < 0) {
        error = errno;
        return false;
    }
    state.temporary = name.data();
    registerTemporary(state.temporary);
    return true;
}

bool copyAttributes(ReplacementState& state, SystemError& error) {
    const struct stat& old = state.read;
    if (old.st_uid != geteuid() || old.st_gid != getegid()) {
        // Only a privileged user may give the file away; a member of its group may keep the group.
        if (fchown(state.fd, old.st_uid, old.st_gid) != 0) {
            (void)!fchown(state.fd, static_cast<uid_t>(-1), old.st_gid);
        }
    }
    if (fchmod(state.fd, old.st_mode & 07777) != 0) {
        error = errno;
        return false;
    }
    for (const auto& [name, value] : state.attributes) {
        // An access control list decides who may write the file, so it must come along; other
        // attributes (a security label the user may not set, say) are kept where they can be.
        if (fsetxattr(state.fd, name.c_str(), value.data(), value.size(), 0) != 0 &&
            name == "system.posix_acl_access") {
            error = errno;
            return false;
        }
    }
    return true;
}

bool writeTemporary(ReplacementState& state, const char* bytes, std::size_t count,
                    std::size_t& written, SystemError& error) {
    for (;;) {
        const ssize_t n = write(state.fd, bytes, count < SSIZE_MAX ? count : SSIZE_MAX);
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

bool flushTemporary(ReplacementState& state, SystemError& error) {
    if (fsync(state.fd) != 0) {
        error = errno;
        return false;
    }
    return true;
}

bool closeTemporary(ReplacementState& state, SystemError& error) {
    const int closed = close(state.fd);
    state.fd = -1;
    if (closed != 0) {
        error = errno;
        return false;
    }
    return true;
}

PlaceResult placeTemporary(ReplacementState& state, SystemError& error) {
    SignalGuard guard;  // a handler must not remove what the swap just took out
    const char* temporary = state.temporary.c_str();
    const char* target = state.target.c_str();
    if (kCanExchange) {
        if (exchangeNames(temporary, target) == 0) {
            // The temporary name now holds what stood at the target: it must be what was read.
            struct stat out {};
            if (lstat(temporary, &out) == 0 && sameFileUnchanged(out, state.read)) {
                unlink(temporary);
                state.temporary.clear();
                gTemporaryLive = 0;
                syncFolderOf(state.target);
                return PlaceResult::placed;
            }
            if (exchangeNames(temporary, target) != 0) {
                // The other file stays at the temporary name rather than be removed with it.
                error = errno;
                state.temporary.clear();
                gTemporaryLive = 0;
                return PlaceResult::failed;
            }
            return PlaceResult::fileChanged;
        }
        if (errno == ENOENT) {
            return PlaceResult::fileChanged;  // the file is gone
        }
        if (errno != ENOSYS && errno != EINVAL && errno != ENOTSUP) {
            error = errno;
            return PlaceResult::failed;
        }
        // This file system cannot swap names: check, then rename.
    }
    struct stat now {};
    if (lstat(target, &now) != 0 || !sameFileUnchanged(now, state.read)) {
        return PlaceResult::fileChanged;
    }
    if (std::rename(temporary, target) != 0) {
        error = errno;
        return PlaceResult::failed;
    }
    state.temporary.clear();
    gTemporaryLive = 0;
    syncFolderOf(state.target);
    return PlaceResult::placed;
}

void writeErrorLine(const Text& line) {
    std::cerr << line << '\n';
}
