// Built for the tests alone and loaded into the program with LD_PRELOAD: the system then refuses
// to set one extended attribute, user.denied, as it refuses a security label to a user without
// the right to set it; and, when asked, a signal arrives at a chosen step of a run.
#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/types.h>

#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <cstring>

extern "C" int fsetxattr(int fd, const char* name, const void* value, size_t size, int flags) {
    if (std::strcmp(name, "user.denied") == 0) {
        errno = EPERM;
        return -1;
    }
    using Real = int (*)(int, const char*, const void*, size_t, int);
    static const auto real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "fsetxattr"));
    return real(fd, name, value, size, flags);
}

// With CFGRENUM_TEST_TERMINATE_AT set, the creation of the first file whose path holds that text
// first raises SIGTERM, as a user who ends the program at that moment would.
namespace {

int openAndMaybeTerminate(const char* which, const char* path, int flags, mode_t mode) {
    static const char* const at = std::getenv("CFGRENUM_TEST_TERMINATE_AT");
    static bool raised = false;
    if (at != nullptr && !raised && (flags & O_CREAT) != 0 && std::strstr(path, at) != nullptr) {
        raised = true;
        raise(SIGTERM);
    }
    using Real = int (*)(const char*, int, ...);
    const auto real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, which));
    return real(path, flags, mode);
}

}  // namespace

// The mode that follows the flags when a file is created; read the same way by both names.
#define CFGRENUM_OPEN_AS(NAME)                                                               \
    va_list args;                                                                            \
    va_start(args, flags);                                                                   \
    const mode_t mode = (flags & O_CREAT) != 0 ? static_cast<mode_t>(va_arg(args, int)) : 0; \
    va_end(args);                                                                            \
    return openAndMaybeTerminate(NAME, path, flags, mode)

extern "C" int open(const char* path, int flags, ...) {
    CFGRENUM_OPEN_AS("open");
}

extern "C" int open64(const char* path, int flags, ...) {
    CFGRENUM_OPEN_AS("open64");
}
