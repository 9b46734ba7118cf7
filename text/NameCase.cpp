#include "text/NameCase.h"

#include "text/AsciiCase.h"

namespace {

// The lower-case letter of the two-byte code point `c`, or `c`.
unsigned lowerOf(unsigned c) {
    if ((c >= 0xC0 && c <= 0xDE && c != 0xD7) || (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) ||
        (c >= 0x410 && c <= 0x42F)) {
        return c + 0x20;
    }
    if (c >= 0x400 && c <= 0x40F) {
        return c + 0x50;
    }
    // Latin Extended-A pairs its letters, the capital first: even capitals, then odd ones.
    const bool evenPairs = (c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177);
    const bool oddPairs = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    if ((evenPairs && c % 2 == 0) || (oddPairs && c % 2 == 1)) {
        return c + 1;
    }
    return c == 0x178 ? 0xFF : c;  // Ÿ, whose small letter is in Latin-1
}

bool isContinuation(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

}  // namespace

void foldNameCase(char* chars, std::size_t count) {
    auto* bytes = reinterpret_cast<unsigned char*>(chars);
    for (std::size_t i = 0; i < count; ++i) {
        if (bytes[i] < 0x80) {
            chars[i] = asciiLower(chars[i]);
        } else if ((bytes[i] & 0xE0) == 0xC0 && i + 1 < count && isContinuation(bytes[i + 1])) {
            const unsigned code = ((bytes[i] & 0x1Fu) << 6) | (bytes[i + 1] & 0x3Fu);
            const unsigned lower = lowerOf(code);
            // Every letter mapped above keeps its two bytes.
            bytes[i] = static_cast<unsigned char>(0xC0 | (lower >> 6));
            bytes[i + 1] = static_cast<unsigned char>(0x80 | (lower & 0x3F));
            ++i;
        }
    }
}
