#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <cwchar>

#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "platform/WindowsText.h"

bool isPathSeparator(char c) {
    return c == '/' || c == '\\';
}

char pathSeparator() {
    return '\\';
}

PathKind kindOf(const Text& path) {
    const DWORD attributes = GetFileAttributesW(wideFromUtf8(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? PathKind::missing
                                                                              : PathKind::other;
    }
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? PathKind::folder : PathKind::file;
}

Text fullPathOf(const Text& path) {
    const std::wstring wide = wideFromUtf8(path);
    const DWORD needed = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (needed == 0) {
        return path;
    }
    std::wstring full(needed, L'\0');
    const DWORD n = GetFullPathNameW(wide.c_str(), needed, &full[0], nullptr);
    if (n == 0 || n >= needed) {
        return path;
    }
    return utf8FromWide(full.c_str(), static_cast<int>(n));
}

Text resolvedPathOf(const Text& path) {
    // Opened for no access at all, only to be named: a file that others hold open still opens,
    // and FILE_FLAG_BACKUP_SEMANTICS lets a folder open too.
    HANDLE handle = CreateFileW(wideFromUtf8(path.empty() ? Text(".") : path).c_str(), 0,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return fullPathOf(path);
    }
    const DWORD flags = FILE_NAME_NORMALIZED | VOLUME_NAME_DOS;
    std::wstring real(MAX_PATH, L'\0');
    DWORD n = GetFinalPathNameByHandleW(handle, &real[0], static_cast<DWORD>(real.size()), flags);
    if (n >= real.size()) {  // too small: n is the size needed, its terminator included
        real.assign(n, L'\0');
        n = GetFinalPathNameByHandleW(handle, &real[0], static_cast<DWORD>(real.size()), flags);
    }
    CloseHandle(handle);
    if (n == 0 || n >= real.size()) {
        return fullPathOf(path);
    }
    real.resize(n);
    // The name comes in its long form, \\?\C:\... or \\?\UNC\server\share\...; the rest of
    // the program, and the user, know it as C:\... and \\server\share\....
    if (real.compare(0, 8, L"\\\\?\\UNC\\") == 0) {
        real.replace(0, 8, L"\\\\");
    } else if (real.compare(0, 4, L"\\\\?\\") == 0) {
        real.erase(0, 4);
    }
    return utf8FromWide(real.c_str(), static_cast<int>(real.size()));
}

namespace {

// "M:" and "M:name" start from drive M's own current folder, as every Windows program takes them.
// The program adds names to an item after a separator, which would turn "M:" and "aircraft.cfg"
// into the drive's root file: such an item is given its folder in full from the start.
std::wstring fromTheDrivesFolder(const std::wstring& item) {
    const bool driveRelative =
        item.size() >= 2 && item[1] == L':' &&
        ((item[0] >= L'A' && item[0] <= L'Z') || (item[0] >= L'a' && item[0] <= L'z')) &&
        (item.size() == 2 || (item[2] != L'\\' && item[2] != L'/'));
    if (!driveRelative) {
        return item;
    }
    const wchar_t drive[] = {item[0], L':', L'\0'};
    std::wstring full(32768, L'\0');  // the longest path the wide API takes
    const DWORD n = GetFullPathNameW(drive, static_cast<DWORD>(full.size()), &full[0], nullptr);
    if (n == 0 || n >= full.size()) {
        return item;
    }
    full.resize(n);
    if (full.back() != L'\\') {
        full += L'\\';
    }
    return full + item.substr(2);
}

}  // namespace

std::vector<Text> programArguments(int, char**) {
    std::vector<Text> arguments;
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) {
        return arguments;
    }
    for (int i = 1; i < count; ++i) {
        const std::wstring item = fromTheDrivesFolder(wide[i]);
        arguments.push_back(utf8FromWide(item.c_str(), static_cast<int>(item.size())));
    }
    LocalFree(wide);
    return arguments;
}
