#include "checks/EntryChecks.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Real files write a value in many ways; each must read as the simulators read it.
TEST(ValueOf, ReadsAValueAsTheSimulatorsDo) {
    const struct {
        const char* body;
        const char* value;  // none when the key is not set
    } rows[] = {
        {"title=A320 Club\n", "A320 Club"},
        {"  Title = \"A320 Club\" ; note\n", "A320 Club"},
        {"TITLE\t=\tA320 Club // pasted\n", "A320 Club"},
        {"title = \"A;B // C\" ; quoted, so the comment marks are the title's\n", "A;B // C"},
        {"title=\n", ""},
        {"atc_id=title\ntitle_short=x\n;title=commented out\n", nullptr},
        {"sim=a\ntitle=first\ntitle=second\n", "first"},
        {"title=last line without a break", "last line without a break"},
    };
    for (const auto& row : rows) {
        Text value("unset");
        const bool found = valueOf(Text(row.body), "title", value);
        EXPECT_EQ(found, row.value != nullptr) << row.body;
        if (found && row.value != nullptr) {
            EXPECT_STREQ(value.c_str(), row.value) << row.body;
        }
    }
}

}  // namespace
