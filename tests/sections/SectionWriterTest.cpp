#include "sections/SectionWriter.h"

#include <gtest/gtest.h>

#include <string>

#include "sections/SectionParser.h"

namespace {

TEST(SectionWriter, StopsWhenTheSinkRefuses) {
    SectionList list;
    Text why;
    const std::string input = "[a]\r\nx\r\n";
    ASSERT_TRUE(parseSections(input.data(), input.size(), list, why));
    int calls = 0;
    auto refuse = [](void* context, const char*, std::size_t) {
        ++*static_cast<int*>(context);
        return false;
    };
    EXPECT_FALSE(writeSections(list, ByteSink{refuse, &calls}));
    EXPECT_EQ(calls, 1);
    releaseSections(list);
}

}  // namespace
