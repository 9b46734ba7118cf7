#include "sections/FileReplacement.h"

Replacement::~Replacement() {
    abandonReplacement(*this);
}

namespace {

// The platform's record of a replacement that is still under way, or null with a cause.
template <typename Pending>
Pending* underWay(Replacement& replacement, Text& why) {
    auto* pending = static_cast<Pending*>(replacement.state);
    if (pending == nullptr) {
        why = "no replacement is under way";
    }
    return pending;
}

}  // namespace

#ifdef _WIN32

#include <windows.h>

#include <cstring>
#include <string>

namespace {

struct Pending {
    std::wstring target;
    std::wstring temporary;
    HANDLE handle = INVALID_HANDLE_VALUE;
};

Text systemMessage(const char* context, DWORD error) {
    char buffer[512] = {0};
    DWORD n =
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
                       MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), buffer, sizeof buffer, nullptr);
    while (n > 0 && (buffer[n - 1] == '\r' || buffer[n - 1] == '\n' || buffer[n - 1] == ' ' ||
                     buffer[n - 1] == '.')) {
        buffer[--n] = '\0';
    }
    Text message(context);
    message += n > 0 ? Text(buffer) : Text("system error");
    return message;
}

bool widen(const char* narrow, std::wstring& wide) {
    const int n = MultiByteToWideChar(CP_ACP, 0, narrow, -1, nullptr, 0);
    if (n <= 0) {
        return false;
    }
    wide.assign(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, narrow, -1, &wide[0], n);
    wide.resize(static_cast<std::size_t>(n - 1));
    return true;
}

// The file a symbolic link or junction finally names, so that the link itself stays a link.
bool finalPath(const std::wstring& path, std::wstring& resolved) {
    HANDLE h = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return false;
    }
    wchar_t buffer[32768];
    const DWORD n = GetFinalPathNameByHandleW(h, buffer, 32768, FILE_NAME_NORMALIZED);
    CloseHandle(h);
    if (n == 0 || n >= 32768) {
        return false;
    }
    resolved.assign(buffer, n);
    return true;
}

bool fail(Replacement& replacement, Text& why, const char* context, DWORD error) {
    why = systemMessage(context, error);
    abandonReplacement(replacement);
    return false;
}

}  // namespace

bool beginReplacement(const char* target, Replacement& replacement, Text& why) {
    abandonReplacement(replacement);
    auto* pending = new Pending;
    replacement.state = pending;
    if (!widen(target, pending->target)) {
        return fail(replacement, why, "", GetLastError());
    }
    DWORD attributes = GetFileAttributesW(pending->target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        std::wstring resolved;
        if (!finalPath(pending->target, resolved)) {
            return fail(replacement, why, "", GetLastError());
        }
        pending->target = resolved;
        attributes = GetFileAttributesW(pending->target.c_str());
    }
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return fail(replacement, why, "", GetLastError());
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        why = "is not a regular file";
        abandonReplacement(replacement);
        return false;
    }
    // Checked here rather than left to the rename, which some Windows hosts let through.
    if (attributes & FILE_ATTRIBUTE_READONLY) {
        why = "the file is read-only, so it was not replaced";
        abandonReplacement(replacement);
        return false;
    }
    const DWORD kept = attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                     FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        pending->temporary = pending->target + L".tmp" + std::to_wstring(GetCurrentProcessId()) +
                             L"-" + std::to_wstring(attempt);
        pending->handle =
            CreateFileW(pending->temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                        kept != 0 ? kept : FILE_ATTRIBUTE_NORMAL, nullptr);
        if (pending->handle != INVALID_HANDLE_VALUE) {
            return true;
        }
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
            pending->temporary.clear();
            return fail(replacement, why, "cannot create a temporary file beside it: ", error);
        }
    }
    pending->temporary.clear();
    return fail(replacement, why, "cannot create a temporary file beside it: ", ERROR_FILE_EXISTS);
}

bool writeReplacement(Replacement& replacement, const char* bytes, std::size_t count, Text& why) {
    auto* pending = underWay<Pending>(replacement, why);
    if (pending == nullptr) {
        return false;
    }
    while (count > 0) {
        const DWORD chunk = count > (1u << 30) ? (1u << 30) : static_cast<DWORD>(count);
        DWORD written = 0;
        if (!WriteFile(pending->handle, bytes, chunk, &written, nullptr) || written == 0) {
            return fail(replacement, why, "cannot write the new content: ", GetLastError());
        }
        bytes += written;
        count -= written;
    }
    return true;
}

