#include "sections/SectionParser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "sections/SectionWriter.h"

namespace {

struct Parsed {
    bool ok = false;
    std::vector<std::string> headers;
    std::vector<std::string> bodies;
    CauseKind why = CauseKind::none;
};

Parsed parseInChunks(const std::string& bytes, std::size_t chunk) {
    SectionList list;
    SectionParser parser(list);
    Parsed parsed;
    parsed.ok = true;
    for (std::size_t at = 0; at < bytes.size() && parsed.ok; at += chunk) {
        parsed.ok = parser.feed(bytes.data() + at, std::min(chunk, bytes.size() - at));
    }
    parsed.ok = parsed.ok && parser.finish();
    parsed.why = parser.why().kind;
    for (const Section* s = list.head; s != nullptr; s = s->next) {
        parsed.headers.emplace_back(s->header.c_str());
        parsed.bodies.emplace_back(s->body.c_str());
    }
    discardSections(list);
    return parsed;
}

bool appendTo(void* context, const char* bytes, std::size_t count, Cause&) {
    static_cast<std::string*>(context)->append(bytes, count);
    return true;
}

std::string roundTrip(const std::string& bytes) {
    SectionList list;
    Cause why;
    if (!parseSections(bytes.data(), bytes.size(), list, why)) {
        return "refused: " + std::string(worded(why).c_str());
    }
    std::string out;
    writeSections(list, ByteSink{appendTo, &out}, why);
    releaseSections(list);
    return out;
}

struct LayoutCase {
    const char* name;
    std::string input;
    std::vector<std::string> headers;
    std::vector<std::string> bodies;
    std::string written;  // what saving writes back
};

const std::string kBom = "\xEF\xBB\xBF";

// ASCII text as UTF-16 bytes, little- or big-endian.
std::string utf16(const std::string& ascii, bool littleEndian = true) {
    std::string bytes;
    for (char c : ascii) {
        bytes += littleEndian ? std::string{c, '\0'} : std::string{'\0', c};
    }
    return bytes;
}

const std::vector<LayoutCase> kLayoutCases = {
    {"typical CR LF file",
     "[fltsim.3]\r\ntitle=A\r\n[fltsim.7]\r\ntitle=B\r\n",
     {"[fltsim.3]", "[fltsim.7]"},
     {"title=A\n", "title=B\n"},
     "[fltsim.3]\r\ntitle=A\r\n[fltsim.7]\r\ntitle=B\r\n"},
    {"LF line ends become CR LF",
     "[a]\nx=1\n\ny=2\n",
     {"[a]"},
     {"x=1\n\ny=2\n"},
     "[a]\r\nx=1\r\n\r\ny=2\r\n"},
    {"a missing final line break is added", "[a]\r\nx=1", {"[a]"}, {"x=1\n"}, "[a]\r\nx=1\r\n"},
    {"empty lines at the end stay, no more and no fewer",
     "[a]\r\nx\r\n\r\n\r\n",
     {"[a]"},
     {"x\n\n\n"},
     "[a]\r\nx\r\n\r\n\r\n"},
    {"an empty file stays empty", "", {""}, {""}, ""},
    {"a lone line break", "\r\n", {""}, {"\n"}, "\r\n"},
    {"no header line at all", "a=1\r\nb=2\r\n", {""}, {"a=1\nb=2\n"}, "a=1\r\nb=2\r\n"},
    {"lines before the first header stay before it",
     "// note\r\n\r\n[general]\r\nx=1\r\n",
     {"", "[general]"},
     {"// note\n\n", "x=1\n"},
     "// note\r\n\r\n[general]\r\nx=1\r\n"},
    {"adjacent header lines",
     "[a]\r\n[b]\r\nx\r\n",
     {"[a]", "[b]"},
     {"", "x\n"},
     "[a]\r\n[b]\r\nx\r\n"},
    {"a header must start its line, after spaces or tabs",
     "[a]\r\n//[fltsim.3]\r\ndescription=copy of [fltsim.5]\r\n \t[b] // c\r\ny\r\n",
     {"[a]", " \t[b] // c"},
     {"//[fltsim.3]\ndescription=copy of [fltsim.5]\n", "y\n"},
     "[a]\r\n//[fltsim.3]\r\ndescription=copy of [fltsim.5]\r\n \t[b] // c\r\ny\r\n"},
    {"a lone CR ends a line, as editors show it",
     "[a]\rx=1\r[fltsim.2]\ry=2\r",
     {"[a]", "[fltsim.2]"},
     {"x=1\n", "y=2\n"},
     "[a]\r\nx=1\r\n[fltsim.2]\r\ny=2\r\n"},
    {"CR CR LF is a line end and an empty line",
     "[a]\r\nx\r\r\ny\n\rz",
     {"[a]"},
     {"x\n\ny\n\nz\n"},
     "[a]\r\nx\r\n\r\ny\r\n\r\nz\r\n"},
    {"8-bit bytes pass untouched",
     "[a]\r\nname=Caf\xE9 \x96 \xA9\xA0\xFF\x80\r\n",
     {"[a]"},
     {"name=Caf\xE9 \x96 \xA9\xA0\xFF\x80\n"},
     "[a]\r\nname=Caf\xE9 \x96 \xA9\xA0\xFF\x80\r\n"},
    {"UTF-16LE is held as UTF-8 and written back as it was",
     "\xFF\xFE" + utf16("[a]\r\nx=Caf") + std::string("\xE9\0", 2) + utf16(" ") +
         std::string("\x3D\xD8\x00\xDE", 4) + utf16("\r\n"),
     {"[a]"},
     {"x=Caf\xC3\xA9 \xF0\x9F\x98\x80\n"},
     "\xFF\xFE" + utf16("[a]\r\nx=Caf") + std::string("\xE9\0", 2) + utf16(" ") +
         std::string("\x3D\xD8\x00\xDE", 4) + utf16("\r\n")},
    {"UTF-16BE, LF line ends and no final line break",
     "\xFE\xFF" + utf16("[a]\nx=1", false),
     {"[a]"},
     {"x=1\n"},
     "\xFE\xFF" + utf16("[a]\r\nx=1\r\n", false)},
    {"a UTF-16 mark alone", "\xFF\xFE", {""}, {""}, "\xFF\xFE"},
    {"0x1A is an ordinary character",
     "[a]\r\nx\x1Ay\r\n\x1A",
     {"[a]"},
     {"x\x1Ay\n\x1A\n"},
     "[a]\r\nx\x1Ay\r\n\x1A\r\n"},
    {"a byte-order mark stays at the start and out of the first line",
     kBom + "[fltsim.1]\r\nx\r\n",
     {"[fltsim.1]"},
     {"x\n"},
     kBom + "[fltsim.1]\r\nx\r\n"},
    {"a byte-order mark alone", kBom, {""}, {""}, kBom},
    {"bytes like a byte-order mark later on are content",
     "[a]\r\n" + kBom + "\r\n",
     {"[a]"},
     {kBom + "\n"},
     "[a]\r\n" + kBom + "\r\n"},
    {"a short file that only starts like a byte-order mark",
     "\xEF\xBB",
     {""},
     {"\xEF\xBB\n"},
     "\xEF\xBB\r\n"},
};

// Every case must come out the same however the input is split, since the loader reads chunks.
TEST(SectionParser, SplitsTheLayoutWhateverTheChunkSize) {
    for (const LayoutCase& c : kLayoutCases) {
        for (std::size_t chunk : {std::size_t{1}, std::size_t{2}, std::size_t{3}, std::size_t{7},
                                  std::size_t{1} << 20}) {
            const Parsed parsed = parseInChunks(c.input, chunk);
            ASSERT_TRUE(parsed.ok) << c.name << ": " << static_cast<int>(parsed.why);
            EXPECT_EQ(parsed.headers, c.headers) << c.name << ", chunks of " << chunk;
            EXPECT_EQ(parsed.bodies, c.bodies) << c.name << ", chunks of " << chunk;
        }
    }
}

// The sections of text whose lines all end in CR LF and whose header lines start with '[', by the
// plainest reading.
Parsed plainParse(const std::string& text) {
    Parsed parsed;
    parsed.ok = true;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = std::min(text.find("\r\n", at), text.size());
        const std::string line = text.substr(at, end - at);
        if (line[0] == '[') {
            parsed.headers.push_back(line);
            parsed.bodies.emplace_back();
        } else {
            if (parsed.headers.empty()) {
                parsed.headers.emplace_back();
                parsed.bodies.emplace_back();
            }
            parsed.bodies.back() += line + "\n";
        }
        at = end + 2;
    }
    return parsed;
}

