// The plan of a package's list edit, from the list's bytes and the run's files: which entries it
// sets and what it tells, file by file, with what the list leaves out told before what the edit
// sets; and the climb from a file to its package, each folder asked once.
#include "package/ListPlan.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "package/Discovery.h"

namespace {

std::vector<ListFactKind> kindsOf(const std::vector<ListFact>& facts) {
    std::vector<ListFactKind> kinds;
    kinds.reserve(facts.size());
    for (const ListFact& fact : facts) {
        kinds.push_back(fact.kind);
    }
    return kinds;
}

PackageFile fileOf(const char* entry, std::int64_t size, bool rewritten,
                   std::vector<Text> beside = {}) {
    PackageFile file;
    file.entry = entry;
    file.state.size = size;
    file.state.lastWriteTicks = 7;
    file.state.rewritten = rewritten;
    file.beside = std::move(beside);
    return file;
}

using K = ListFactKind;
const char* const kNoEdit = nullptr;

TEST(ListPlan, SetsWhatIsStaleAndTellsWhatIsLeftOut) {
    const struct {
        const char* name;
        std::string list;
        std::vector<PackageFile> files;
        const char* edited;  // or kNoEdit
        std::vector<ListFactKind> facts;
        std::vector<Text> unlisted;  // the names of an unlistedBeside fact
    } rows[] = {
        {"a stale size of a file not rewritten is set, with the time",
         R"({"content":[{"path":"A/aircraft.cfg","size":130,"date":1}]})",
         {fileOf("A/aircraft.cfg", 141, false)},
         R"({"content":[{"path":"A/aircraft.cfg","size":141,"date":7}]})",
         {K::staleEntry},
         {}},
        {"a rewritten file's entry is set even where its size was right",
         R"({"content":[{"path":"A/aircraft.cfg","size":141,"date":1}]})",
         {fileOf("A/aircraft.cfg", 141, true)},
         R"({"content":[{"path":"A/aircraft.cfg","size":141,"date":7}]})",
         {K::rewrittenEntry},
         {}},
        {"a file that is not listed is told, and nothing edited",
         R"({"content":[{"path":"B/aircraft.cfg","size":1,"date":1}]})",
         {fileOf("A/aircraft.cfg", 141, true)},
         kNoEdit,
         {K::notListed},
         {}},
        {"the files beside each file that are not listed are told, in their order",
         R"({"content":[{"path":"A/aircraft.cfg","size":141,"date":1},)"
         R"({"path":"A/texture/b.dds","size":1,"date":1},)"
         R"({"path":"B/sim.cfg","size":9,"date":1},{"path":"B/d.dds","size":1,"date":1}]})",
         {fileOf("A/aircraft.cfg", 141, false,
                 {Text("A/texture/a.dds"), Text("A/texture/b.dds"), Text("A/texture/c.dds")}),
          fileOf("B/sim.cfg", 9, false, {Text("B/d.dds")})},
         kNoEdit,
         {K::unlistedBeside},
         {Text("A/texture/a.dds"), Text("A/texture/c.dds")}},
        {"a list true to its files is left as it is",
         R"({"content":[{"path":"A/aircraft.cfg","size":"0141","date":1},)"
         R"({"path":"A/texture/a.dds","size":1,"date":1}]})",
         {fileOf("A/aircraft.cfg", 141, false, {Text("A/texture/a.dds")})},
         kNoEdit,
         {},
         {}},
        {"what a list leaves out comes before what the edit sets",
         R"({"content":[{"path":"A/aircraft.cfg","size":130,"date":1}]})",
         {fileOf("A/aircraft.cfg", 141, false), fileOf("B/sim.cfg", 9, true)},
         R"({"content":[{"path":"A/aircraft.cfg","size":141,"date":7}]})",
         {K::notListed, K::staleEntry},
         {}},
    };
    for (const auto& row : rows) {
        ListPlan plan;
        Cause why;
        ASSERT_TRUE(planListEdit(row.list, row.files, SIZE_MAX, plan, why)) << row.name;
        EXPECT_EQ(plan.edited.has_value(), row.edited != kNoEdit) << row.name;
        if (plan.edited && row.edited != kNoEdit) {
            EXPECT_EQ(*plan.edited, row.edited) << row.name;
        }
        EXPECT_EQ(kindsOf(plan.facts), row.facts) << row.name;
        for (const ListFact& fact : plan.facts) {
            if (fact.kind == K::unlistedBeside) {
                EXPECT_EQ(fact.names, row.unlisted) << row.name;
            }
        }
    }
}

// A list that cannot be edited safely leaves each rewritten file at its old size, and says once
// for the others that what it leaves out cannot be told.
TEST(ListPlan, ARefusedListKeepsEveryEntry) {
    ListPlan plan;
    Cause why;
    EXPECT_FALSE(planListEdit(R"({"content":[)",
                              {fileOf("A/aircraft.cfg", 1, false), fileOf("B/sim.cfg", 2, true),
                               fileOf("C/sim.cfg", 3, false)},
                              SIZE_MAX, plan, why));
    EXPECT_EQ(why.kind, CauseKind::jsonValueExpected);
    EXPECT_FALSE(plan.edited.has_value());
    EXPECT_EQ(kindsOf(plan.facts), (std::vector<ListFactKind>{K::unchecked, K::keptOldSize}));
}

bool isSlash(char c) {
    return c == '/';
}

// The nearest package folder counts, a folder shared by several files is asked about once, and
// none is looked for past kMostPackageLevels folders above the file.
TEST(Discovery, FindsTheNearestPackageAskingEachFolderOnce) {
    std::map<std::string, int> asked;
    const auto isPackage = [&asked](const Text& folder) {
        ++asked[folder.c_str()];
        const std::string name = folder.c_str();
        return name == "/P/" || name == "/P/Q/";
    };
    const Discovery found = discoverPackages(
        {Text("/P/Q/A/aircraft.cfg"), Text("/P/B/sim.cfg"), Text("/P/Q/C/aircraft.cfg"),
         Text("/P/1/2/3/4/5/6/7/8/9/aircraft.cfg"), Text("/loose/aircraft.cfg")},
        isSlash, isPackage);
    ASSERT_EQ(found.packages.size(), 2U);
    EXPECT_STREQ(found.packages[0].root.c_str(), "/P/Q/");
    EXPECT_EQ(found.packages[0].lastFile, 2U);
    EXPECT_STREQ(found.packages[1].root.c_str(), "/P/");
    EXPECT_EQ(found.packages[1].lastFile, 1U);
    ASSERT_EQ(found.files.size(), 5U);
    EXPECT_STREQ(found.files[0].entry.c_str(), "A/aircraft.cfg");
    EXPECT_STREQ(found.files[0].folder.c_str(), "/P/Q/A/");
    EXPECT_STREQ(found.files[1].entry.c_str(), "B/sim.cfg");
    EXPECT_EQ(found.files[3].package, -1);  // its package is nine folders above its own
    EXPECT_EQ(found.files[4].package, -1);
    for (const auto& folder : asked) {
        EXPECT_EQ(folder.second, 1) << folder.first;
    }
}

}  // namespace
