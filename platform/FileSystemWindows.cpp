// The Windows side of the safe replacement.
#include <windows.h>

#include <cstring>
#include <string>

#include "platform/FileSystem.h"
#include "platform/FileSystemTestHook.h"
#include "platform/WindowsText.h"

namespace os {

struct Files {
    std::wstring target;  // the name to replace: as given, or the file that a link names
    HANDLE original = INVALID_HANDLE_VALUE;
    BY_HANDLE_FILE_INFORMATION read{};  // the file as it was opened
    LARGE_INTEGER changed{};            // its time of last change of any kind, then
    std::wstring temporary;             // empty until the temporary file exists
    Text keptAside;  // the file read, left where it was moved when it could not be put back
    bool keptAsideIsOriginal = false;
    HANDLE handle = INVALID_HANDLE_VALUE;
};

namespace {

// The longest path the wide API takes, in UTF-16 units, terminator included.
constexpr DWORD kLongestPath = 32768;

// Scanners, indexers and the simulator itself open files for a moment; the replace and the
// removal of the temporary file wait for them this long before they give up.
constexpr DWORD kLockWaitMs = 2000;

// The temporary file that the console handler must remove. The handler runs on a thread of its
// own, so the name sits in a fixed buffer and a flag says whether it is valid.
wchar_t gTemporary[kLongestPath + 64];
volatile LONG gTemporaryLive = 0;
// The exit status the run has earned, once it has; -1 before.
volatile LONG gEarnedStatus = -1;
// Set while the file is moved aside and the new one put in its place, steps that the handler
// lets finish rather than leave the name standing for nothing.
volatile LONG gPlacing = 0;

BOOL WINAPI removeTemporaryOnClose(DWORD event) {
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT || event == CTRL_CLOSE_EVENT ||
        event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) {
        // Windows gives a handler 5 s on a close; placing takes far less unless a file is held.
        for (int waited = 0; InterlockedCompareExchange(&gPlacing, 0, 0) != 0 && waited < 4000;
             ++waited) {
            Sleep(1);
        }
        if (InterlockedCompareExchange(&gTemporaryLive, 0, 0) != 0) {
            DeleteFileW(gTemporary);  // the open handle shares deletion: gone when it closes
        }
        const LONG earned = InterlockedCompareExchange(&gEarnedStatus, 0, 0);
        if (earned >= 0) {
            ExitProcess(static_cast<UINT>(earned));
        }
    }
    return FALSE;  // then end the process as Windows would have
}

void registerTemporary(const std::wstring& path) {
    if (path.size() < sizeof gTemporary / sizeof gTemporary[0]) {
        std::memcpy(gTemporary, path.c_str(), (path.size() + 1) * sizeof(wchar_t));
        InterlockedExchange(&gTemporaryLive, 1);
    }
}

void unregisterTemporary() {
    InterlockedExchange(&gTemporaryLive, 0);
}

bool heldByAnotherProgram(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
           error == ERROR_ACCESS_DENIED;
}

// Repeats `step` with a growing pause while another program holds the file.
template <typename Step>
bool waitingForLocks(Step step, DWORD& error) {
    DWORD waited = 0;
    DWORD pause = 10;
    for (;;) {
        if (step()) {
            return true;
        }
        error = GetLastError();
        if (!heldByAnotherProgram(error) || waited >= kLockWaitMs) {
            return false;
        }
        Sleep(pause);
        waited += pause;
        pause = pause < 160 ? pause * 2 : 250;
    }
}

// The file a symbolic link or junction finally names, so that the link itself stays a link.
bool finalPath(const std::wstring& path, std::wstring& resolved) {
    HANDLE h = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return false;
    }
    wchar_t buffer[kLongestPath];
    const DWORD n = GetFinalPathNameByHandleW(h, buffer, kLongestPath, FILE_NAME_NORMALIZED);
    const DWORD error = GetLastError();
    CloseHandle(h);
    if (n == 0 || n >= kLongestPath) {
        SetLastError(n == 0 ? error : ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    resolved.assign(buffer, n);
    return true;
}

bool sameFileUnchanged(const BY_HANDLE_FILE_INFORMATION& now,
                       const BY_HANDLE_FILE_INFORMATION& then) {
    return (now.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) ==
               0 &&
           now.dwVolumeSerialNumber == then.dwVolumeSerialNumber &&
           now.nFileIndexHigh == then.nFileIndexHigh && now.nFileIndexLow == then.nFileIndexLow &&
           now.nFileSizeHigh == then.nFileSizeHigh && now.nFileSizeLow == then.nFileSizeLow &&
           CompareFileTime(&now.ftLastWriteTime, &then.ftLastWriteTime) == 0;
}

// The time of a file's last change of any kind: unlike the time of its last write, no program can
// put it back.
bool changeTimeOf(HANDLE file, LARGE_INTEGER& changed) {
    FILE_BASIC_INFO basic{};
    if (!GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic)) {
        return false;
    }
    changed = basic.ChangeTime;
    return true;
}

}  // namespace

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

