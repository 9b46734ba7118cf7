#include "json/Json.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

// What RFC 8259 allows, and nothing more: a list that is not strict JSON is left alone, and the
// cause says what broke it and at which byte.
TEST(Json, AcceptsExactlyWhatTheStandardAllows) {
    using K = CauseKind;
    const struct {
        std::string document;
        CauseKind why;  // none for a valid document
        std::int64_t at;
    } rows[] = {
        {"{\"a\": [1, -0.5e+3, true, false, null, \"x\"]}", K::none, 0},
        {"\xEF\xBB\xBF {\"content\": []}\r\n", K::none, 0},
        {"\"\\u00e9\\/\\\\\\\"\\b\\f\\n\\r\\t\\ud83d\\ude80\"", K::none, 0},
        {"\"\xC3\xA9 \xF0\x9F\x9A\x80\"", K::none, 0},
        {"{\"a\": 1,}", K::jsonObjectNeedsName, 8},
        {"[1, 2,]", K::jsonValueExpected, 6},
        {"{\"a\": 01}", K::jsonObjectNeedsCommaOrEnd, 7},
        {"{\"a\": 1.}", K::jsonNoDigitsAfterPoint, 8},
        {"{\"a\": .5}", K::jsonValueExpected, 6},
        {"{\"a\": +1}", K::jsonValueExpected, 6},
        {"{'a': 1}", K::jsonObjectNeedsName, 1},
        {"{\"a\": 1} // comment", K::jsonMoreAfterValue, 9},
        {"{\"a\": 1} {}", K::jsonMoreAfterValue, 9},
        {"[1e]", K::jsonNoDigitsInExponent, 3},
        {"{\"a\" 1}", K::jsonObjectNeedsColon, 5},
        {"[1 2]", K::jsonArrayNeedsCommaOrEnd, 3},
        {"\"tab\there\"", K::jsonControlCharacter, 4},
        {"\"\\ud83d alone\"", K::jsonLoneSurrogate, 7},
        {"\"\\ude80\"", K::jsonLoneSurrogate, 7},
        {"\"\\u00g0\"", K::jsonBadUnicodeEscape, 5},
        {"\"\\x41\"", K::jsonUnknownEscape, 2},
        {"\"\xED\xA0\x80\"", K::jsonNotUtf8, 1},  // an encoded surrogate is not UTF-8
        {"\"\xC0\xAF\"", K::jsonNotUtf8, 1},      // nor is an overlong form
        {"\"unclosed", K::jsonUnclosedString, 9},
        {std::string(100, '[') + std::string(100, ']'), K::jsonTooDeep,
         65},  // deeper than followed
        {"", K::jsonValueExpected, 0},
        {"nul", K::jsonValueExpected, 0},
    };
    for (const auto& row : rows) {
        JsonValue root;
        Cause why;
        EXPECT_EQ(parseJson(row.document, root, why), row.why == K::none) << row.document;
        EXPECT_EQ(static_cast<int>(why.kind), static_cast<int>(row.why)) << row.document;
        EXPECT_EQ(why.at, row.at) << row.document;
    }
}

TEST(Json, DecodesStringsAndKnowsWhereEachValueLies) {
    const std::string document = "{\"p\\/q\": \"caf\\u00e9\", \"size\": 5873, \"n\": 1.5}";
    JsonValue root;
    Cause why;
    ASSERT_TRUE(parseJson(document, root, why));
    ASSERT_EQ(root.members.size(), 3u);
    EXPECT_EQ(root.members[0].first, "p/q");
    EXPECT_EQ(root.members[0].second.text, "caf\xC3\xA9");
    const JsonValue& size = root.members[1].second;
    EXPECT_EQ(document.substr(size.begin, size.end - size.begin), "5873");
}

}  // namespace
