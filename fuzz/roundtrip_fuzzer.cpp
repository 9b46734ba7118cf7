// Fuzzes the whole in-memory path, load from bytes, renumber, save to bytes, against the property
// that defines the program: the output is the input with every line ended by CR LF and only the
// bracketed names of aircraft headers replaced by [fltsim.N] (the marker spelt as the file spelt
// it), N counting up from 0. Everything else is kept byte for byte and in order. Input with a NUL
// byte must be refused, never rewritten. And the program's judgement that the output equals the
// input, which decides whether the file is written at all, must be exact.
//
// The first byte picks how the rest is fed: as raw bytes, or as text encoded to UTF-16 (little-
// or big-endian, with its mark), so that both the 8-bit and the UTF-16 paths are explored.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "checks/EntryChecks.h"
#include "renumber/Renumber.h"
#include "sections/SectionParser.h"
#include "sections/SectionWriter.h"
#include "text/ControlsEscaped.h"

namespace {

std::size_t findMarker(std::string_view line) {
    for (std::size_t at = 0; at + 7 <= line.size(); ++at) {
        std::size_t i = 0;
        while (i < 7 && (line[at + i] | (line[at + i] >= 'A' && line[at + i] <= 'Z' ? 0x20 : 0)) ==
                            "fltsim."[i]) {
            ++i;
        }
        if (i == 7) {
            return at;
        }
    }
    return std::string_view::npos;
}

// An independent statement of the expected output, line by line. `sniffMark` says whether a
// leading UTF-8 mark belongs to the file (8-bit input) rather than to its text (UTF-16 input).
std::string expectedOutput(std::string_view in, bool sniffMark) {
    std::string out;
    if (sniffMark && in.substr(0, 3) == "\xEF\xBB\xBF") {
        out += in.substr(0, 3);
        in.remove_prefix(3);
    }
    int entries = 0;
    while (!in.empty()) {
        const std::size_t end = in.find_first_of("\r\n");
        std::string_view line = in.substr(0, end);
        std::size_t next = end == std::string_view::npos ? in.size() : end + 1;
        if (end != std::string_view::npos && in[end] == '\r' && end + 1 < in.size() &&
            in[end + 1] == '\n') {
            ++next;
        }
        in.remove_prefix(next);
        const std::size_t first = line.find_first_not_of(" \t");
        const bool header = first != std::string_view::npos && line[first] == '[';
        // An entry's name is what stands between its '[' and the first ']' after it (or the end
        // of the line); only that part is replaced.
        const std::size_t close = header ? line.find(']', first + 1) : std::string_view::npos;
        const std::string_view name =
            header ? line.substr(first + 1, close == std::string_view::npos ? std::string_view::npos
                                                                            : close - first - 1)
                   : std::string_view();
        const std::size_t marker = header ? findMarker(name) : std::string_view::npos;
        if (marker != std::string_view::npos) {
            out += std::string(line.substr(0, first)) + "[" + std::string(name.substr(marker, 7)) +
                   std::to_string(entries++) + "]";
            if (close != std::string_view::npos) {
                out += line.substr(close + 1);
            }
        } else {
            out += line;
        }
        out += "\r\n";
    }
    return out;
}

// Strict UTF-8 to UTF-16 with a leading mark; false for input that is not UTF-8 or has a NUL.
bool toUtf16(std::string_view in, bool littleEndian, std::string& out) {
    auto unit = [&](unsigned u) {
        out += static_cast<char>(littleEndian ? u & 0xFF : u >> 8);
        out += static_cast<char>(littleEndian ? u >> 8 : u & 0xFF);
    };
    unit(0xFEFF);
    for (std::size_t i = 0; i < in.size();) {
        const auto lead = static_cast<unsigned char>(in[i]);
        const int n = lead < 0x80                   ? 1
                      : lead >= 0xC2 && lead < 0xE0 ? 2
                      : lead >= 0xE0 && lead < 0xF0 ? 3
                      : lead >= 0xF0 && lead < 0xF5 ? 4
                                                    : 0;
        if (n == 0 || i + static_cast<std::size_t>(n) > in.size() || lead == 0) {
            return false;
        }
        unsigned point = n == 1 ? lead : lead & (0x7Fu >> n);
        for (int k = 1; k < n; ++k) {
            const auto c = static_cast<unsigned char>(in[i + static_cast<std::size_t>(k)]);
            if ((c & 0xC0) != 0x80) {
                return false;
            }
            point = (point << 6) | (c & 0x3Fu);
        }
        const unsigned least[] = {0, 0, 0x80, 0x800, 0x10000};
        if (point < least[n] || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) {
            return false;
        }
        if (point >= 0x10000) {
            unit(0xD800 + ((point - 0x10000) >> 10));
            unit(0xDC00 + ((point - 0x10000) & 0x3FF));
        } else {
            unit(point);
        }
        i += static_cast<std::size_t>(n);
    }
    return true;
}

bool appendTo(void* context, const char* bytes, std::size_t count, Cause&) {
    static_cast<std::string*>(context)->append(bytes, count);
    return true;
}

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "property violated: %s\n", what);
    std::abort();
}