void prepareProcess() {
    SetConsoleCtrlHandler(removeTemporaryOnClose, TRUE);
}

void settleExitStatus(int status) {
    InterlockedExchange(&gEarnedStatus, status);
}

Files* createFiles() {
    return new Files;
}

Text destroyFiles(Files* files) {
    if (files->original != INVALID_HANDLE_VALUE) {
        CloseHandle(files->original);
    }
    if (files->handle != INVALID_HANDLE_VALUE) {
        CloseHandle(files->handle);
    }
    Text leftBehind;
    if (!files->temporary.empty()) {
        DWORD error = 0;
        if (!waitingForLocks([&] { return DeleteFileW(files->temporary.c_str()) != 0; }, error) &&
            error != ERROR_FILE_NOT_FOUND) {
            leftBehind =
                utf8FromWide(files->temporary.c_str(), static_cast<int>(files->temporary.size()));
        }
        unregisterTemporary();
    }
    delete files;
    return leftBehind;
}

bool openOriginal(Files& files, const char* path, FileFacts& facts, SystemError& error) {
    files.target = wideFromUtf8(Text(path));  // the program's paths are UTF-8
    const DWORD attributes = GetFileAttributesW(files.target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        std::wstring resolved;
        if (!finalPath(files.target, resolved)) {
            error = GetLastError();
            return false;
        }
        files.target = resolved;
    }
    // Shared every way, so that editors and the simulator can go on using the file; backup
    // semantics let a folder open too, so that it is refused by what it is. A program that holds
    // the file without sharing it is waited for, as the replace waits for it.
    DWORD held = 0;
    if (!waitingForLocks(
            [&] {
                files.original =
                    CreateFileW(files.target.c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
                return files.original != INVALID_HANDLE_VALUE;
            },
            held)) {
        error = held;
        return false;
    }
    if (!GetFileInformationByHandle(files.original, &files.read) ||
        !changeTimeOf(files.original, files.changed)) {
        error = GetLastError();
        return false;
    }
    facts.regular = GetFileType(files.original) == FILE_TYPE_DISK &&
                    (files.read.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    facts.size =
        (static_cast<std::int64_t>(files.read.nFileSizeHigh) << 32) | files.read.nFileSizeLow;
    facts.lastWriteTicks =
        (static_cast<std::int64_t>(files.read.ftLastWriteTime.dwHighDateTime) << 32) |
        files.read.ftLastWriteTime.dwLowDateTime;
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
    return true;
}

void closeOriginal(Files& files) {
    CloseHandle(files.original);
    files.original = INVALID_HANDLE_VALUE;
}

// The attribute is checked here rather than left to the replace, which some hosts let through.
bool isReadOnly(Files& files) {
    return (files.read.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
}

bool createTemporary(Files& files, SystemError& error) {
    const DWORD kept =
        files.read.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                       FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        const std::wstring name = files.target + L".tmp-" + std::to_wstring(GetCurrentProcessId()) +
                                  L"-" + std::to_wstring(attempt);
        // Deletion is shared so that the console handler can remove the file while it is open.
        files.handle = CreateFileW(name.c_str(), GENERIC_WRITE, FILE_SHARE_DELETE, nullptr,
                                   CREATE_NEW, kept != 0 ? kept : FILE_ATTRIBUTE_NORMAL, nullptr);
        if (files.handle != INVALID_HANDLE_VALUE) {
            files.temporary = name;
            registerTemporary(name);
            return true;
        }
        error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
            return false;
        }
    }
    return false;
}

// The attributes that matter were given at creation, and the folder's inherited permissions
// apply: there is nothing left to copy.
bool copyAttributes(Files&, Text&, SystemError&) {
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

bool temporaryFacts(Files& files, std::int64_t& size, std::int64_t& lastWriteTicks,
                    SystemError& error) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(files.temporary.c_str(), GetFileExInfoStandard, &data)) {
        error = GetLastError();
        return false;
    }
    size = (static_cast<std::int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    lastWriteTicks = (static_cast<std::int64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                     data.ftLastWriteTime.dwLowDateTime;
    return true;
}

// Windows cannot swap names, so no other program's save ever comes back to the temporary name.
Text keptAside(Files& files, bool& original) {
    original = files.keptAsideIsOriginal;
    return files.keptAside;
}

namespace {

// What stands at `path`: the file read, unchanged? `byChangeTime` where no rename has moved its
// time of last change since.
PlaceResult checkFileAt(const std::wstring& path, const Files& files, bool byChangeTime,
                        SystemError& error) {
    HANDLE now = CreateFileW(
        path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (now == INVALID_HANDLE_VALUE) {
        const DWORD why = GetLastError();
        if (why == ERROR_FILE_NOT_FOUND || why == ERROR_PATH_NOT_FOUND) {
            return PlaceResult::fileChanged;
        }
        error = why;
        return PlaceResult::failed;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    LARGE_INTEGER changed{};
    const bool same = GetFileInformationByHandle(now, &info) &&
                      sameFileUnchanged(info, files.read) &&
                      (!byChangeTime ||
                       (changeTimeOf(now, changed) && changed.QuadPart == files.changed.QuadPart));
    CloseHandle(now);
    return same ? PlaceResult::placed : PlaceResult::fileChanged;
}

// Renames `from` to `to` only if nothing stands at `to`, waiting for programs that hold either.
bool moveIfFree(const std::wstring& from, const std::wstring& to, DWORD& error) {
    return waitingForLocks(
        [&] { return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH) != 0; }, error);
}

// Windows cannot swap two names. The file is moved aside in one step, so that what is checked is
// exactly what was taken away; the new file then takes the name only if it is still free. For
// that moment the name stands for nothing: a reader finds no file rather than a wrong one, and no
// other program's save can be overwritten. Whatever cannot be put back stays aside and is named.
PlaceResult moveAsideThenPlace(Files& files, SystemError& error) {
    const PlaceResult before = checkFileAt(files.target, files, true, error);
    if (before != PlaceResult::placed) {
        return before;
    }
    const std::wstring aside = files.temporary + L".old";
    reachMomentForTests(TestMoment::beforeSwap);
    DWORD why = 0;
    if (!moveIfFree(files.target, aside, why)) {
        if (why == ERROR_FILE_NOT_FOUND || why == ERROR_PATH_NOT_FOUND) {
            return PlaceResult::fileChanged;
        }
        error = why;
        return PlaceResult::failed;
    }
    reachMomentForTests(TestMoment::afterSwap);
    SystemError ignored = 0;
    const bool theFileRead = checkFileAt(aside, files, false, ignored) == PlaceResult::placed;
    if (theFileRead && moveIfFree(files.temporary, files.target, why)) {
        DWORD gone = 0;
        waitingForLocks([&] { return DeleteFileW(aside.c_str()) != 0; }, gone);
        files.temporary.clear();
        unregisterTemporary();
        return PlaceResult::placed;
    }
    const DWORD placing = why;
    // Not placed: what was moved aside goes back, unless another program has saved at the name.
    if (!moveIfFree(aside, files.target, why)) {
        files.keptAside = utf8FromWide(aside.c_str(), static_cast<int>(aside.size()));
        files.keptAsideIsOriginal = theFileRead;
        return PlaceResult::fileChanged;
    }
    if (theFileRead && placing != ERROR_ALREADY_EXISTS && placing != ERROR_FILE_EXISTS) {
        error = placing;
        return PlaceResult::failed;
    }
    return PlaceResult::fileChanged;
}

}  // namespace

PlaceResult placeTemporary(Files& files, SystemError& error) {
    InterlockedExchange(&gPlacing, 1);
    const PlaceResult result = moveAsideThenPlace(files, error);
    InterlockedExchange(&gPlacing, 0);
    return result;
}

}  // namespace os
