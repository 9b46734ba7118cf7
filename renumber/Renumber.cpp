#include "renumber/Renumber.h"

#include <cstdint>
#include <cstring>
#include <iostream>

#include "text/Decimal.h"
#include "text/Text.h"

namespace {

constexpr char kMarker[] = "fltsim.";
constexpr std::int32_t kMarkerLength = sizeof kMarker - 1;

// Whether the marker stands at `chars`: its letters in either case, which setting their 0x20 bit
// gives only for the letter itself, and its '.' as it is.
bool markerAt(const char* chars) {
    constexpr std::uint64_t kCaseBits = 0x0000202020202020U;  // the six letters, first byte lowest
    constexpr std::uint64_t kLowered = 0x002e6d6973746c66U;   // "fltsim."
    std::uint64_t word = 0;
    for (int i = kMarkerLength - 1; i >= 0; --i) {
        word = (word << 8) | static_cast<unsigned char>(chars[i]);
    }
    return (word | kCaseBits) == kLowered;
}

// Where "fltsim." stands in chars[from, to), in any ASCII letter case, or -1. The simulators read
// section names without regard to case, so [FLTSIM.3] is as much an entry as [fltsim.3]. Plain
// ASCII on purpose: a locale must not decide what counts as an entry.
std::int32_t findMarker(const char* chars, std::int32_t from, std::int32_t to) {
    for (std::int32_t at = from; at + kMarkerLength <= to; ++at) {
        if ((chars[at] | 0x20) == kMarker[0] && markerAt(chars + at)) {
            return at;
        }
    }
    return -1;
}

// Where the header's bracketed name lies: chars[open] is its '[', chars[close] its ']' (or the
// end of the line, when it has none).
struct Brackets {
    std::int32_t open = -1;
    std::int32_t close = -1;
};

// Where `c` first stands in the NUL-terminated `chars`, or null, as std::strchr gives it: written
// out, since a header's '[' is within its first few bytes and a call would cost more than the look.
const char* firstOf(const char* chars, char c) {
    for (; *chars != c; ++chars) {
        if (*chars == '\0') {
            return nullptr;
        }
    }
    return chars;
}

Brackets bracketsOf(const Text& header) {
    const char* chars = header.c_str();
    Brackets b;
    const char* open = firstOf(chars, '[');
    if (open == nullptr) {
        return b;  // the headerless leading section
    }
    b.open = static_cast<std::int32_t>(open - chars);
    const char* close = firstOf(open + 1, ']');
    b.close = close != nullptr ? static_cast<std::int32_t>(close - chars) : header.length();
    return b;
}

// Where "fltsim." stands in the header's bracketed name, or -1 when it names no entry.
std::int32_t markerIn(const Text& header, const Brackets& name) {
    return name.open < 0 ? -1 : findMarker(header.c_str(), name.open + 1, name.close);
}

}  // namespace

bool isEntryHeader(const Text& header) {
    return markerIn(header, bracketsOf(header)) >= 0;
}

Text entryName(const Text& header) {
    const Brackets name = bracketsOf(header);
    if (markerIn(header, name) < 0) {
        return Text();
    }
    const std::int32_t end = name.close < header.length() ? name.close + 1 : name.close;
    return Text(header.c_str() + name.open, static_cast<std::size_t>(end - name.open));
}

RenumberSummary renumberEntries(SectionList& list) {
    RenumberSummary summary;
    if (list.head == nullptr) {
        std::cout << "error!";
        return summary;
    }
    // The new bracketed name, built where it is compared: most headers keep theirs, and those
    // cost no buffer at all.
    char name[1 + kMarkerLength + kLongestDecimal + 1];
    Text renumbered;  // reused for the headers that change
    for (Section* section = list.head; section != nullptr; section = section->next) {
        const Text& header = section->header;
        const Brackets brackets = bracketsOf(header);
        const std::int32_t at = markerIn(header, brackets);
        if (at < 0) {
            continue;
        }
        // Only the bracketed name changes, and it keeps the file's own spelling of the marker.
        name[0] = '[';
        std::memcpy(name + 1, header.c_str() + at, kMarkerLength);
        std::size_t length = 1 + kMarkerLength;
        length += writeDecimal(summary.entries, name + length);
        name[length++] = ']';
        const bool closed = brackets.close < header.length();
        const std::int32_t oldEnd = closed ? brackets.close + 1 : brackets.close;
        const auto oldLength = static_cast<std::size_t>(oldEnd - brackets.open);
        if (oldLength != length || std::memcmp(header.c_str() + brackets.open, name, length) != 0) {
            renumbered.clear();
            renumbered.append(header.c_str(), static_cast<std::size_t>(brackets.open));
            renumbered.append(name, length);
            if (closed) {
                renumbered.append(header.c_str() + brackets.close + 1,
                                  static_cast<std::size_t>(header.length() - brackets.close - 1));
            }
            replaceHeader(*section, renumbered.c_str(),
                          static_cast<std::size_t>(renumbered.length()), list);
            ++summary.headersChanged;
        }
        ++summary.entries;
    }
    return summary;
}
