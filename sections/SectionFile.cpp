#include "sections/SectionFile.h"

#include <algorithm>

#include "sections/SectionParser.h"
#include "sections/SectionWriter.h"

namespace {

// The parser as the sink of the file's bytes.
bool feedParser(void* context, const char* bytes, std::size_t count, Cause& why) {
    auto& parser = *static_cast<SectionParser*>(context);
    if (!parser.feed(bytes, count)) {
        why = parser.why();
        return false;
    }
    return true;
}

}  // namespace

bool loadSections(ByteSource source, SectionList& list, Cause& why, std::int64_t memoryBudget) {
    SectionParser parser(list, std::min(memoryBudget, SectionParser::kMemoryBudget));
    if (!copyAll(source, ByteSink{feedParser, &parser}, why)) {
        discardSections(list);
        return false;
    }
    if (!parser.finish()) {
        why = parser.why();
        discardSections(list);
        return false;
    }
    return true;
}

bool saveSections(const SectionList& list, ByteSink sink, Cause& why) {
    if (list.head == nullptr) {
        why = causeOf(CauseKind::noSectionsLoaded);
        return false;
    }
    return writeSections(list, sink, why);
}
