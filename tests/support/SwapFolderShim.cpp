// Built for the tests alone and loaded into the program with LD_PRELOAD: when the program ends its
// listing of the folder CFGRENUM_SWAP_LISTED, the folder CFGRENUM_SWAP_NAME in it is moved away and
// a link to CFGRENUM_SWAP_TO takes its place, once. That is what another program may do between a
// walk's listing of a folder and its going down into the folders it listed; here it happens at
// that very moment, every time.
#include <dirent.h>
#include <dlfcn.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstring>
#include <string>

extern "C" int closedir(DIR* dir) {
    static bool swapped = false;
    const char* listed = getenv("CFGRENUM_SWAP_LISTED");
    const char* name = getenv("CFGRENUM_SWAP_NAME");
    const char* to = getenv("CFGRENUM_SWAP_TO");
    if (!swapped && listed != nullptr && name != nullptr && to != nullptr) {
        char open[PATH_MAX] = {0};
        const std::string fd = "/proc/self/fd/" + std::to_string(dirfd(dir));
        const ssize_t n = readlink(fd.c_str(), open, sizeof open - 1);
        if (n > 0 && std::strcmp(open, listed) == 0) {
            swapped = true;
            const std::string folder = std::string(listed) + "/" + name;
            if (rename(folder.c_str(), (folder + ".moved").c_str()) != 0 ||
                symlink(to, folder.c_str()) != 0) {
                abort();  // the test would prove nothing
            }
        }
    }
    using Real = int (*)(DIR*);
    static const auto real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "closedir"));
    return real(dir);
}
