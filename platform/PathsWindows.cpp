#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

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

std::vector<Text> foldersIn(const Text& folder) {
    std::vector<Text> names;
    const std::wstring pattern = wideFromUtf8(folder.empty() ? Text("*") : folder + Text("\\*"));
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return names;
    }
    do {
        const std::wstring name = found.cFileName;
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 && name != L"." &&
            name != L"..") {
            names.push_back(utf8FromWide(name.c_str(), static_cast<int>(name.size())));
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
}

std::vector<Text> programArguments(int, char**) {
    std::vector<Text> arguments;
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) {
        return arguments;
    }
    for (int i = 1; i < count; ++i) {
        arguments.push_back(utf8FromWide(wide[i], -1));
    }
    LocalFree(wide);
    return arguments;
}
