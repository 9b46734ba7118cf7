#include "renumber/Renumber.h"

#include <cstring>
#include <iostream>

#include "text/Decimal.h"
#include "text/Text.h"

namespace {

constexpr char kMarker[] = "fltsim.";
constexpr std::int32_t kMarkerLength = sizeof kMarker - 1;

char asciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Where "fltsim." stands in the header, in any ASCII letter case, or -1. The simulators read
// section names without regard to case, so [FLTSIM.3] is as much an entry as [fltsim.3]. Plain
// ASCII on purpose: a locale must not decide what counts as an entry.
std::int32_t findMarker(const Text& header) {
    const char* chars = header.c_str();
    for (std::int32_t at = 0; at + kMarkerLength <= header.length(); ++at) {
        std::int32_t matched = 0;
        while (matched < kMarkerLength && asciiLower(chars[at + matched]) == kMarker[matched]) {
            ++matched;
        }
        if (matched == kMarkerLength) {
            return at;
        }
    }
    return -1;
}

}  // namespace

void renumberEntries(SectionList& list) {
    if (list.head == nullptr) {
        std::cout << "error!";
        return;
    }
    std::int32_t counter = 0;
    Text renumbered;  // reused, so that only the numeral takes a new buffer for each header
    renumbered.reserve(32);
    for (Section* section = list.head; section != nullptr; section = section->next) {
        const std::int32_t at = findMarker(section->header);
        if (at < 0) {
            continue;
        }
        // The new header keeps the file's own spelling of the marker: only the number changes.
        renumbered.clear();
        renumbered.append("[", 1);
        renumbered.append(section->header.c_str() + at, kMarkerLength);
        renumbered += toDecimal(counter);
        renumbered += ']';
        section->header = renumbered;
        ++counter;
    }
}
