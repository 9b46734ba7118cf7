#include "json/Json.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// What RFC 8259 allows, and nothing more: a list that is not strict JSON is left alone.
TEST(Json, AcceptsExactlyWhatTheStandardAllows) {
    const struct {
        std::string document;
        bool valid;
    } rows[] = {
        {"{\"a\": [1, -0.5e+3, true, false, null, \"x\"]}", true},
        {"\xEF\xBB\xBF {\"content\": []}\r\n", true},
        {"\"\\u00e9\\/\\\\\\\"\\b\\f\\n\\r\\t\\ud83d\\ude80\"", true},
        {"\"\xC3\xA9 \xF0\x9F\x9A\x80\"", true},
        {"{\"a\": 1,}", false},
        {"[1, 2,]", false},
        {"{\"a\": 01}", false},
        {"{\"a\": 1.}", false},
        {"{\"a\": .5}", false},
        {"{\"a\": +1}", false},
        {"{'a': 1}", false},
        {"{\"a\": 1} // comment", false},
        {"{\"a\": 1} {}", false},
        {"\"tab\there\"", false},
        {"\"\\ud83d alone\"", false},
        {"\"\\ude80\"", false},
        {"\"\\x41\"", false},
        {"\"\xED\xA0\x80\"", false},  // an encoded surrogate is not UTF-8
        {"\"\xC0\xAF\"", false},      // nor is an overlong form
        {"\"unclosed", false},
        {std::string(100, '[') + std::string(100, ']'), false},  // deeper than followed
        {"", false},
        {"nul", false},
    };
    for (const auto& row : rows) {
        JsonValue root;
        std::string why;
        EXPECT_EQ(parseJson(row.document, root, why), row.valid) << row.document << ": " << why;
    }
}

TEST(Json, DecodesStringsAndKnowsWhereEachValueLies) {
    const std::string document = "{\"p\\/q\": \"caf\\u00e9\", \"size\": 5873, \"n\": 1.5}";
    JsonValue root;
    std::string why;
    ASSERT_TRUE(parseJson(document, root, why)) << why;
    ASSERT_EQ(root.members.size(), 3u);
    EXPECT_EQ(root.members[0].first, "p/q");
    EXPECT_EQ(root.members[0].second.text, "caf\xC3\xA9");
    const JsonValue& size = root.members[1].second;
    EXPECT_EQ(document.substr(size.begin, size.end - size.begin), "5873");
    EXPECT_TRUE(isPlainCount(size));
    EXPECT_FALSE(isPlainCount(root.members[2].second));
}

}  // namespace
