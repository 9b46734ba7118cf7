#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/FileSystem.h"
#include "platform/Paths.h"

bool isPathSeparator(char c) {
    return c == '/';
}

char pathSeparator() {
    return '/';
}

namespace {

// The current folder with its closing separator, asked once: the program never changes it, and a
// report names every file by its full path, several times a file. Empty when it cannot be told.
const Text& currentFolder() {
    static const Text folder = [] {
        Text full;
        if (char* here = getcwd(nullptr, 0)) {
            full = Text(here);
            std::free(here);
            if (full.empty() || !isPathSeparator(full.c_str()[full.length() - 1])) {
                full += '/';
            }
        }
        return full;
    }();
    return folder;
}

}  // namespace

Text fullPathOf(const Text& path) {
    if (!path.empty() && path.c_str()[0] == '/') {
        return path;
    }
    const Text& here = currentFolder();
    return here.empty() ? path : here + path;
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

std::vector<Text> programArguments(int argc, char** argv) {
    std::vector<Text> arguments;
    for (int i = 1; i < argc; ++i) {
        arguments.emplace_back(argv[i]);
    }
    return arguments;
}
