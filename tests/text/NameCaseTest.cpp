// Names in letter case as Windows compares them, which a package's list follows.
#include "text/NameCase.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string folded(std::string name) {
    foldNameCase(&name[0], name.size());
    return name;
}

TEST(NameCase, FoldsTheLettersHobbyistsNameAircraftWith) {
    const struct {
        const char* name;
        const char* folded;
    } rows[] = {
        {"AIRCRAFT.CFG", "aircraft.cfg"},
        {"\xC3\x89"
         "cureuil \xC3\x84\xC3\x96\xC3\x9C",
         "\xC3\xA9"
         "cureuil \xC3\xA4\xC3\xB6\xC3\xBC"},
        {"\xC3\x97\xC3\x9F", "\xC3\x97\xC3\x9F"},  // the sign of multiplication, sharp s
        {"\xC5\x81\xC3\xB3\xC5\xBB", "\xC5\x82\xC3\xB3\xC5\xBC"},  // Polish, Łóż
        {"\xC5\xB8", "\xC3\xBF"},                  // Ÿ, whose small letter is Latin-1
        {"\xCE\xA3\xCE\xA9", "\xCF\x83\xCF\x89"},  // Greek ΣΩ
        {"\xD0\x9C\xD0\x86\xD0\xAF", "\xD0\xBC\xD1\x96\xD1\x8F"},  // Cyrillic МІЯ
        {"\xC3", "\xC3"},                                          // cut short: kept
        {"\xE2\x82\xAC", "\xE2\x82\xAC"},                          // three bytes: kept
    };
    for (const auto& row : rows) {
        EXPECT_EQ(folded(row.name), row.folded) << row.name;
    }
}

}  // namespace
