// The Windows side of the safe replacement.
#include <windows.h>
// After windows.h, which it needs.
#include <aclapi.h>

#include <cstring>
#include <string>

#include "platform/FileSystem.h"
#include "platform/WindowsText.h"

namespace os {

struct Files {
    HANDLE original = INVALID_HANDLE_VALUE;  // open while it is read
    BY_HANDLE_FILE_INFORMATION read{};       // the file as it was opened
    PACL accessList = nullptr;               // its own access list, within `descriptor`
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    HANDLE handle = INVALID_HANDLE_VALUE;  // the temporary file while it is written
    HANDLE held = INVALID_HANDLE_VALUE;    // the closed temporary file, held for its rename
    std::wstring heldPath;
};

namespace {

// Scanners, indexers and the simulator itself open files for a moment; the steps wait for them
// this long before they give up.
constexpr ULONGLONG kLockWaitMs = 2000;

// The program's paths are UTF-8, and are handed to the system in full, in the form it takes as it
// stands: "Plane." is then not "Plane".
std::wstring wide(const Text& path) {
    return apiWidePath(path);
}

bool heldByAnotherProgram(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
           error == ERROR_ACCESS_DENIED;
}

// Repeats `step` with a growing pause while another program holds the file.
template <typename Step>
bool waitingForLocks(Step step, DWORD& error) {
    const ULONGLONG until = GetTickCount64() + kLockWaitMs;
    DWORD pause = 10;
    for (;;) {
        if (step()) {
            return true;
        }
        error = GetLastError();
        if (!heldByAnotherProgram(error) || GetTickCount64() >= until) {
            return false;
        }
        Sleep(pause);
        pause = pause < 160 ? pause * 2 : 250;
    }
}

std::int64_t ticksOf(const FILETIME& time) {
    return (static_cast<std::int64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

Status identityOf(HANDLE file, const BY_HANDLE_FILE_INFORMATION& info) {
    Status identity;
    const DWORD attributes = info.dwFileAttributes;
    FILE_ATTRIBUTE_TAG_INFO tag{};
    const bool aLink = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
                       GetFileInformationByHandleEx(file, FileAttributeTagInfo, &tag, sizeof tag) &&
                       isALink(attributes, tag.ReparseTag);
    identity.kind = aLink                                          ? EntryKind::link
                    : (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? EntryKind::folder
                    : GetFileType(file) == FILE_TYPE_DISK          ? EntryKind::file
                                                                   : EntryKind::other;
    identity.readOnly = (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
    identity.device = info.dwVolumeSerialNumber;
    identity.file = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    identity.size = (static_cast<std::int64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    identity.lastWriteTicks = ticksOf(info.ftLastWriteTime);
    // The time of a file's last change of any kind: unlike the time of its last write, no program
    // can put it back.
    FILE_BASIC_INFO basic{};
    if (GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic)) {
        identity.changeTicks = basic.ChangeTime.QuadPart;
    }
    return identity;
}

// The file a symbolic link or junction finally names, without the prefix that marks a path the
// system is to take as it stands.
bool finalPath(const std::wstring& path, std::wstring& resolved) {
    resolved = finalWidePath(path);
    return !resolved.empty();
}

// Whether `resolved` is `path` made full, in any letter case: the name is then no link.
bool samePath(const std::wstring& resolved, const std::wstring& path) {
    return _wcsicmp(fullWidePath(path).c_str(), resolved.c_str()) == 0;
}

// `path` with its last name spelt as the folder holds it: Windows finds a name in any letter case
// but creates one in the case it is given, and the user's own spelling must survive a rewrite.
std::wstring asTheFolderSpellsIt(const std::wstring& path) {
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW(apiWidePath(path).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return path;
    }
    FindClose(search);
    const std::size_t nameAt = path.find_last_of(L"\\/");
    const std::size_t start = nameAt == std::wstring::npos ? 0 : nameAt + 1;
    if (_wcsicmp(path.c_str() + start, found.cFileName) != 0) {
        return path;  // a short 8.3 name, say: keep what was asked for
    }
    return path.substr(0, start) + found.cFileName;
}

Done failure(DWORD error, SystemError& out) {
    out = error;
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return Done::missing;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return Done::taken;
        default:
            return Done::failed;
    }
}

}  // namespace

// The primitives, as FileSystem.h declares them.
namespace native {

Files* createFiles() {
    return new Files;
}

void destroyFiles(Files* files) {
    if (files->descriptor != nullptr) {
        LocalFree(files->descriptor);
    }
    for (HANDLE h : {files->original, files->handle, files->held}) {
        if (h != INVALID_HANDLE_VALUE) {
            CloseHandle(h);
        }
    }
    delete files;
}

bool openOriginal(Files& files, const char* path, FileFacts& facts, SystemError& error) {
    std::wstring target = wideFromUtf8(Text(path));
    // A link is replaced by the file it finally names, so that the link itself stays a link. Wine
    // shows a Unix symbolic link as a plain file, yet removes the file it names when the link is
    // deleted: what the name leads to is asked of every file, not only of those marked as links.
    std::wstring resolved;
    if (finalPath(target, resolved) && !samePath(resolved, target)) {
        target = resolved;
    } else if (GetFileAttributesW(apiWidePath(target).c_str()) != INVALID_FILE_ATTRIBUTES &&
               (GetFileAttributesW(apiWidePath(target).c_str()) & FILE_ATTRIBUTE_REPARSE_POINT)) {
        error = GetLastError();
        return false;
    }
    // Shared every way, so that editors and the simulator can go on using the file; backup
    // semantics let a folder open too, so that it is refused by what it is. A program that holds
    // the file without sharing it is waited for, as the replace waits for it. READ_CONTROL lets
    // the new file be given the old one's access list.
    DWORD held = 0;
    if (!waitingForLocks(
            [&] {
                files.original =
                    CreateFileW(apiWidePath(target).c_str(), GENERIC_READ | READ_CONTROL,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
                return files.original != INVALID_HANDLE_VALUE;
            },
            held)) {
        error = held;
        return false;
    }
    if (!GetFileInformationByHandle(files.original, &files.read)) {
        error = GetLastError();
        return false;
    }
    const DWORD listed =
        GetSecurityInfo(files.original, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                        &files.accessList, nullptr, &files.descriptor);
    if (listed != ERROR_SUCCESS) {
        error = listed;
        return false;
    }
    target = asTheFolderSpellsIt(target);
    facts.target = utf8FromWide(target.c_str(), static_cast<int>(target.size()));
    facts.identity = identityOf(files.original, files.read);
    facts.regular = GetFileType(files.original) == FILE_TYPE_DISK &&
                    (files.read.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    return true;
}

bool readOriginal(Files& files, char* buffer, std::size_t capacity, std::size_t& got,
                  SystemError& error) {
    const DWORD chunk = capacity > (1u << 30) ? (1u << 30) : static_cast<DWORD>(capacity);
    DWORD n = 0;
    if (!ReadFile(files.original, buffer, chunk, &n, nullptr)) {
        error = GetLastError();
        return false;
    }
    got = n;
    // Closed once read: while it is open, another program's save over the name is refused.
    if (n == 0) {
        CloseHandle(files.original);
        files.original = INVALID_HANDLE_VALUE;
    }
    return true;
}

// The file was let go once it was read, so that others could save over it: it is opened again by
// name, and taken only if it is still the very file that was read.
Done rewindOriginal(Files& files, const Text& target, SystemError& error) {
    if (files.original == INVALID_HANDLE_VALUE) {
        const HANDLE again =
            CreateFileW(wide(target).c_str(), GENERIC_READ,
                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (again == INVALID_HANDLE_VALUE) {
            error = GetLastError();
            return error == ERROR_FILE_NOT_FOUND ? Done::missing : Done::failed;
        }
        BY_HANDLE_FILE_INFORMATION now{};
        if (!GetFileInformationByHandle(again, &now)) {
            error = GetLastError();
            CloseHandle(again);
            return Done::failed;
        }
        if (now.dwVolumeSerialNumber != files.read.dwVolumeSerialNumber ||
            now.nFileIndexHigh != files.read.nFileIndexHigh ||
            now.nFileIndexLow != files.read.nFileIndexLow) {
            CloseHandle(again);
            return Done::taken;
        }
        files.original = again;
    }
    LARGE_INTEGER start{};
    if (!SetFilePointerEx(files.original, start, nullptr, FILE_BEGIN)) {
        error = GetLastError();
        return Done::failed;
    }
    return Done::yes;
}

// The attribute is checked here rather than left to the replace, which some hosts let through.
bool isReadOnly(Files& files, const Text&) {
    return (files.read.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
}

Done createTemporary(Files& files, const Text& path, SystemError& error) {
    const DWORD kept =
        files.read.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                       FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
    // Deletion is shared so that the console handler can remove the file while it is open.
    files.handle =
        CreateFileW(wide(path).c_str(), GENERIC_WRITE | WRITE_DAC, FILE_SHARE_DELETE, nullptr,
                    CREATE_NEW, kept != 0 ? kept : FILE_ATTRIBUTE_NORMAL, nullptr);
    if (files.handle == INVALID_HANDLE_VALUE) {
        return failure(GetLastError(), error);
    }
    return Done::yes;
}

// A new file belongs to whoever creates it, and only an administrator may give it away; its
// access list, copied below, decides who may use it.
Done keepOwner(Files&, SystemError&) {
    return Done::yes;
}

// The old file's own access list, protected from the folder's inherited entries exactly when the
// old one was, so that the new file is open to no one the old one was closed to.
bool copyAttributes(Files& files, Text&, SystemError& error) {
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    GetSecurityDescriptorControl(files.descriptor, &control, &revision);
    const SECURITY_INFORMATION which =
        DACL_SECURITY_INFORMATION |
        ((control & SE_DACL_PROTECTED) != 0 ? PROTECTED_DACL_SECURITY_INFORMATION
                                            : UNPROTECTED_DACL_SECURITY_INFORMATION);
    const DWORD set = SetSecurityInfo(files.handle, SE_FILE_OBJECT, which, nullptr, nullptr,
                                      files.accessList, nullptr);
    if (set != ERROR_SUCCESS) {
        error = set;
        return false;
    }
    return true;
}

bool writeTemporary(Files& files, const char* bytes, std::size_t count, std::size_t& written,
                    SystemError& error) {
    const DWORD chunk = count > (1u << 30) ? (1u << 30) : static_cast<DWORD>(count);
    DWORD n = 0;
    if (!WriteFile(files.handle, bytes, chunk, &n, nullptr) || n == 0) {
        error = GetLastError();
        return false;
    }
    written = n;
    return true;
}

bool flushTemporary(Files& files, SystemError& error) {
    if (!FlushFileBuffers(files.handle)) {
        error = GetLastError();
        return false;
    }
    return true;
}

bool closeTemporary(Files& files, SystemError& error) {
    const BOOL closed = CloseHandle(files.handle);
    files.handle = INVALID_HANDLE_VALUE;
    if (!closed) {
        error = GetLastError();
        return false;
    }
    return true;
}

// Opened for deletion, which is what a rename needs, and shared only with readers: a scanner that
// would keep the file from its rename is waited for now, while the name still stands for the file
// read, and cannot take hold of it later.
bool holdTemporary(Files& files, const Text& path, SystemError& error) {
    const std::wstring name = wide(path);
    DWORD why = 0;
    if (!waitingForLocks(
            [&] {
                files.held = CreateFileW(name.c_str(), DELETE | SYNCHRONIZE,
                                         FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                         OPEN_EXISTING, 0, nullptr);
                return files.held != INVALID_HANDLE_VALUE;
            },
            why)) {
        error = why;
        return false;
    }
    files.heldPath = name;
    return true;
}

Done statusAt(const Text& path, Links links, Status& status, SystemError& error) {
    // Followed, the name is opened as the file would be; not followed, the link itself is.
    const DWORD flags =
        FILE_FLAG_BACKUP_SEMANTICS | (links == Links::followed ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
    HANDLE now = CreateFileW(wide(path.empty() ? Text(".") : path).c_str(), FILE_READ_ATTRIBUTES,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, flags, nullptr);
    if (now == INVALID_HANDLE_VALUE) {
        const DWORD why = GetLastError();
        // A name the system cannot even take, or a share that is not there, names nothing.
        if (why == ERROR_INVALID_NAME || why == ERROR_BAD_NETPATH) {
            error = why;
            return Done::missing;
        }
        return failure(why, error);
    }
    BY_HANDLE_FILE_INFORMATION info{};
    const bool known = GetFileInformationByHandle(now, &info) != 0;
    if (known) {
        status = identityOf(now, info);
        if (links == Links::followed && status.kind == EntryKind::link) {
            status.kind = EntryKind::other;  // what the system would not follow
        }
    } else {
        error = GetLastError();
    }
    CloseHandle(now);
    return known ? Done::yes : Done::failed;
}

// Windows cannot swap two names.
Done exchange(const Text&, const Text&, SystemError& error) {
    error = ERROR_NOT_SUPPORTED;
    return Done::unsupported;
}

// The held temporary file is renamed through its own handle, which nothing else can stand in the
// way of, to the destination's full path (the call takes no path relative to the current
// folder). Should the system not take the rename that way, the handle is let go and the name is
// renamed as any other. Any other name waits for programs that hold it.
Done renameIfFree(Files& files, const Text& from, const Text& to, SystemError& error) {
    const std::wstring source = wide(from);
    const std::wstring destination = wide(to);
    if (files.held != INVALID_HANDLE_VALUE && source == files.heldPath) {
        const std::wstring& full = destination;  // in full already
        if (!full.empty()) {
            const std::size_t bytes = sizeof(FILE_RENAME_INFO) + full.size() * sizeof(wchar_t);
            std::string buffer(bytes, '\0');
            auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(&buffer[0]);
            rename->ReplaceIfExists = FALSE;
            rename->RootDirectory = nullptr;
            rename->FileNameLength = static_cast<DWORD>(full.size() * sizeof(wchar_t));
            std::memcpy(rename->FileName, full.c_str(), full.size() * sizeof(wchar_t));
            if (SetFileInformationByHandle(files.held, FileRenameInfo, rename,
                                           static_cast<DWORD>(bytes))) {
                CloseHandle(files.held);
                files.held = INVALID_HANDLE_VALUE;
                return Done::yes;
            }
            const DWORD refused = GetLastError();
            if (refused != ERROR_INVALID_PARAMETER && refused != ERROR_INVALID_NAME &&
                refused != ERROR_NOT_SUPPORTED) {
                return failure(refused, error);
            }
        }
        CloseHandle(files.held);
        files.held = INVALID_HANDLE_VALUE;
    }
    DWORD why = 0;
    if (!waitingForLocks(
            [&] {
                return MoveFileExW(source.c_str(), destination.c_str(), MOVEFILE_WRITE_THROUGH) !=
                       0;
            },
            why)) {
        return failure(why, error);
    }
    return Done::yes;
}

Done renameOver(const Text& from, const Text& to, SystemError& error) {
    DWORD why = 0;
    if (!waitingForLocks(
            [&] {
                return MoveFileExW(wide(from).c_str(), wide(to).c_str(),
                                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
            },
            why)) {
        return failure(why, error);
    }
    return Done::yes;
}

Done remove(const Text& path, SystemError& error) {
    DWORD why = 0;
    if (!waitingForLocks([&] { return DeleteFileW(wide(path).c_str()) != 0; }, why)) {
        return failure(why, error);
    }
    return Done::yes;
}

// MOVEFILE_WRITE_THROUGH has made each rename durable already.
void syncFolderOf(const Text&) {}

}  // namespace native

Text systemMessage(SystemError error) {
    wchar_t buffer[512] = {0};
    DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             static_cast<DWORD>(error), 0, buffer, 512, nullptr);
    while (n > 0 && (buffer[n - 1] == L'\r' || buffer[n - 1] == L'\n' || buffer[n - 1] == L' ' ||
                     buffer[n - 1] == L'.')) {
        buffer[--n] = L'\0';
    }
    if (n == 0) {
        return Text("system error ") + Text(std::to_string(error).c_str());
    }
    return utf8FromWide(buffer, static_cast<int>(n));
}

std::int32_t processNumber() {
    return static_cast<std::int32_t>(GetCurrentProcessId());
}

}  // namespace os
