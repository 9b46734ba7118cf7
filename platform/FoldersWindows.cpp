#include <windows.h>

#include <cstring>
#include <cwchar>
#include <string>

#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "platform/WindowsText.h"

namespace os::native {

bool listFolder(const Text& folder, void (*visit)(void* context, const ListedEntry& entry),
                void* context, SystemError& error) {
    std::wstring pattern = apiWidePath(folder);
    if (!pattern.empty() && pattern.back() != L'\\') {
        pattern += L'\\';
    }
    pattern += L'*';
    WIN32_FIND_DATAW found{};
    // The basic information leaves out the short names, and a large fetch takes many names a call.
    HANDLE search = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found,
                                     FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (search == INVALID_HANDLE_VALUE) {
        const DWORD failed = GetLastError();
        if (failed == ERROR_FILE_NOT_FOUND) {
            return true;  // nothing at all, as in an empty drive's root
        }
        error = failed;
        return false;
    }
    do {
        if (std::wcscmp(found.cFileName, L".") == 0 || std::wcscmp(found.cFileName, L"..") == 0) {
            continue;
        }
        const Text name =
            utf8FromWide(found.cFileName, static_cast<int>(std::wcslen(found.cFileName)));
        const DWORD attributes = found.dwFileAttributes;
        ListedEntry listed;
        listed.name = name.c_str();
        listed.length = static_cast<std::size_t>(name.length());
        listed.kind = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ? EntryKind::link
                      : (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0   ? EntryKind::folder
                                                                       : EntryKind::file;
        visit(context, listed);
    } while (FindNextFileW(search, &found));
    const DWORD ended = GetLastError();
    FindClose(search);
    if (ended != ERROR_NO_MORE_FILES) {
        error = ended;
        return false;
    }
    return true;
}

bool holdFolder(const Text& path, HeldFolder& held, SystemError& error) {
    const std::wstring wide = apiWidePath(path.empty() ? Text(".") : path);
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        error = GetLastError();
        return false;
    }
    held.path = path;
    return true;
}

Hold holdFolderIn(const HeldFolder& parent, const char* name, HeldFolder& held,
                  SystemError& error) {
    Text path = parent.path;
    if (!path.empty() && path.c_str()[path.length() - 1] != '\\' &&
        path.c_str()[path.length() - 1] != '/') {
        path += '\\';
    }
    path += Text(name);
    // The walk goes down by path here: a junction or link put at the name after the parent was
    // listed is refused when it is seen, though not in the same call that lists the folder.
    const DWORD attributes = GetFileAttributesW(apiWidePath(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD failed = GetLastError();
        if (failed == ERROR_FILE_NOT_FOUND || failed == ERROR_PATH_NOT_FOUND) {
            return Hold::notAFolder;
        }
        error = failed;
        return Hold::failed;
    }
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ||
        (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        return Hold::notAFolder;
    }
    held.path = path;
    return Hold::held;
}

bool listHeld(const HeldFolder& folder, void (*visit)(void* context, const ListedEntry& entry),
              void* context, SystemError& error) {
    return listFolder(folder.path, visit, context, error);
}

}  // namespace os::native

HeldFolder::~HeldFolder() = default;

Text programFile() {
    std::wstring path(32768, L'\0');
    const DWORD n = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
    if (n == 0 || n >= path.size()) {
        return Text();
    }
    path.resize(n);
    return utf8FromWide(path.c_str(), static_cast<int>(path.size()));
}
