#include <cstddef>
#include <cstdint>
#include <cstring>

#include "text/ControlsEscaped.h"
#include "text/Utf8.h"

namespace {

void appendEscaped(Text& shown, unsigned char code) {
    const char* const digits = "0123456789abcdef";
    const char escape[] = {'\\', 'x', digits[code >> 4], digits[code & 0xF]};
    shown.append(escape, sizeof escape);
}

// Whether none of the eight bytes at `at` needs a second look: each is printable ASCII, so a
// report's long plain runs are copied without being read byte by byte.
bool eightPlain(const unsigned char* at) {
    std::uint64_t word = 0;
    std::memcpy(&word, at, sizeof word);
    constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
    constexpr std::uint64_t kHighs = kOnes * 0x80;
    const std::uint64_t below20 = (word - kOnes * 0x20) & ~word & kHighs;
    const std::uint64_t delta = word ^ (kOnes * 0x7F);
    const std::uint64_t isDel = (delta - kOnes) & ~delta & kHighs;
    return ((word & kHighs) | below20 | isDel) == 0;
}

}  // namespace

void appendControlsEscaped(Text& shown, const Text& line) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(line.c_str());
    const auto size = static_cast<std::size_t>(line.length());
    shown.reserve(std::int64_t{shown.length()} + line.length() + 1);
    std::size_t kept = 0;  // bytes[kept, at) are still to be copied as they are
    std::size_t at = 0;
    while (at < size) {
        while (size - at >= 8 && eightPlain(bytes + at)) {
            at += 8;
        }
        if (at == size) {
            break;
        }
        const unsigned char byte = bytes[at];
        if (byte >= 0x20 && byte < 0x7F) {
            ++at;
            continue;
        }
        const std::size_t sequence = byte < 0x80 ? 1 : utf8SequenceAt(bytes + at, size - at);
        const std::size_t length = sequence == 0 ? 1 : sequence;
        int control = -1;
        if (byte < 0x80) {
            if ((byte < 0x20 && byte != '\t') || byte == 0x7F) {
                control = byte;
            }
        } else if (sequence == 0) {
            // Not UTF-8: a Windows-1252 letter reads as itself, but a terminal that takes bytes
            // for characters takes 0x80-0x9F for C1 controls.
            control = byte <= 0x9F ? byte : -1;
        } else if (byte == 0xC2 && bytes[at + 1] <= 0x9F) {
            control = bytes[at + 1];  // U+0080-U+009F: the code point is the second byte
        }
        if (control >= 0) {
            shown.append(line.c_str() + kept, at - kept);
            appendEscaped(shown, static_cast<unsigned char>(control));
            kept = at + length;
        }
        at += length;
    }
    shown.append(line.c_str() + kept, at - kept);
}

Text withControlsEscaped(const Text& line) {
    Text shown;
    appendControlsEscaped(shown, line);
    return shown;
}
