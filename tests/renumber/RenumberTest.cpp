#include "renumber/Renumber.h"

#include <gtest/gtest.h>

#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Headers = std::vector<std::string>;

// Renumbers sections with the given headers (each with a body naming its position) and returns
// the new headers, checking that no body moved or changed.
Headers renumbered(const Headers& headers, RenumberSummary* summary = nullptr) {
    SectionList list;
    for (std::size_t i = 0; i < headers.size(); ++i) {
        appendSection(Text(headers[i].c_str()), Text(("body " + std::to_string(i) + "\n").c_str()),
                      list);
    }
    const RenumberSummary done = renumberEntries(list);
    if (summary != nullptr) {
        *summary = done;
    }
    Headers result;
    std::size_t i = 0;
    for (const Section* s = list.head; s != nullptr; s = s->next, ++i) {
        result.emplace_back(s->header.c_str());
        EXPECT_EQ(std::string(s->body.c_str()), "body " + std::to_string(i) + "\n");
    }
    releaseSections(list);
    return result;
}

TEST(RenumberEntries, NumbersEntriesInFileOrderAndLeavesOtherSections) {
    const struct {
        const char* name;
        Headers before;
        Headers after;
    } rows[] = {
        {"gaps and other sections",
         {"[fltsim.5]", "[general]", "[fltsim.2]", "[fltsim.9]"},
         {"[fltsim.0]", "[general]", "[fltsim.1]", "[fltsim.2]"}},
        {"repeats",
         {"[fltsim.1]", "[fltsim.1]", "[fltsim.1]"},
         {"[fltsim.0]", "[fltsim.1]", "[fltsim.2]"}},
        {"any letter case counts, one counter, the file's spelling kept",
         {"[FLTSIM.7]", "[fltsim.5]", "[Fltsim.0]", "[FltSim.3] // pasted", "[fLTSIm.9]"},
         {"[FLTSIM.0]", "[fltsim.1]", "[Fltsim.2]", "[FltSim.3] // pasted", "[fLTSIm.4]"}},
        {"only the bracketed name changes: indents and comments stay",
         {"  [FLTSIM.9]\t; old", "[fltsim.3] // copied from the club package", "\t[fltsim.1]x]"},
         {"  [FLTSIM.0]\t; old", "[fltsim.1] // copied from the club package", "\t[fltsim.2]x]"}},
        {"a marker outside the brackets makes no entry",
         {"[general] ; see fltsim.3", "[fltsim.4]", "[]fltsim.1", "[x] [fltsim.2]"},
         {"[general] ; see fltsim.3", "[fltsim.0]", "[]fltsim.1", "[x] [fltsim.2]"}},
        {"without a ']' the rest of the line is replaced",
         {"[fltsim.4 oops", "  [FLTSIM.x ; no bracket", "[general"},
         {"[fltsim.0]", "  [FLTSIM.1]", "[general"}},
        {"letters outside ASCII do not match, nor what differs from '.' in its 0x20 bit",
         {"[flts\xC4\xB1m.1]",
          "[fltsim\x0E"
          "1]",
          "[fltsim.1]"},
         {"[flts\xC4\xB1m.1]",
          "[fltsim\x0E"
          "1]",
          "[fltsim.0]"}},
        {"odd names are entries",
         {"[fltsim.x]", "[myfltsim.4]", "[fltsim.7] // note", "[MyFLTSIM.2]\t"},
         {"[fltsim.0]", "[fltsim.1]", "[fltsim.2] // note", "[FLTSIM.3]\t"}},
        {"the leading headerless section is left alone", {"", "[fltsim.3]"}, {"", "[fltsim.0]"}},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(renumbered(row.before), row.after) << row.name;
    }
}

TEST(RenumberEntries, GoesPastOneDigit) {
    Headers before;
    Headers after;
    for (int i = 0; i < 12; ++i) {
        before.push_back("[fltsim." + std::to_string((i * 5) % 12) + "]");
        after.push_back("[fltsim." + std::to_string(i) + "]");
    }
    RenumberSummary summary;
    EXPECT_EQ(renumbered(before, &summary), after);
    EXPECT_EQ(summary.entries, 12);
    EXPECT_EQ(summary.headersChanged, 8);  // 0, 3, 6 and 9 had their numbers already
    EXPECT_EQ(renumbered(after, &summary), after);
    EXPECT_EQ(summary.entries, 12);
    EXPECT_EQ(summary.headersChanged, 0);
}

TEST(RenumberEntries, ReportsAnEmptyListWithoutALineBreak) {
    std::ostringstream captured;
    std::streambuf* console = std::cout.rdbuf(captured.rdbuf());
    SectionList empty;
    renumberEntries(empty);
    std::cout.rdbuf(console);
    EXPECT_EQ(captured.str(), "error!");
}

}  // namespace
