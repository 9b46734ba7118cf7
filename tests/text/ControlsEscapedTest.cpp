// What reaches a terminal from a file: every control character shown as \xHH wherever it stands in
// a line, since the plain runs of a line are passed over eight bytes at a time.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "text/ControlsEscaped.h"

namespace {

TEST(ConsoleText, EscapesEachControlWhereverItStandsAndKeepsTheRest) {
    for (int code = 1; code < 0x100; ++code) {  // a Text ends at a NUL
        // A lone byte 0x80-0x9F is a C1 control to an 8-bit terminal; 0xA0-0xFF a Windows-1252
        // letter.
        const bool control = (code < 0x20 && code != '\t') || (code >= 0x7F && code <= 0x9F);
        char escaped[5];
        std::snprintf(escaped, sizeof escaped, "\\x%02x", code);
        const std::string shown = control ? escaped : std::string(1, static_cast<char>(code));
        for (std::size_t at = 0; at < 20; ++at) {
            std::string line(20, 'a');
            line[at] = static_cast<char>(code);
            std::string expected(20, 'a');
            expected.replace(at, 1, shown);
            EXPECT_EQ(std::string(withControlsEscaped(Text(line.c_str())).c_str()), expected)
                << "byte " << code << " at " << at;
        }
    }
}

// U+0080-U+009F, the C1 controls, are two bytes in UTF-8: C2 80 to C2 9F. A terminal that reads
// UTF-8 acts on them, so they are shown as their code points; from U+00A0 on, characters are shown.
TEST(ConsoleText, EscapesTheC1ControlsWrittenInUtf8) {
    for (int second = 0x80; second <= 0xBF; ++second) {
        const char line[] = {'a', '\xC2', static_cast<char>(second), 'b', '\0'};
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "a\\x%02xb", second);
        const std::string expected = second <= 0x9F ? escaped : line;
        EXPECT_EQ(std::string(withControlsEscaped(Text(line)).c_str()), expected)
            << "U+00" << std::hex << second;
    }
}

}  // namespace