// Sections are built in place in blocks of memory: a line, a header or a section may be split
// between chunks anywhere, and sections move to a new block, or have theirs grown, as they fill.
// Every split must give the sections a whole parse gives.
TEST(SectionParser, EveryChunkSizeGivesTheWholeParse) {
    const std::string mixed = " \t[lead]\r\nx\r\r\n\n[fltsim.1]\rtitle=A\r\n\r[b]\n[c]\r\n\ty\rz";
    std::string blocks;  // past the first block, with a section larger than any block
    for (int i = 0; blocks.size() < (std::size_t{3} << 20); ++i) {
        blocks += "[fltsim." + std::to_string(i) + "]\r\ntitle=" + std::string(i % 97, 'x') +
                  "\r\nk=" + (i % 5000 == 4999 ? std::string(5 << 20, 'y') : "") + "\r\n";
    }
    struct Row {
        std::string input;
        std::vector<std::size_t> chunks;
    };
    std::vector<Row> rows = {{mixed, {}}, {blocks, {7, 4093, 65536, 1000003}}};
    for (std::size_t size = 1; size <= mixed.size(); ++size) {
        rows[0].chunks.push_back(size);
    }
    // The first block fills at a place that only the bytes before it decide: at every place of a
    // line, as the lines before it grow.
    for (std::size_t lead = 0; lead < 128; ++lead) {
        rows.push_back({std::string(lead, ';') + "\r\n" + blocks.substr(0, 70000), {5, 4096}});
    }
    for (const Row& row : rows) {
        const Parsed whole = parseInChunks(row.input, row.input.size());
        ASSERT_TRUE(whole.ok);
        if (&row != &rows[0]) {
            const Parsed plain = plainParse(row.input);
            ASSERT_TRUE(whole.headers == plain.headers && whole.bodies == plain.bodies);
        }
        for (const std::size_t chunk : row.chunks) {
            const Parsed parsed = parseInChunks(row.input, chunk);
            ASSERT_TRUE(parsed.ok) << "chunks of " << chunk;
            EXPECT_TRUE(parsed.headers == whole.headers && parsed.bodies == whole.bodies)
                << "chunks of " << chunk;
        }
    }
}