bool commitReplacement(Replacement& replacement, Text& why) {
    auto* pending = underWay<Pending>(replacement, why);
    if (pending == nullptr) {
        return false;
    }
    if (!FlushFileBuffers(pending->handle)) {
        return fail(replacement, why, "cannot flush the new content to disk: ", GetLastError());
    }
    const BOOL closed = CloseHandle(pending->handle);
    pending->handle = INVALID_HANDLE_VALUE;
    if (!closed) {
        return fail(replacement, why, "cannot close the new content: ", GetLastError());
    }
    if (!MoveFileExW(pending->temporary.c_str(), pending->target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return fail(replacement, why, "cannot replace the file: ", GetLastError());
    }
    pending->temporary.clear();
    delete pending;
    replacement.state = nullptr;
    return true;
}

void abandonReplacement(Replacement& replacement) {
    auto* pending = static_cast<Pending*>(replacement.state);
    if (pending == nullptr) {
        return;
    }
    if (pending->handle != INVALID_HANDLE_VALUE) {
        CloseHandle(pending->handle);
    }
    if (!pending->temporary.empty()) {
        DeleteFileW(pending->temporary.c_str());
    }
    delete pending;
    replacement.state = nullptr;
}

#else  // POSIX

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

struct Pending {
    Text target;     // the file itself, with any symbolic link resolved
    Text temporary;  // empty until the temporary file exists
    int fd = -1;
};

bool fail(Replacement& replacement, Text& why, const char* context, int error) {
    why = Text(context) + Text(std::strerror(error));
    abandonReplacement(replacement);
    return false;
}

// The folder of a resolved path, so that fsync can make the rename itself durable.
void syncFolderOf(const Text& path) {
    const char* slash = std::strrchr(path.c_str(), '/');
    if (slash == nullptr) {
        return;
    }
    const auto keep = static_cast<std::size_t>(slash - path.c_str());
    Text parent;
    parent.append(path.c_str(), keep == 0 ? 1 : keep);
    const int fd = open(parent.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        fsync(fd);  // best effort: the data itself was already synced before the rename
        close(fd);
    }
}

}  // namespace

bool beginReplacement(const char* target, Replacement& replacement, Text& why) {
    abandonReplacement(replacement);
    auto* pending = new Pending;
    replacement.state = pending;

    char* resolved = realpath(target, nullptr);
    if (resolved == nullptr) {
        return fail(replacement, why, "", errno);
    }
    pending->target = resolved;
    std::free(resolved);

    struct stat original {};
    if (stat(pending->target.c_str(), &original) != 0) {
        return fail(replacement, why, "", errno);
    }
    if (!S_ISREG(original.st_mode)) {
        why = "is not a regular file";
        abandonReplacement(replacement);
        return false;
    }
    // No write bit at all counts as read-only even for a user whose privileges would override it.
    if ((original.st_mode & 0222) == 0 || access(pending->target.c_str(), W_OK) != 0) {
        why = "the file is read-only, so it was not replaced";
        abandonReplacement(replacement);
        return false;
    }

    const Text pattern = pending->target + ".tmp-XXXXXX";
    std::vector<char> name(pattern.c_str(), pattern.c_str() + pattern.length() + 1);
    const int fd = mkstemp(name.data());  // fills in the X's
    if (fd < 0) {
        return fail(replacement, why, "cannot create a temporary file beside it: ", errno);
    }
    pending->fd = fd;
    pending->temporary = name.data();

    // The new file takes the old one's place, so it takes its owner and permissions too.
    if (original.st_uid != geteuid() || original.st_gid != getegid()) {
        (void)!fchown(fd, original.st_uid, original.st_gid);  // only privileged users can
    }
    if (fchmod(fd, original.st_mode & 07777) != 0) {
        return fail(replacement, why,
                    "cannot give the new file the old one's permissions: ", errno);
    }
    return true;
}

bool writeReplacement(Replacement& replacement, const char* bytes, std::size_t count, Text& why) {
    auto* pending = underWay<Pending>(replacement, why);
    if (pending == nullptr) {
        return false;
    }
    while (count > 0) {
        const ssize_t n = write(pending->fd, bytes, count < SSIZE_MAX ? count : SSIZE_MAX);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return fail(replacement, why, "cannot write the new content: ", n < 0 ? errno : EIO);
        }
        bytes += n;
        count -= static_cast<std::size_t>(n);
    }
    return true;
}

bool commitReplacement(Replacement& replacement, Text& why) {
    auto* pending = underWay<Pending>(replacement, why);
    if (pending == nullptr) {
        return false;
    }
    if (fsync(pending->fd) != 0) {
        return fail(replacement, why, "cannot flush the new content to disk: ", errno);
    }
    const int closed = close(pending->fd);
    pending->fd = -1;
    if (closed != 0) {
        return fail(replacement, why, "cannot close the new content: ", errno);
    }
    if (std::rename(pending->temporary.c_str(), pending->target.c_str()) != 0) {
        return fail(replacement, why, "cannot replace the file: ", errno);
    }
    syncFolderOf(pending->target);
    delete pending;
    replacement.state = nullptr;
    return true;
}

void abandonReplacement(Replacement& replacement) {
    auto* pending = static_cast<Pending*>(replacement.state);
    if (pending == nullptr) {
        return;
    }
    if (pending->fd >= 0) {
        close(pending->fd);
    }
    if (!pending->temporary.empty()) {
        unlink(pending->temporary.c_str());
    }
    delete pending;
    replacement.state = nullptr;
}

#endif
