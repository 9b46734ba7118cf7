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

namespace {

void addFilesUnder(const std::wstring& folder, const std::wstring& relative, std::size_t most,
                   std::vector<Text>& files) {
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return;
    }
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L".." || files.size() >= most) {
            continue;
        }
        const std::wstring inside = relative.empty() ? name : relative + L"/" + name;
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            // A junction or a link to a folder is not followed, so no loop can form.
            if ((found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
                addFilesUnder(folder + L"\\" + name, inside, most, files);
            }
        } else {
            files.push_back(utf8FromWide(inside.c_str(), static_cast<int>(inside.size())));
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

}  // namespace

std::vector<Text> filesUnder(const Text& folder, std::size_t most) {
    std::vector<Text> files;
    std::wstring start = wideFromUtf8(folder.empty() ? Text(".") : folder);
    while (!start.empty() && (start.back() == L'\\' || start.back() == L'/')) {
        start.pop_back();
    }
    addFilesUnder(start, std::wstring(), most, files);
    return files;
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