TEST(SectionParser, WritesTheLayoutBackAndAgainUnchanged) {
    for (const LayoutCase& c : kLayoutCases) {
        const std::string once = roundTrip(c.input);
        EXPECT_EQ(once, c.written) << c.name;
        EXPECT_EQ(roundTrip(once), once) << c.name << ": a second run changed the file";
    }
}

TEST(SectionParser, KeepsLongLinesWhole) {
    const std::string longLine(300000, 'v');
    const std::string input = "[a]\r\nk=" + longLine + "\r\n[b]\r\n";
    for (std::size_t chunk : {std::size_t{4096}, std::size_t{65536}, std::size_t{1} << 20}) {
        const Parsed parsed = parseInChunks(input, chunk);
        ASSERT_TRUE(parsed.ok);
        EXPECT_EQ(parsed.headers, (std::vector<std::string>{"[a]", "[b]"}));
        EXPECT_EQ(parsed.bodies, (std::vector<std::string>{"k=" + longLine + "\n", ""}));
    }
}

TEST(SectionParser, RefusesWhatItCannotRewriteAndLeavesNoSections) {
    const CauseKind nul = CauseKind::nulByte;
    const CauseKind unpaired = CauseKind::unpairedSurrogate;
    const struct {
        std::string input;
        CauseKind why;
    } rows[] = {
        {std::string("[a]\r\nx\0y\r\n", 10), nul},
        {std::string("\0", 1), nul},
        {std::string("a\0", 2), nul},  // too short to be told for UTF-16
        {std::string("[a]\0\0\0", 6), nul},
        {kBom + std::string("[a]\0", 4), nul},
        {utf16("[a]\r\n"), CauseKind::utf16WithoutMark},
        {utf16("[a]\r\n", false), CauseKind::utf16WithoutMark},
        {"\xFF\xFE" + utf16("[a]") + "\r", CauseKind::oddByteCount},
        {"\xFF\xFE" + utf16("x") + "\x3D\xD8" + utf16("y"), unpaired},     // high, then no low
        {"\xFF\xFE" + utf16("x") + std::string("\x00\xDE", 2), unpaired},  // a low alone
        {"\xFE\xFF" + utf16("x", false) + "\xD8\x3D", unpaired},           // cut after a high
        {"\xFF\xFE" + utf16("x") + std::string("\0\0", 2), CauseKind::nulCharacter},
        {std::string("\xFF\xFE\0\0", 4) + utf16("[a]") + std::string("\0\0", 2), CauseKind::utf32},
        {std::string("\0\0\xFE\xFF\0\0\0[", 8), CauseKind::utf32},
    };
    for (const auto& row : rows) {
        for (std::size_t chunk : {std::size_t{1}, std::size_t{3}, std::size_t{1} << 20}) {
            const Parsed parsed = parseInChunks(row.input, chunk);
            EXPECT_FALSE(parsed.ok) << row.input;
            EXPECT_EQ(parsed.why, row.why) << "chunks of " << chunk;
        }
        SectionList list;
        Cause why;
        EXPECT_FALSE(parseSections(row.input.data(), row.input.size(), list, why));
        EXPECT_EQ(list.head, nullptr);
    }
}