// What the program shows of a file carries no control character, whatever the file holds: no C0
// but tab, no DEL, no C1 as UTF-8, and shown text escaped once more is unchanged. Every warning
// the file earns is worded and escaped.
void checkShown(const SectionList& list) {
    TextureFolders folders;
    folders.listed = true;
    folders.names = Text("texture.a/");
    const EntryWarnings warnings = entryWarnings(list, folders, 100);
    for (const Warning& warning : warnings.shown) {
        Text line;
        appendWordingOf(line, warning);
        const Text shown = withControlsEscaped(line);
        const std::string_view bytes(shown.c_str(), static_cast<std::size_t>(shown.length()));
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            const auto c = static_cast<unsigned char>(bytes[i]);
            const bool c1 = c == 0xC2 && i + 1 < bytes.size() &&
                            static_cast<unsigned char>(bytes[i + 1]) <= 0x9F &&
                            static_cast<unsigned char>(bytes[i + 1]) >= 0x80;
            if ((c < 0x20 && c != '\t') || c == 0x7F || c1) {
                fail("a warning shows a control character as it is");
            }
        }
        if (!(withControlsEscaped(shown) == shown)) {
            fail("a warning shows a control character as it is");
        }
    }
}

// Runs the program's own path; false when the input was refused. The program skips the write
// when it judges the output equal to the input: that judgement must be exact.
bool rewrite(std::string_view in, std::string& out) {
    SectionList list;
    Cause why;
    if (!parseSections(in.data(), in.size(), list, why)) {
        return false;
    }
    const RenumberSummary summary = renumberEntries(list);
    checkShown(list);
    writeSections(list, ByteSink{appendTo, &out}, why);
    const bool judgedUnchanged = list.lineEndsAsWritten && summary.headersChanged == 0;
    releaseSections(list);
    if (judgedUnchanged != (out == in)) {
        fail(judgedUnchanged ? "a changed output was judged equal to the input"
                             : "an output equal to the input was judged changed");
    }
    return true;
}

void checkRawBytes(std::string_view in) {
    std::string out;
    const bool rewritten = rewrite(in, out);
    // A UTF-16 or UTF-32 mark, or two characters that look like UTF-16 without one, send raw
    // bytes down the decoder's path: for them only the second-run property is stated here.
    auto nulAt = [&](std::size_t i) { return in[i] == '\0'; };
    const bool unmarkedUtf16 =
        in.size() >= 4 && nulAt(0) != nulAt(1) && nulAt(0) == nulAt(2) && nulAt(1) == nulAt(3);
    const bool marked =
        in.substr(0, 2) == "\xFF\xFE" || in.substr(0, 2) == "\xFE\xFF" || unmarkedUtf16;
    if (!marked) {
        const bool hasNul = in.find('\0') != std::string_view::npos;
        if (rewritten == hasNul) {
            fail(hasNul ? "an input with a NUL byte was rewritten" : "a text input was refused");
        }
        if (rewritten && out != expectedOutput(in, true)) {
            fail("the output is not the input with only aircraft headers renumbered");
        }
    }
    std::string again;
    if (rewritten && (!rewrite(out, again) || again != out)) {
        fail("a second run changed the output");
    }
}

void checkUtf16(std::string_view text, bool littleEndian) {
    std::string in;
    if (!toUtf16(text, littleEndian, in)) {
        return;  // not text that UTF-16 can carry
    }
    std::string out;
    if (!rewrite(in, out)) {
        fail("a UTF-16 text input was refused");
    }
    std::string expected;
    if (!toUtf16(expectedOutput(text, false), littleEndian, expected) || out != expected) {
        fail("the UTF-16 output is not the input with only aircraft headers renumbered");
    }
    std::string again;
    if (!rewrite(out, again) || again != out) {
        fail("a second run changed the UTF-16 output");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        checkRawBytes({});
        return 0;
    }
    const std::string_view payload(reinterpret_cast<const char*>(data) + 1, size - 1);
    switch (data[0] % 4) {
        case 1:
            checkUtf16(payload, true);
            break;
        case 2:
            checkUtf16(payload, false);
            break;
        default:  // raw bytes most of the time, the whole input included
            checkRawBytes(std::string_view(reinterpret_cast<const char*>(data), size));
            break;
    }
    return 0;
}
