#include <windows.h>

#include <cstring>
#include <cwchar>
#include <string>

#include "platform/FileSystem.h"
#include "platform/Folders.h"
#include "platform/WindowsText.h"

bool examinePath(const Text& path, Standing& standing, Text& reason) {
    const std::wstring wide = apiWidePath(path);
    // Opened as the file would be, so that a link is followed to what it names.
    HANDLE h = CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
            error == ERROR_INVALID_NAME || error == ERROR_BAD_NETPATH) {
            standing = Standing::missing;
            return true;
        }
        reason = os::systemMessage(error);
        return false;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    const bool known = GetFileInformationByHandle(h, &info) != 0;
    const DWORD type = GetFileType(h);
    const DWORD error = GetLastError();
    CloseHandle(h);
    if (!known) {
        reason = os::systemMessage(error);
        return false;
    }
    standing = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? Standing::folder
               : type == FILE_TYPE_DISK                                ? Standing::file
                                                                       : Standing::other;
    return true;
}

bool listFolder(const Text& folder, void (*visit)(void* context, const ListedEntry& entry),
                void* context, Text& reason) {
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
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND) {
            return true;  // nothing at all, as in an empty drive's root
        }
        reason = os::systemMessage(error);
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
        reason = os::systemMessage(ended);
        return false;
    }
    return true;
}

HeldFolder::~HeldFolder() = default;

bool holdFolder(const Text& path, HeldFolder& held, Text& reason) {
    const std::wstring wide = apiWidePath(path.empty() ? Text(".") : path);
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        reason = os::systemMessage(GetLastError());
        return false;
    }
    held.path = path;
    return true;
}

Hold holdFolderIn(const HeldFolder& parent, const char* name, HeldFolder& held, Text& reason) {
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
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
            return Hold::notAFolder;
        }
        reason = os::systemMessage(error);
        return Hold::failed;
    }
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ||
        (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        return Hold::notAFolder;
    }
    held.path = path;
    return Hold::held;
}

bool listFolder(const HeldFolder& folder, void (*visit)(void* context, const ListedEntry& entry),
                void* context, Text& reason) {
    return listFolder(folder.path, visit, context, reason);
}

bool identityOfFolder(const Text& folder, FolderIdentity& identity) {
    // As spelt: "Plane." is a folder of its own, not "Plane".
    const std::wstring wide = apiWidePath(folder.empty() ? Text(".") : folder);
    HANDLE h = CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return false;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    const bool known = GetFileInformationByHandle(h, &info) != 0;
    CloseHandle(h);
    if (!known || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        return false;
    }
    identity.device = info.dwVolumeSerialNumber;
    identity.number = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    return true;
}

Text programFile() {
    std::wstring path(32768, L'\0');
    const DWORD n = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
    if (n == 0 || n >= path.size()) {
        return Text();
    }
    path.resize(n);
    return utf8FromWide(path.c_str(), static_cast<int>(path.size()));
}
