#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "text/AsciiCase.h"

bool isPathSeparator(char c) {
    return c == '/';
}

char pathSeparator() {
    return '/';
}

PathKind kindOf(const Text& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) {
        return errno == ENOENT || errno == ENOTDIR ? PathKind::missing : PathKind::other;
    }
    if (S_ISREG(st.st_mode)) {
        return PathKind::file;
    }
    return S_ISDIR(st.st_mode) ? PathKind::folder : PathKind::other;
}

Text fullPathOf(const Text& path) {
    if (!path.empty() && path.c_str()[0] == '/') {
        return path;
    }
    char* here = getcwd(nullptr, 0);
    if (here == nullptr) {
        return path;
    }
    Text full(here);
    std::free(here);
    if (full.empty() || !isPathSeparator(full.c_str()[full.length() - 1])) {
        full += '/';
    }
    return full + path;
}

Text resolvedPathOf(const Text& path) {
    char* resolved = realpath(path.empty() ? "." : path.c_str(), nullptr);
    if (resolved == nullptr) {
        return fullPathOf(path);
    }
    Text real(resolved);
    std::free(resolved);
    return real;
}

namespace {

bool startsIgnoringCase(const char* name, const char* prefix) {
    for (; *prefix != '\0'; ++name, ++prefix) {
        if (asciiLower(*name) != asciiLower(*prefix)) {
            return false;  // a name shorter than the prefix stops at its terminator
        }
    }
    return true;
}

}  // namespace

bool foldersIn(const Text& folder, const char* prefix, Text& names, Text& why) {
    DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
    if (dir == nullptr) {
        why = os::systemMessage(static_cast<os::SystemError>(errno));
        return false;
    }
    for (;;) {
        errno = 0;
        const dirent* entry = readdir(dir);
        if (entry == nullptr) {
            break;
        }
        const char* name = entry->d_name;
        if (!startsIgnoringCase(name, prefix) || std::strcmp(name, ".") == 0 ||
            std::strcmp(name, "..") == 0) {
            continue;
        }
        // The kind comes with the name on most file systems; a link, or a file system that does
        // not say, is asked where the name leads.
        struct stat st {};
        if (entry->d_type == DT_DIR ||
            ((entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) &&
             fstatat(dirfd(dir), name, &st, 0) == 0 && S_ISDIR(st.st_mode))) {
            names.append(name, std::strlen(name));
            names += '/';
        }
    }
    const int error = errno;
    closedir(dir);
    if (error != 0) {
        why = os::systemMessage(static_cast<os::SystemError>(error));
        return false;
    }
    return true;
}

namespace {

void addFilesUnder(const Text& folder, const Text& relative, std::size_t most,
                   std::vector<Text>& files) {
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) {
        return;
    }
    while (const dirent* entry = readdir(dir)) {
        const Text name(entry->d_name);
        if (name == Text(".") || name == Text("..") || files.size() >= most) {
            continue;
        }
        const Text path = folder + Text("/") + name;
        const Text inside = relative.empty() ? name : relative + Text("/") + name;
        struct stat st {};
        if (lstat(path.c_str(), &st) != 0) {
            continue;
        }
        if (S_ISDIR(st.st_mode)) {
            addFilesUnder(path, inside, most, files);
        } else if (S_ISREG(st.st_mode)) {
            files.push_back(inside);
        }
    }
    closedir(dir);
}

}  // namespace

std::vector<Text> filesUnder(const Text& folder, std::size_t most) {
    std::vector<Text> files;
    addFilesUnder(folder.empty() ? Text(".") : folder, Text(), most, files);
    return files;
}

std::vector<Text> programArguments(int argc, char** argv) {
    std::vector<Text> arguments;
    for (int i = 1; i < argc; ++i) {
        arguments.emplace_back(argv[i]);
    }
    return arguments;
}
