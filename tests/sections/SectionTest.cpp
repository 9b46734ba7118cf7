#include "sections/Section.h"

#include <gtest/gtest.h>

#include <iostream>
#include <sstream>
#include <string>

namespace {

TEST(ReleaseSections, SaysSoOnlyWhenThereIsNothingToRelease) {
    std::ostringstream captured;
    std::streambuf* console = std::cout.rdbuf(captured.rdbuf());
    SectionList list;
    appendSection(Text("[a]"), Text("x\n"), list);
    appendSection(Text("[b]"), Text(), list);
    releaseSections(list);
    const std::string afterFull = captured.str();
    releaseSections(list);
    std::cout.rdbuf(console);
    EXPECT_EQ(afterFull, "");
    EXPECT_EQ(captured.str(), "Data already deleted\n");
    EXPECT_EQ(list.head, nullptr);
    EXPECT_EQ(list.tail, nullptr);
}

TEST(DiscardSections, FreesQuietly) {
    std::ostringstream captured;
    std::streambuf* console = std::cout.rdbuf(captured.rdbuf());
    SectionList list;
    appendSection(Text("[a]"), Text("x\n"), list);
    discardSections(list);
    discardSections(list);
    std::cout.rdbuf(console);
    EXPECT_EQ(captured.str(), "");
    EXPECT_EQ(list.head, nullptr);
}

}  // namespace
