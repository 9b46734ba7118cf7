#include "platform/WindowsText.h"

#include <windows.h>

#include <vector>

Text utf8FromWide(const wchar_t* chars, int count) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, chars, count, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
    if (n > 0) {
        WideCharToMultiByte(CP_UTF8, 0, chars, count, &bytes[0], n, nullptr, nullptr);
    }
    return Text(bytes.c_str());
}

std::wstring wideFromUtf8(const Text& text) {
    const int n = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), text.length(), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0) {
        MultiByteToWideChar(CP_UTF8, 0, text.c_str(), text.length(), &wide[0], n);
    }
    return wide;
}

namespace {

bool startsWith(const std::wstring& text, const wchar_t* start) {
    return text.compare(0, std::char_traits<wchar_t>::length(start), start) == 0;
}

bool isSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

// "C:" at the start of `path`.
bool startsWithDrive(const std::wstring& path) {
    return path.size() >= 2 && path[1] == L':' &&
           ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z'));
}

// A path that the system takes as it stands (\\?\...), or that names a device (\\.\...).
bool isLongOrDevicePath(const std::wstring& path) {
    return startsWith(path, L"\\\\?\\") || startsWith(path, L"\\\\.\\") ||
           startsWith(path, L"\\??\\");
}

// The system's own full path: only asked what a name means, never used as the path, since it
// strips trailing dots and spaces.
std::wstring systemFullPath(const std::wstring& path) {
    const DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (needed == 0) {
        return std::wstring();
    }
    std::wstring full(needed, L'\0');
    const DWORD n = GetFullPathNameW(path.c_str(), needed, &full[0], nullptr);
    full.resize(n > 0 && n < needed ? n : 0);
    return full;
}

std::wstring currentFolder() {
    const DWORD needed = GetCurrentDirectoryW(0, nullptr);
    if (needed == 0) {
        return std::wstring();
    }
    std::wstring folder(needed, L'\0');
    const DWORD n = GetCurrentDirectoryW(needed, &folder[0]);
    folder.resize(n > 0 && n < needed ? n : 0);
    return folder;
}

// An absolute path in its shown form, \\?\C:\x as C:\x and \\?\UNC\server\share as
// \\server\share.
std::wstring withoutLongPrefix(const std::wstring& path) {
    if (startsWith(path, L"\\\\?\\UNC\\")) {
        return L"\\\\" + path.substr(8);
    }
    if (startsWith(path, L"\\\\?\\") && startsWithDrive(path.substr(4))) {
        return path.substr(4);
    }
    return path;
}

// Splits an absolute path, separators all '\', into what ".." cannot climb out of ("C:" or
// "\\server\share") and the names after it. False when `path` is not absolute in either way.
bool splitAtRoot(const std::wstring& path, std::wstring& root, std::wstring& names) {
    if (startsWithDrive(path) && (path.size() == 2 || path[2] == L'\\')) {
        root = path.substr(0, 2);
        names = path.substr(2);
        return true;
    }
    if (startsWith(path, L"\\\\")) {
        const std::size_t server = path.find(L'\\', 2);
        const std::size_t share =
            server == std::wstring::npos ? server : path.find(L'\\', server + 1);
        root = path.substr(0, share);
        names = share == std::wstring::npos ? std::wstring() : path.substr(share);
        return true;
    }
    return false;
}

}  // namespace

std::wstring fullWidePath(const std::wstring& given) {
    if (isLongOrDevicePath(given)) {
        return withoutLongPrefix(given);
    }
    const std::wstring system = systemFullPath(given);
    if (startsWith(system, L"\\\\.\\")) {
        return system;  // a device, as NUL or CON anywhere
    }
    std::wstring path = given;
    for (wchar_t& c : path) {
        if (c == L'/') {
            c = L'\\';
        }
    }
    std::wstring root;
    std::wstring names;
    if (!splitAtRoot(path, root, names)) {
        // Relative: to the drive's own current folder ("M:name"), to the current folder's drive
        // or share ("\name"), or to the current folder.
        const bool onADrive = startsWithDrive(path);
        const std::wstring base =
            withoutLongPrefix(onADrive ? systemFullPath(path.substr(0, 2)) : currentFolder());
        std::wstring baseNames;
        if (!splitAtRoot(base, root, baseNames)) {
            return given;
        }
        names = !path.empty() && path[0] == L'\\'
                    ? path
                    : baseNames + L'\\' + path.substr(onADrive ? 2 : 0);
    }
    std::vector<std::wstring> kept;
    std::size_t at = 0;
    while (at <= names.size()) {
        std::size_t end = names.find(L'\\', at);
        if (end == std::wstring::npos) {
            end = names.size();
        }
        const std::wstring name = names.substr(at, end - at);
        if (name == L"..") {
            if (!kept.empty()) {
                kept.pop_back();
            }
        } else if (!name.empty() && name != L".") {
            kept.push_back(name);
        }
        at = end + 1;
    }
    std::wstring full = root + L'\\';
    for (std::size_t i = 0; i < kept.size(); ++i) {
        full += (i == 0 ? L"" : L"\\") + kept[i];
    }
    // A folder named with its closing separator keeps it, so that a name can be added to it.
    if (!kept.empty() && !path.empty() && isSeparator(path.back())) {
        full += L'\\';
    }
    return full;
}

std::wstring apiWidePath(const std::wstring& path) {
    if (isLongOrDevicePath(path)) {
        return path;
    }
    const std::wstring full = fullWidePath(path);
    if (isLongOrDevicePath(full)) {
        return full;
    }
    if (startsWith(full, L"\\\\")) {
        return L"\\\\?\\UNC\\" + full.substr(2);
    }
    if (startsWithDrive(full)) {
        return L"\\\\?\\" + full;
    }
    return full;
}

std::wstring apiWidePath(const Text& path) {
    return apiWidePath(wideFromUtf8(path));
}

namespace {

// Opened for no access at all, only to be named and told apart: a file that others hold open still
// opens, and FILE_FLAG_BACKUP_SEMANTICS lets a folder open too.
HANDLE openToName(const std::wstring& path) {
    return CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

bool identify(HANDLE handle, BY_HANDLE_FILE_INFORMATION& info) {
    const bool known = GetFileInformationByHandle(handle, &info) != 0;
    CloseHandle(handle);
    return known;
}

}  // namespace

std::wstring finalWidePath(const std::wstring& path) {
    HANDLE handle = openToName(apiWidePath(path));
    if (handle == INVALID_HANDLE_VALUE) {
        return std::wstring();
    }
    std::wstring name(32768, L'\0');  // the longest path the wide API takes
    const DWORD n = GetFinalPathNameByHandleW(handle, &name[0], static_cast<DWORD>(name.size()),
                                              FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    BY_HANDLE_FILE_INFORMATION opened{};
    if (!identify(handle, opened) || n == 0 || n >= name.size()) {
        return std::wstring();
    }
    name.resize(n);
    HANDLE again = openToName(name);  // in the long form, taken as it stands
    BY_HANDLE_FILE_INFORMATION named{};
    if (again == INVALID_HANDLE_VALUE || !identify(again, named) ||
        named.dwVolumeSerialNumber != opened.dwVolumeSerialNumber ||
        named.nFileIndexHigh != opened.nFileIndexHigh ||
        named.nFileIndexLow != opened.nFileIndexLow) {
        return std::wstring();
    }
    return withoutLongPrefix(name);
}

bool isALink(unsigned long attributes, unsigned long reparseTag) {
    return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
           IsReparseTagNameSurrogate(reparseTag);
}
