#include "sections/SectionFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

#include "sections/FileReplacement.h"
#include "sections/SectionParser.h"
#include "sections/SectionWriter.h"

namespace {

bool readAll(std::FILE* file, SectionParser& parser, Text& why) {
    char chunk[1 << 16];
    for (;;) {
        errno = 0;
        const std::size_t n = std::fread(chunk, 1, sizeof chunk, file);
        if (n > 0 && !parser.feed(chunk, n)) {
            why = parser.why();
            return false;
        }
        if (n < sizeof chunk) {
            if (std::ferror(file)) {
                why = std::strerror(errno != 0 ? errno : EIO);
                return false;
            }
            if (!parser.finish()) {
                why = parser.why();
                return false;
            }
            return true;
        }
    }
}

struct ReplacementSink {
    Replacement& replacement;
    Text& why;
};

bool toReplacement(void* context, const char* bytes, std::size_t count) {
    auto& sink = *static_cast<ReplacementSink*>(context);
    return writeReplacement(sink.replacement, bytes, count, sink.why);
}

}  // namespace

bool loadSections(const char* path, SectionList& list, Text& why) {
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) {
        why = std::strerror(errno);
        return false;
    }
    bool read = false;
    bool outOfMemory = false;
    try {
        SectionParser parser(list);
        read = readAll(file, parser, why);
    } catch (const std::bad_alloc&) {
        outOfMemory = true;
    }
    std::fclose(file);
    if (!read && list.head != nullptr) {
        releaseSections(list);
    }
    if (outOfMemory) {
        why = "not enough memory to hold the file";  // said only now that memory is free again
    }
    return read;
}

bool saveSections(const char* path, const SectionList& list, Text& why) {
    if (list.head == nullptr) {
        why = "there is nothing to write";
        return false;
    }
    Replacement replacement;
    ReplacementSink sink{replacement, why};
    return beginReplacement(path, replacement, why) &&
           writeSections(list, ByteSink{toReplacement, &sink}) &&
           commitReplacement(replacement, why);
}
