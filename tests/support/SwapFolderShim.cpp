// Built for the tests alone and loaded into the program with LD_PRELOAD: when the program opens the
// folder CFGRENUM_SWAP_NAME inside the folder CFGRENUM_SWAP_LISTED, whether through the folder's
// descriptor or by its whole path, that folder is first moved away and a link to CFGRENUM_SWAP_TO
// takes its place, once. That is what another program may do between a walk's listing of a folder
// and its going down into the folders it listed; here it happens at that very moment, every time.
#include <dlfcn.h>
#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdarg>
#include <cstring>
#include <string>

namespace {

// The path that `name`, opened relative to `at`, stands for.
std::string pathOf(int at, const char* name) {
    if (name[0] == '/' || at == AT_FDCWD) {
        return name;
    }
    char folder[PATH_MAX] = {0};
    const std::string fd = "/proc/self/fd/" + std::to_string(at);
    const ssize_t n = readlink(fd.c_str(), folder, sizeof folder - 1);
    return n > 0 ? std::string(folder) + "/" + name : std::string(name);
}

void swapBeforeOpening(int at, const char* name, int flags) {
    static bool swapped = false;
    const char* listed = getenv("CFGRENUM_SWAP_LISTED");
    const char* inside = getenv("CFGRENUM_SWAP_NAME");
    const char* to = getenv("CFGRENUM_SWAP_TO");
    if (swapped || listed == nullptr || inside == nullptr || to == nullptr ||
        (flags & O_DIRECTORY) == 0) {
        return;
    }
    const std::string folder = std::string(listed) + "/" + inside;
    if (pathOf(at, name) != folder) {
        return;
    }
    swapped = true;
    if (rename(folder.c_str(), (folder + ".moved").c_str()) != 0 ||
        symlink(to, folder.c_str()) != 0) {
        abort();  // the test would prove nothing
    }
}

}  // namespace

// Each opening call: the folder is swapped first, then the system's own call does the rest.
#define CFGRENUM_SWAP_FIRST(NAME, AT, ...)                           \
    va_list args;                                                    \
    va_start(args, flags);                                           \
    const int mode = (flags & O_CREAT) != 0 ? va_arg(args, int) : 0; \
    va_end(args);                                                    \
    swapBeforeOpening(AT, name, flags);                              \
    static const auto real = reinterpret_cast<int (*)(__VA_ARGS__, ...)>(dlsym(RTLD_NEXT, NAME))

extern "C" int openat(int at, const char* name, int flags, ...) {
    CFGRENUM_SWAP_FIRST("openat", at, int, const char*, int);
    return real(at, name, flags, mode);
}

extern "C" int openat64(int at, const char* name, int flags, ...) {
    CFGRENUM_SWAP_FIRST("openat64", at, int, const char*, int);
    return real(at, name, flags, mode);
}

extern "C" int open(const char* name, int flags, ...) {
    CFGRENUM_SWAP_FIRST("open", AT_FDCWD, const char*, int);
    return real(name, flags, mode);
}
