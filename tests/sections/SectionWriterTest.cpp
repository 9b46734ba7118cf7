#include "sections/SectionWriter.h"

#include <gtest/gtest.h>

#include <string>

#include "sections/SectionParser.h"

namespace {

TEST(SectionWriter, StopsWhenTheSinkRefuses) {
    SectionList list;
    Cause why;
    const std::string input = "[a]\r\nx\r\n";
    ASSERT_TRUE(parseSections(input.data(), input.size(), list, why));
    int calls = 0;
    auto refuse = [](void* context, const char*, std::size_t, Cause& cause) {
        ++*static_cast<int*>(context);
        cause = causeOf(CauseKind::cannotWrite);
        return false;
    };
    EXPECT_FALSE(writeSections(list, ByteSink{refuse, &calls}, why));
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(why.kind, CauseKind::cannotWrite);
    releaseSections(list);
}

// UTF-16 can only carry well-formed UTF-8; anything else must fail the save, not be guessed at.
TEST(SectionWriter, RefusesToWriteUtf16FromBytesThatAreNotUtf8) {
    const char* const notUtf8[] = {
        "\xED\xA0\x80",      // an encoded surrogate
        "\xE0\x80\x80",      // an overlong form
        "\xF4\x90\x80\x80",  // past U+10FFFF
        "\xC3",              // cut off at the end
    };
    for (const char* bytes : notUtf8) {
        SectionList list;
        list.encoding = FileEncoding::utf16LittleEndian;
        appendSection(Text("[a]"), Text(bytes), list);
        std::string out;
        Cause why;
        auto keep = [](void* context, const char* data, std::size_t count, Cause&) {
            static_cast<std::string*>(context)->append(data, count);
            return true;
        };
        EXPECT_FALSE(writeSections(list, ByteSink{keep, &out}, why)) << bytes;
        EXPECT_EQ(why.kind, CauseKind::notUtf8ForUtf16);
        releaseSections(list);
    }
}

}  // namespace
