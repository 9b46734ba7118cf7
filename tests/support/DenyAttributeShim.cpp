// Built for the tests alone and loaded into the program with LD_PRELOAD: the system then refuses
// to set one extended attribute, user.denied, as it refuses a security label to a user without
// the right to set it.
#include <dlfcn.h>
#include <sys/types.h>

#include <cerrno>
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
