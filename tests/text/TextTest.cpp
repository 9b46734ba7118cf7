#include "text/Text.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <utility>

namespace {

Text withCapacity(const char* content, std::int32_t capacity) {
    Text text;
    text.reserve(capacity);
    text = content;
    return text;
}

TEST(Text, EmptyTextOwnsOnlyTheTerminator) {
    const Text empty;
    EXPECT_EQ(empty.length(), 0);
    EXPECT_EQ(empty.capacity(), 1);
    EXPECT_STREQ(empty.c_str(), "");
    // Empty Texts share their terminator: each takes a buffer of its own with its first
    // character, however it comes, and none of them shows in another.
    Text grown[6];
    grown[0] += 'a';
    grown[1] += Text("b");
    grown[2].append("c", 1);
    grown[3] = 'd';
    grown[4] = "e";
    grown[5] = Text("f");
    EXPECT_STREQ(empty.c_str(), "");
    for (Text& text : grown) {
        EXPECT_EQ(text.length(), 1);
        text.clear();
        text.append("", 0);
    }
    EXPECT_STREQ(Text().c_str(), "");
}

// The growth rule is part of the contract: exact fit, doubled for a single character, and no
// new buffer while the content fits.
TEST(Text, AppendGrowsByTheDocumentedRule) {
    Text text;
    text += Text("a");
    EXPECT_EQ(text.capacity(), 4);

    Text xyz = withCapacity("xyz", 4);
    ASSERT_EQ(xyz.capacity(), 4);
    xyz += Text("ab");
    EXPECT_STREQ(xyz.c_str(), "xyzab");
    EXPECT_EQ(xyz.capacity(), 6);
    xyz += 'c';
    EXPECT_EQ(xyz.capacity(), 14);
    const char* before = xyz.c_str();
    xyz += 'd';
    EXPECT_EQ(xyz.capacity(), 14);
    EXPECT_EQ(xyz.c_str(), before);
    EXPECT_STREQ(xyz.c_str(), "xyzabcd");

    Text same("ab");
    const std::int32_t capacity = same.capacity();
    same += Text();
    EXPECT_EQ(same.capacity(), capacity);
}

TEST(Text, AssignmentReusesALargeEnoughBuffer) {
    Text text(std::string(50, 'x').c_str());
    ASSERT_EQ(text.capacity(), 51);
    text = 'a';
    EXPECT_EQ(text.length(), 1);
    EXPECT_EQ(text.capacity(), 51);
    text = "bcd";
    EXPECT_EQ(text.capacity(), 51);
    text = Text("ef");
    EXPECT_EQ(text.capacity(), 51);
    EXPECT_STREQ(text.c_str(), "ef");

    Text small;
    small = Text("longer");
    EXPECT_EQ(small.capacity(), 7);
}

TEST(Text, CopiesAreExactFitAndIndependent) {
    Text original = withCapacity("abc", 40);
    Text copy(original);
    EXPECT_EQ(copy.capacity(), 4);
    copy += Text("d");
    EXPECT_STREQ(original.c_str(), "abc");
    EXPECT_STREQ(copy.c_str(), "abcd");

    Text concatenated = original + Text("xy");
    EXPECT_STREQ(concatenated.c_str(), "abcxy");
    EXPECT_STREQ(original.c_str(), "abc");
}

TEST(Text, CharactersStopAtTheFirstNul) {
    const Text text("ab\0cd");
    EXPECT_EQ(text.length(), 2);
    EXPECT_STREQ(text.c_str(), "ab");
}

TEST(Text, AppendingToItselfDoublesTheContent) {
    Text text("ab");
    text += text;
    EXPECT_STREQ(text.c_str(), "abab");
    text.append(text.c_str() + 1, 2);  // from its own buffer, which may move
    EXPECT_STREQ(text.c_str(), "ababba");
}

TEST(Text, Find) {
    struct Row {
        const char* haystack;
        const char* needle;
        std::int32_t expected;
    };
    const Row rows[] = {
        {"key=[x]", "[", 4},
        {"key=x", "[", -1},
        {"[fltsim.3]", "fltsim.", 1},
        {"abc", "", 0},
        {"", "", 0},
        {"abcdef", "abcdefg", -1},
        {"aab", "ab", 1},
        {"abc", "abc", 0},
        {"abc", "c", 2},
        {"[FLTSIM.3]", "fltsim.", -1},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(Text(row.haystack).find(Text(row.needle)), row.expected)
            << '"' << row.needle << "\" in \"" << row.haystack << '"';
    }
}

TEST(Text, EqualityIsBytewiseAndCaseSensitive) {
    EXPECT_TRUE(Text("abc") == Text("abc"));
    EXPECT_FALSE(Text("abc") == Text("ABC"));
    EXPECT_TRUE(Text("abc") != Text("ab"));
    EXPECT_TRUE(Text() == Text(""));
}

TEST(Text, WritesItsCharactersWithoutFill) {
    std::ostringstream out;
    out.width(10);
    out << Text("ab");
    EXPECT_EQ(out.str(), "ab");
}

TEST(Text, MovedFromTextStaysUsable) {
    Text source("content");
    Text target(std::move(source));
    EXPECT_STREQ(target.c_str(), "content");
    // NOLINTNEXTLINE(bugprone-use-after-move,clang-analyzer-cplusplus.Move): that is the point
    EXPECT_STREQ(source.c_str(), "");
    source += Text("again");
    EXPECT_STREQ(source.c_str(), "again");

    Text other("x");
    other = std::move(target);
    EXPECT_STREQ(other.c_str(), "content");
}

TEST(Text, ReserveGrowsGeometricallySoAppendsStayLinear) {
    // Counted by capacity, not by buffer address: an allocator may grow a buffer in place.
    Text text;
    int growths = 0;
    std::int32_t capacity = text.capacity();
    for (int i = 0; i < 100000; ++i) {
        text.append("0123456789", 10);
        if (text.capacity() != capacity) {
            ++growths;
            capacity = text.capacity();
        }
    }
    EXPECT_EQ(text.length(), 1000000);
    EXPECT_LT(growths, 40);
    EXPECT_LE(text.capacity(), text.length() * 2);
}

}  // namespace
