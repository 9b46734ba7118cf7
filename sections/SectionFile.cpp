#include "sections/SectionFile.h"

#include "sections/SectionParser.h"
#include "sections/SectionWriter.h"

namespace {

struct ReplacementSink {
    Replacement& file;
    Text& why;
};

bool toReplacement(void* context, const char* bytes, std::size_t count) {
    auto& sink = *static_cast<ReplacementSink*>(context);
    return writeReplacement(sink.file, bytes, count, sink.why);
}

bool readAll(Replacement& file, SectionParser& parser, Text& why) {
    char chunk[1 << 16];
    for (;;) {
        std::size_t got = 0;
        if (!readOriginal(file, chunk, sizeof chunk, got, why)) {
            return false;
        }
        if (got == 0) {
            break;
        }
        if (!parser.feed(chunk, got)) {
            why = parser.why();
            return false;
        }
    }
    if (!parser.finish()) {
        why = parser.why();
        return false;
    }
    return true;
}

}  // namespace

bool loadSections(Replacement& file, SectionList& list, Text& why) {
    SectionParser parser(list);
    if (!readAll(file, parser, why)) {
        abandonReplacement(file);
        discardSections(list);
        return false;
    }
    return true;
}

bool saveSections(Replacement& file, const SectionList& list, Text& why) {
    if (list.head == nullptr) {
        why = "there is nothing to write";
        abandonReplacement(file);
        return false;
    }
    ReplacementSink sink{file, why};
    return beginReplacement(file, why) && writeSections(list, ByteSink{toReplacement, &sink}) &&
           commitReplacement(file, why);
}
