#include "sections/SectionFile.h"

#include <algorithm>

#include "sections/SectionParser.h"
#include "sections/SectionWriter.h"

namespace {

bool readAll(ByteSource source, SectionParser& parser, Text& why) {
    char chunk[kStreamChunk];
    for (;;) {
        std::size_t got = 0;
        if (!source.read(source.context, chunk, sizeof chunk, got, why)) {
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

bool loadSections(ByteSource source, SectionList& list, Text& why, std::int64_t memoryBudget) {
    SectionParser parser(list, std::min(memoryBudget, SectionParser::kMemoryBudget));
    if (!readAll(source, parser, why)) {
        discardSections(list);
        return false;
    }
    return true;
}

bool saveSections(const SectionList& list, ByteSink sink, Text& why) {
    if (list.head == nullptr) {
        why = "cannot write the new content: no sections were loaded";
        return false;
    }
    return writeSections(list, sink, why);
}
