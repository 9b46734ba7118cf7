#include <windows.h>
// After windows.h, which it needs.
#include <winternl.h>

#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "platform/WindowsText.h"

namespace {

// What a listing's attributes and reparse tag say a name is.
EntryKind kindOfListed(DWORD attributes, DWORD reparseTag) {
    return isALink(attributes, reparseTag)                ? EntryKind::link
           : (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? EntryKind::folder
                                                          : EntryKind::file;
}

// The entries of one block of a listing by handle, of `Info` (FILE_FULL_DIR_INFO or
// FILE_ID_BOTH_DIR_INFO, which share the fields read here), but "." and "..".
template <typename Info>
void visitBlock(const unsigned char* block, void (*visit)(void* context, const ListedEntry& entry),
                void* context) {
    for (std::size_t at = 0;;) {
        const auto* found = reinterpret_cast<const Info*>(block + at);
        const int length = static_cast<int>(found->FileNameLength / sizeof(wchar_t));
        const bool dots = (length == 1 && found->FileName[0] == L'.') ||
                          (length == 2 && found->FileName[0] == L'.' && found->FileName[1] == L'.');
        if (!dots) {
            const Text name = utf8FromWide(found->FileName, length);
            ListedEntry listed;
            listed.name = name.c_str();
            listed.length = static_cast<std::size_t>(name.length());
            // For a reparse point, the field of extended attributes' size holds its tag.
            listed.kind = kindOfListed(found->FileAttributes, found->EaSize);
            visit(context, listed);
        }
        if (found->NextEntryOffset == 0) {
            return;
        }
        at += found->NextEntryOffset;
    }
}

enum class Listed { yes, unsupported, failed };

// Lists the folder held as `h`, from its start, in blocks of `Info`.
template <typename Info>
Listed listByHandle(HANDLE h, FILE_INFO_BY_HANDLE_CLASS restart, FILE_INFO_BY_HANDLE_CLASS next,
                    void (*visit)(void* context, const ListedEntry& entry), void* context,
                    DWORD& error) {
    std::vector<unsigned char> buffer(std::size_t{64} << 10);
    FILE_INFO_BY_HANDLE_CLASS asked = restart;
    for (;;) {
        if (!GetFileInformationByHandleEx(h, asked, buffer.data(),
                                          static_cast<DWORD>(buffer.size()))) {
            const DWORD ended = GetLastError();
            if (ended == ERROR_NO_MORE_FILES || ended == ERROR_FILE_NOT_FOUND) {
                return Listed::yes;
            }
            if (asked == restart &&
                (ended == ERROR_INVALID_PARAMETER || ended == ERROR_NOT_SUPPORTED)) {
                return Listed::unsupported;  // a system older than the class asked for
            }
            error = ended;
            return Listed::failed;
        }
        asked = next;
        visitBlock<Info>(buffer.data(), visit, context);
    }
}

}  // namespace

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
        listed.kind = kindOfListed(attributes, found.dwReserved0);  // the reparse tag
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
    // A link to a folder is followed: the user named it.
    HANDLE h = CreateFileW(apiWidePath(path.empty() ? Text(".") : path).c_str(),
                           FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        error = GetLastError();
        return false;
    }
    held.handle = reinterpret_cast<std::intptr_t>(h);
    return true;
}

Hold holdFolderIn(const HeldFolder& parent, const char* name, HeldFolder& held,
                  SystemError& error) {
    // Opened by its name in the held parent, as openat() does: whatever path led to the parent,
    // and whatever became of that path since, the folder opened is the one the listing told.
    // The name itself is opened, never what a junction or link put there leads to, and only a
    // folder is taken: such a name is refused in the same call that opens it.
    std::wstring wide = wideFromUtf8(Text(name));
    UNICODE_STRING unicode;
    unicode.Buffer = &wide[0];
    unicode.Length = static_cast<USHORT>(wide.size() * sizeof(wchar_t));
    unicode.MaximumLength = unicode.Length;
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &unicode, OBJ_CASE_INSENSITIVE,
                               reinterpret_cast<HANDLE>(parent.handle), nullptr);
    IO_STATUS_BLOCK status{};
    HANDLE h = INVALID_HANDLE_VALUE;
    const NTSTATUS opened =
        NtOpenFile(&h, FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE, &attributes,
                   &status, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                   FILE_DIRECTORY_FILE | FILE_OPEN_REPARSE_POINT | FILE_SYNCHRONOUS_IO_NONALERT |
                       FILE_OPEN_FOR_BACKUP_INTENT);
    if (opened < 0) {
        const DWORD failed = RtlNtStatusToDosError(opened);
        if (failed == ERROR_DIRECTORY) {
            return Hold::notAFolder;  // a file now
        }
        error = failed;
        return Hold::failed;
    }
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if (!GetFileInformationByHandleEx(h, FileAttributeTagInfo, &tag, sizeof tag)) {
        error = GetLastError();
        CloseHandle(h);
        return Hold::failed;
    }
    if (isALink(tag.FileAttributes, tag.ReparseTag)) {
        CloseHandle(h);
        return Hold::notAFolder;
    }
    held.handle = reinterpret_cast<std::intptr_t>(h);
    return Hold::held;
}

bool listHeld(const HeldFolder& folder, void (*visit)(void* context, const ListedEntry& entry),
              void* context, SystemError& error) {
    // Listed through the handle, from its start every time: never by a path, which may lead
    // elsewhere by now. The full class leaves out the short names that the other fetches; systems
    // before Windows 8 know only the other.
    HANDLE h = reinterpret_cast<HANDLE>(folder.handle);
    DWORD failed = 0;
    Listed listed = listByHandle<FILE_FULL_DIR_INFO>(h, FileFullDirectoryRestartInfo,
                                                     FileFullDirectoryInfo, visit, context, failed);
    if (listed == Listed::unsupported) {
        listed = listByHandle<FILE_ID_BOTH_DIR_INFO>(
            h, FileIdBothDirectoryRestartInfo, FileIdBothDirectoryInfo, visit, context, failed);
    }
    if (listed != Listed::yes) {
        error = failed;
        return false;
    }
    return true;
}

}  // namespace os::native

HeldFolder::~HeldFolder() {
    if (handle != -1) {
        CloseHandle(reinterpret_cast<HANDLE>(handle));
    }
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
