// The package's file list as the program edits it: only the digits of the files' sizes and dates
// change, whatever their width before and after and whichever comes first, however many entries
// one reading edits, and a list whose entry cannot be edited safely is refused with its cause.
#include "package/Layout.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

const char* const kPath = "X/aircraft.cfg";
constexpr std::int64_t kDate = 133017734419960000;
// A second file of the same package, edited in the same reading where the list names it.
const char* const kOther = "Y/sim.cfg";
constexpr std::int64_t kOtherSize = 7;

TEST(Layout, ChangesOnlyTheDigitsOrSaysWhyNot) {
    const struct {
        const char* name;
        std::string list;
        const char* path;
        std::int64_t size;
        std::int64_t date;
        std::string expected;  // the list afterwards
        CauseKind refused;     // or why it is refused
        const char* member;    // and the member of the entry that the cause names
        bool sizeRecorded;     // the entry already records `size`
        std::size_t budget;
    } rows[] = {
        {"a size that gains a digit, before the date",
         R"({"content":[{"path":"X/aircraft.cfg","size":99,"date":5}]})", kPath, 141, kDate,
         R"({"content":[{"path":"X/aircraft.cfg","size":141,"date":133017734419960000}]})",
         CauseKind::none, "", false, SIZE_MAX},
        {"a size that loses a digit, after a date that gains many",
         "{ \"content\": [\r\n\t{ \"date\": 5, \"path\": \"x\\/AIRCRAFT.cfg\", \"size\": 1000 "
         "}\r\n] }",
         kPath, 141, kDate,
         "{ \"content\": [\r\n\t{ \"date\": 133017734419960000, \"path\": \"x\\/AIRCRAFT.cfg\", "
         "\"size\": 141 }\r\n] }",
         CauseKind::none, "", false, SIZE_MAX},
        {"a size and date written as strings of digits keep their quotes",
         R"({"content":[{"path":"X/aircraft.cfg","size":"200","date":"132402817714110148"}]})",
         kPath, 141, 132402817714110149,
         R"({"content":[{"path":"X/aircraft.cfg","size":"141","date":"132402817714110149"}]})",
         CauseKind::none, "", false, SIZE_MAX},
        {"a size with leading zeros is the same size",
         R"({"content":[{"path":"X/aircraft.cfg","size":"0141","date":1}]})", kPath, 141, kDate,
         R"({"content":[{"path":"X/aircraft.cfg","size":"141","date":133017734419960000}]})",
         CauseKind::none, "", true, SIZE_MAX},
        {"two files of one package, the later one's size losing digits and the earlier's gaining",
         R"({"content":[{"path":"Y/sim.cfg","size":12345,"date":1},)"
         R"({"path":"X/aircraft.cfg","size":9,"date":2}]})",
         kPath, 141, kDate,
         R"({"content":[{"path":"Y/sim.cfg","size":7,"date":133017734419960000},)"
         R"({"path":"X/aircraft.cfg","size":141,"date":133017734419960000}]})",
         CauseKind::none, "", false, SIZE_MAX},
        {"the file listed twice",
         R"({"content":[{"path":"X/aircraft.cfg","size":1,"date":1},)"
         R"({"path":"x/Aircraft.cfg","size":1,"date":1}]})",
         kPath, 141, kDate, "", CauseKind::listsTheFileTwice, "", false, SIZE_MAX},
        {"no size", R"({"content":[{"path":"X/aircraft.cfg","date":1}]})", kPath, 141, kDate, "",
         CauseKind::entryLacks, "size", false, SIZE_MAX},
        {"the date twice", R"({"content":[{"path":"X/aircraft.cfg","size":1,"date":1,"date":2}]})",
         kPath, 141, kDate, "", CauseKind::entryHasTwice, "date", false, SIZE_MAX},
        {"a size whose digits are escapes",
         R"({"content":[{"path":"X/aircraft.cfg","size":"\u0031","date":1}]})", kPath, 141, kDate,
         "", CauseKind::notPlainInteger, "size", false, SIZE_MAX},
        {"a date that is not a whole number",
         R"({"content":[{"path":"X/aircraft.cfg","size":1,"date":1.5}]})", kPath, 141, kDate, "",
         CauseKind::notPlainInteger, "date", false, SIZE_MAX},
        {"a list whose values pass the memory they may take",
         R"({"content":[{"path":"X/aircraft.cfg","size":1,"date":1}],"more":[0,0,0,0,0,0,0,0]})",
         kPath, 141, kDate, "", CauseKind::tooLargeForMemory, "", false, 1024},
    };
    for (const auto& row : rows) {
        LayoutReading reading;
        Cause why;
        const bool read =
            readLayout(row.list, {Text(row.path), Text(kOther)},
                       {Text("X/texture/a.dds"), Text(kOther)}, row.budget, reading, why);
        EXPECT_EQ(static_cast<int>(why.kind), static_cast<int>(row.refused)) << row.name;
        EXPECT_STREQ(why.name, row.member) << row.name;
        if (row.refused != CauseKind::none) {
            EXPECT_FALSE(read) << row.name;
            continue;
        }
        ASSERT_TRUE(read) << row.name;
        ASSERT_EQ(reading.entries.size(), 2U) << row.name;
        const LayoutEntry& entry = reading.entries[0];
        const LayoutEntry& other = reading.entries[1];
        ASSERT_TRUE(entry.listed) << row.name;
        EXPECT_EQ(recordsSize(entry, row.size), row.sizeRecorded) << row.name;
        EXPECT_FALSE(reading.listed.at(0)) << row.name;
        EXPECT_EQ(reading.listed.at(1), other.listed) << row.name;
        std::vector<DigitEdit> edits;
        addEntryEdits(entry, row.size, row.date, edits);
        if (other.listed) {
            addEntryEdits(other, kOtherSize, row.date, edits);
        }
        EXPECT_EQ(editedLayout(row.list, edits), row.expected) << row.name;
    }
}

}  // namespace
