// Fuzzes the whole in-memory path, load from bytes, renumber, save to bytes, against the property
// that defines the program: the output is the input with every line ended by CR LF and only the
// aircraft header lines replaced by [fltsim.N], N counting up from 0. Every other line is kept
// byte for byte and in order. Input with a NUL byte must be refused, never rewritten.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "renumber/Renumber.h"
#include "sections/SectionParser.h"
#include "sections/SectionWriter.h"

namespace {

// An independent statement of the expected output, line by line.
std::string expectedOutput(std::string_view in) {
    std::string out;
    if (in.substr(0, 3) == "\xEF\xBB\xBF") {
        out += in.substr(0, 3);
        in.remove_prefix(3);
    }
    int entries = 0;
    while (!in.empty()) {
        const std::size_t lf = in.find('\n');
        std::string_view line = in.substr(0, lf);
        in.remove_prefix(lf == std::string_view::npos ? in.size() : lf + 1);
        if (lf != std::string_view::npos && !line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        const std::size_t first = line.find_first_not_of(" \t");
        const bool header = first != std::string_view::npos && line[first] == '[';
        if (header && line.find("fltsim.") != std::string_view::npos) {
            out += "[fltsim." + std::to_string(entries++) + "]";
        } else {
            out += line;
        }
        out += "\r\n";
    }
    return out;
}

bool appendTo(void* context, const char* bytes, std::size_t count) {
    static_cast<std::string*>(context)->append(bytes, count);
    return true;
}

// Runs the program's own path; false when the input was refused.
bool rewrite(std::string_view in, std::string& out) {
    SectionList list;
    Text why;
    if (!parseSections(in.data(), in.size(), list, why)) {
        return false;
    }
    renumberEntries(list);
    writeSections(list, ByteSink{appendTo, &out});
    releaseSections(list);
    return true;
}

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "property violated: %s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view in(reinterpret_cast<const char*>(data), size);
    const bool hasNul = in.find('\0') != std::string_view::npos;
    std::string out;
    if (!rewrite(in, out)) {
        if (!hasNul) {
            fail("a text input was refused");
        }
        return 0;
    }
    if (hasNul) {
        fail("an input with a NUL byte was rewritten");
    }
    if (out != expectedOutput(in)) {
        fail("the output is not the input with only aircraft headers renumbered");
    }
    std::string again;
    if (!rewrite(out, again) || again != out) {
        fail("a second run changed the output");
    }
    return 0;
}
