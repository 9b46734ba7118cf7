#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/Paths.h"

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

std::vector<Text> foldersIn(const Text& folder) {
    std::vector<Text> names;
    DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
    if (dir == nullptr) {
        return names;
    }
    while (const dirent* entry = readdir(dir)) {
        const Text name(entry->d_name);
        if (name == Text(".") || name == Text("..")) {
            continue;
        }
        if (entry->d_type == DT_DIR ||
            ((entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) &&
             kindOf(folder.empty() ? name : folder + Text("/") + name) == PathKind::folder)) {
            names.push_back(name);
        }
    }
    closedir(dir);
    return names;
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
