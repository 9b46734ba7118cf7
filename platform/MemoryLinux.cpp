#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <system_error>

#include "platform/Memory.h"

namespace {

constexpr std::int64_t kUnlimited = std::numeric_limits<std::int64_t>::max();

// The start of the small text file at `path` (these hold a few kilobytes), or "" where it cannot
// be read. Plain system calls: a stream would set up a locale for each of them.
std::string startOf(const char* path) {
    std::string text;
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return text;
    }
    char buffer[16384];
    std::size_t got = 0;
    while (got < sizeof buffer) {
        const ssize_t now = read(fd, buffer + got, sizeof buffer - got);
        if (now > 0) {
            got += static_cast<std::size_t>(now);
        } else if (now == 0 || errno != EINTR) {
            break;
        }
    }
    close(fd);
    text.assign(buffer, got);
    return text;
}

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// The blank-separated word of `text` that starts at or after `at`, and `at` moved past it.
std::string_view wordFrom(std::string_view text, std::size_t& at) {
    while (at < text.size() && isSpace(text[at])) {
        ++at;
    }
    const std::size_t start = at;
    while (at < text.size() && !isSpace(text[at])) {
        ++at;
    }
    return text.substr(start, at - start);
}

// The whole of `word` read as a count of bytes, or false.
bool bytesIn(std::string_view word, std::int64_t& bytes) {
    const char* const end = word.data() + word.size();
    const std::from_chars_result read = std::from_chars(word.data(), end, bytes);
    return !word.empty() && read.ec == std::errc() && read.ptr == end && bytes >= 0;
}

// A number that a control group file holds, or kUnlimited for "max" or none.
std::int64_t numberIn(const std::string& path) {
    const std::string text = startOf(path.c_str());
    std::size_t at = 0;
    std::int64_t value = 0;
    if (!bytesIn(wordFrom(text, at), value)) {
        return kUnlimited;
    }
    return value < (std::int64_t{1} << 62) ? value : kUnlimited;  // v1's "unlimited"
}

// The value of `key` in a control group's memory.stat of "key value" lines, or 0.
std::int64_t statIn(const std::string& path, std::string_view key) {
    const std::string text = startOf(path.c_str());
    std::size_t at = 0;
    for (;;) {
        const std::string_view name = wordFrom(text, at);
        const std::string_view word = wordFrom(text, at);
        if (word.empty()) {
            return 0;
        }
        std::int64_t value = 0;
        if (name == key) {
            return bytesIn(word, value) ? value : 0;
        }
    }
}

// The value of `key` in a /proc file of "Key:  N kB" lines, in bytes, or -1.
std::int64_t kilobytesIn(const char* path, std::string_view key) {
    const std::string text = startOf(path);
    for (std::size_t line = 0; line < text.size();) {
        std::size_t lineEnd = text.find('\n', line);
        lineEnd = lineEnd == std::string::npos ? text.size() : lineEnd;
        if (text.compare(line, key.size(), key) == 0) {
            std::size_t at = line + key.size();
            const std::string_view number = wordFrom(std::string_view(text).substr(0, lineEnd), at);
            std::int64_t kilobytes = -1;
            if (!bytesIn(number, kilobytes) || kilobytes > kUnlimited / 1024) {
                return -1;
            }
            return kilobytes * 1024;
        }
        line = lineEnd + 1;
    }
    return -1;
}

// What a resource limit leaves, given what the process uses of it already, which /proc/self/status
// gives as `usedKey`; asked only where a limit is set, since most processes have none.
std::int64_t leftUnder(int resource, const char* usedKey) {
    rlimit limit{};
    if (getrlimit(resource, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) {
        return kUnlimited;
    }
    const std::int64_t used = kilobytesIn("/proc/self/status", usedKey);
    return std::max<std::int64_t>(
        0, static_cast<std::int64_t>(limit.rlim_cur) - std::max<std::int64_t>(used, 0));
}

// What the control groups above the process leave: each level's limit less its use, the least.
std::int64_t leftInControlGroups() {
    const std::string groups = startOf("/proc/self/cgroup");
    std::int64_t left = kUnlimited;
    for (std::size_t lineAt = 0; lineAt < groups.size();) {
        std::size_t lineEnd = groups.find('\n', lineAt);
        lineEnd = lineEnd == std::string::npos ? groups.size() : lineEnd;
        const std::string line = groups.substr(lineAt, lineEnd - lineAt);
        lineAt = lineEnd + 1;
        const std::size_t first = line.find(':');
        const std::size_t second = line.find(':', first + 1);
        if (first == std::string::npos || second == std::string::npos) {
            continue;
        }
        const std::string controllers = line.substr(first + 1, second - first - 1);
        std::string group = line.substr(second + 1);
        std::string roots[2];
        const char* limitFile = nullptr;
        const char* useFile = nullptr;
        // The page cache the kernel may drop, in memory.stat, the groups below counted too.
        const char* reclaimableKey = nullptr;
        if (controllers.empty()) {  // version 2, alone or beside version 1
            roots[0] = "/sys/fs/cgroup";
            roots[1] = "/sys/fs/cgroup/unified";
            limitFile = "/memory.max";
            useFile = "/memory.current";
            reclaimableKey = "inactive_file";
        } else if (("," + controllers + ",").find(",memory,") != std::string::npos) {
            roots[0] = "/sys/fs/cgroup/memory";
            limitFile = "/memory.limit_in_bytes";
            useFile = "/memory.usage_in_bytes";
            reclaimableKey = "total_inactive_file";
        } else {
            continue;
        }
        for (const std::string& root : roots) {
            if (root.empty()) {
                continue;
            }
            for (std::string at = group;; at = at.substr(0, at.rfind('/'))) {
                const std::string folder = root + (at == "/" ? "" : at);
                const std::int64_t limit = numberIn(folder + limitFile);
                if (limit != kUnlimited) {
                    // The use counts the page cache of every file the group has read or written.
                    // What of it is not in active use the kernel drops before it refuses the
                    // group memory, so it is as good as free: else a group left full of cache by
                    // earlier work would refuse a file that a fresh group takes.
                    const std::int64_t used = numberIn(folder + useFile);
                    const std::int64_t reclaimable =
                        statIn(folder + "/memory.stat", reclaimableKey);
                    const std::int64_t taken =
                        used == kUnlimited ? 0 : std::max<std::int64_t>(0, used - reclaimable);
                    left = std::min(left, std::max<std::int64_t>(0, limit - taken));
                }
                if (at.empty() || at == "/") {
                    break;
                }
            }
        }
    }
    return left;
}

}  // namespace

std::int64_t memoryTheProgramMayTake() {
    std::int64_t left = leftUnder(RLIMIT_AS, "VmSize:");
    left = std::min(left, leftUnder(RLIMIT_DATA, "VmData:"));
    left = std::min(left, leftInControlGroups());
    const std::int64_t available = kilobytesIn("/proc/meminfo", "MemAvailable:");
    if (available >= 0) {
        left = std::min(left, available);
    }
    return left == kUnlimited ? left : left / 4 * 3;
}
