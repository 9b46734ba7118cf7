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

Text fullPathOf(const Text& path) {
    const std::wstring full = fullWidePath(wideFromUtf8(path));
    return utf8FromWide(full.c_str(), static_cast<int>(full.size()));
}

Text resolvedPathOf(const Text& path) {
    const std::wstring real = finalWidePath(wideFromUtf8(path));
    if (real.empty()) {
        return fullPathOf(path);
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