// A file that would pass the memory budget is refused, before an allocator near the end of a
// small address space can fail less cleanly.
TEST(SectionParser, GivesUpAtItsMemoryBudget) {
    std::string tinySections;
    for (int i = 0; i < 10000; ++i) {
        tinySections += "[\r\n";
    }
    const std::string oneLongLine = "[a]\r\n" + std::string(300000, 'x');
    for (const std::string& input : {tinySections, oneLongLine}) {
        SectionList list;
        SectionParser withinBudget(list, 4 << 20);
        EXPECT_TRUE(withinBudget.feed(input.data(), input.size()) && withinBudget.finish());
        discardSections(list);
        SectionParser parser(list, 200000);
        EXPECT_FALSE(parser.feed(input.data(), input.size()) && parser.finish());
        EXPECT_EQ(parser.why().kind, CauseKind::tooLargeForMemory);
        discardSections(list);
    }
    // A budget that leaves little still takes a file that fits in it, nodes and all.
    const std::string small = "[fltsim.0]\r\nk=1\r\n";
    SectionList list;
    SectionParser tight(list, 40000);
    EXPECT_TRUE(tight.feed(small.data(), small.size()) && tight.finish());
    discardSections(list);
}

TEST(SectionParser, ManySectionsAreKeptInFileOrder) {
    std::string input;
    for (int i = 0; i < 20000; ++i) {
        input += "[s" + std::to_string(i) + "]\r\nk=" + std::to_string(i) + "\r\n";
    }
    const Parsed parsed = parseInChunks(input, 65536);
    ASSERT_EQ(parsed.headers.size(), 20000u);
    EXPECT_EQ(parsed.headers[12345], "[s12345]");
    EXPECT_EQ(parsed.bodies[19999], "k=19999\n");
}

}  // namespace
