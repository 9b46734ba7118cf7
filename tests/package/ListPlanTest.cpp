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

PackageFile fileOf(const char* entry, std::int64_t size, bool rewritten) {
    PackageFile file;
    file.entry = entry;
    file.state.size = size;
    file.state.lastWriteTicks = 7;
    file.state.rewritten = rewritten;
    return file;
}

// What the aircraft's folders `folders` hold: `files`, each of 1 byte and time 7 unless given,
// and `unread`, folders below them that could not be read whole; every other is.
struct DiskFile {
    const char* path;
    std::int64_t size = 1;
    std::int64_t ticks = 7;
};
PackageDisk diskOf(const std::vector<const char*>& folders, const std::vector<DiskFile>& files,
                   const std::vector<const char*>& unread = {}) {
    PackageDisk disk;
    for (const char* folder : folders) {
        disk.folders.emplace_back(folder);
        disk.places.push_back({Text(folder), true});
    }
    for (const DiskFile& file : files) {
        disk.files.push_back({Text(file.path), file.size, file.ticks});
    }
    for (const char* place : unread) {
        disk.places.push_back({Text(place), false});
    }
    return disk;
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
        {"a list true to its files is left as it is",
         R"({"content":[{"path":"A/aircraft.cfg","size":"0141","date":1},)"
         R"({"path":"A/texture/a.dds","size":1,"date":1}]})",
         {fileOf("A/aircraft.cfg", 141, false)},
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
        ASSERT_TRUE(planListEdit(row.list, row.files, {}, SIZE_MAX, plan, why)) << row.name;
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

// An entry as the rows write them: the path, a size of 1 and a time of 7.
std::string e(const char* path) {
    return std::string(R"({"path":")") + path + R"(","size":1,"date":7})";
}

// `ascii` as UTF-16 in little-endian order, after its byte-order mark.
std::string utf16le(const std::string& ascii) {
    std::string bytes = "\xFF\xFE";
    for (char c : ascii) {
        bytes += c;
        bytes += '\0';
    }
    return bytes;
}

// The list made whole for the aircraft's folders: each file it leaves out gets an entry in its
// neighbour's form where the list's own order puts it, entries of files that are gone from a folder
// read whole go with their commas, and every other byte stays.
TEST(ListPlan, MakesTheListWholeForTheAircraftsFolder) {
    const std::int64_t k2020 = 132444736000000000;  // 1600000000000 ms after 1970
    const struct {
        const char* name;
        std::string list;
        std::vector<PackageFile> files;
        PackageDisk disk;
        std::string edited;  // "" for none
        std::vector<ListFactKind> facts;
    } rows[] = {
        {"the files below the aircraft's folder that are not listed are added, in their order",
         R"({"content":[{"path":"A/aircraft.cfg","size":141,"date":1},)" + e("A/texture/b.dds") +
             "," + e("B/sim.cfg") + "]}",
         {fileOf("A/aircraft.cfg", 141, false)},
         diskOf({"A/"}, {{"A/aircraft.cfg", 141},
                         {"A/texture/a.dds"},
                         {"A/texture/b.dds"},
                         {"A/texture/c.dds"}}),
         R"({"content":[{"path":"A/aircraft.cfg","size":141,"date":1},)" + e("A/texture/a.dds") +
             "," + e("A/texture/b.dds") + "," + e("A/texture/c.dds") + "," + e("B/sim.cfg") + "]}",
         {K::added}},
        {"in each folder files before folders, by name in upper case",
         "{\"content\":[" + e("X/zz.cfg") + "," + e("X/texture/a.dds") + "]}",
         {},
         diskOf({"X/"}, {{"X/zz.cfg"}, {"X/texture/a.dds"}, {"X/yy.cfg"}}),
         "{\"content\":[" + e("X/yy.cfg") + "," + e("X/zz.cfg") + "," + e("X/texture/a.dds") + "]}",
         {K::added}},
        {"the whole path in lower case",
         "{\"content\":[" + e("X/_a.dds") + "," + e("X/B.dds") + "]}",
         {},
         diskOf({"X/"}, {{"X/_a.dds"}, {"X/B.dds"}, {"X/a.dds"}}),
         "{\"content\":[" + e("X/_a.dds") + "," + e("X/a.dds") + "," + e("X/B.dds") + "]}",
         {K::added}},
        {"the whole path byte by byte",
         "{\"content\":[" + e("X/B.dds") + "," + e("X/_a.dds") + "," + e("X/a/x.dds") + "," +
             e("X/b.dds") + "]}",
         {},
         diskOf({"X/"}, {{"X/B.dds"}, {"X/_a.dds"}, {"X/a/x.dds"}, {"X/b.dds"}, {"X/Z.dds"}}),
         "{\"content\":[" + e("X/B.dds") + "," + e("X/Z.dds") + "," + e("X/_a.dds") + "," +
             e("X/a/x.dds") + "," + e("X/b.dds") + "]}",
         {K::added}},
        {"no order: after the last of its folder, else of the folder above, else at the end",
         "{\"content\":[" + e("X/b.dds") + "," + e("X/a.dds") + "," + e("Y/a.dds") + "]}",
         {},
         diskOf({"X/", "Y/"}, {{"X/b.dds"}, {"X/a.dds"}, {"Y/a.dds"}, {"X/c.dds"}, {"X/t/n.dds"}}),
         "{\"content\":[" + e("X/b.dds") + "," + e("X/a.dds") + "," + e("X/c.dds") + "," +
             e("X/t/n.dds") + "," + e("Y/a.dds") + "]}",
         {K::added}},
        {"a new entry copies its neighbour's form: line ends, indents, order, quotes",
         "{\r\n  \"content\": [\r\n    { \"date\": \"3\", \"path\": \"X/a.dds\", \"size\": "
         "\"1\" }\r\n  ]\r\n}",
         {},
         diskOf({"X/"}, {{"X/a.dds"}, {"X/b \"q\".dds", 25, 9}}),
         "{\r\n  \"content\": [\r\n    { \"date\": \"3\", \"path\": \"X/a.dds\", \"size\": "
         "\"1\" },\r\n    { \"date\": \"9\", \"path\": \"X/b \\\"q\\\".dds\", \"size\": \"25\" "
         "}\r\n  ]\r\n}",
         {K::added}},
        {"13-digit dates are milliseconds since 1970, for new entries and the file's own",
         R"({"content":[{"path":"X/aircraft.cfg","size":1,"date":1500000000000}]})",
         {fileOf("X/aircraft.cfg", 2, true)},
         diskOf({"X/"}, {{"X/aircraft.cfg", 2}, {"X/b.dds", 3, k2020}}),
         R"({"content":[{"path":"X/aircraft.cfg","size":2,"date":0},)"
         R"({"path":"X/b.dds","size":3,"date":1600000000000}]})",
         {K::added, K::rewrittenEntry}},
        {"entries of a folder that is gone go, each with its comma; a folder not read keeps its",
         "{\"content\":[" + e("X/gone.dds") + "," + e("X/aircraft.cfg") + "," +
             e("X/texture.OLD/a.dds") + "," + e("X/texture.OLD/b.dds") + "," +
             e("X/texture.U/a.dds") + "," + e("Y/other.dds") + "]}",
         {},
         diskOf({"X/"}, {{"X/aircraft.cfg"}}, {"X/texture.U/"}),
         "{\"content\":[" + e("X/aircraft.cfg") + "," + e("X/texture.U/a.dds") + "," +
             e("Y/other.dds") + "]}",
         {K::removedGone}},
        {"what is never listed is neither added nor told; a name not UTF-8 is told",
         "{\"content\":[" + e("X/aircraft.cfg") + "]}",
         {},
         diskOf({"X/"}, {{"X/aircraft.cfg"},
                         {"X/aircraft.cfg.BAK"},
                         {"X/.git/config"},
                         {"X/Thumbs.db"},
                         {"X/desktop.ini"},
                         {"X/tool.EXE"},
                         {"X/notes~"},
                         {"X/layout.json"},
                         {"X/\xE9t\xE9.dds"}}),
         "",
         {K::notUtf8}},
        {"a list with no entry to copy gets none",
         R"({"content":[]})",
         {},
         diskOf({"X/"}, {{"X/a.dds"}}),
         "",
         {K::unlistedBeside}},
        {"a name the list spells in other letter case, accented letters too, is the same file",
         "{\"content\":[" +
             e("X/\xC3\x89"
               "cureuil/a.dds") +
             "]}",
         {},
         diskOf({"X/"}, {{"X/\xC3\xA9"
                          "cureuil/a.dds"}}),
         "",
         {}},
        {"a run's own file that a list with no entry to copy leaves out is told of once",
         R"({"content":[]})",
         {fileOf("X/aircraft.cfg", 1, false)},
         diskOf({"X/"}, {{"X/aircraft.cfg"}}),
         "",
         {K::notListed}},
        {"an entry that holds more than path, size and date is no model for a new one",
         R"({"content":[{"path":"X/a.dds","size":1,"date":7,"hash":"5f"}]})",
         {},
         diskOf({"X/"}, {{"X/a.dds"}, {"X/b.dds"}}),
         "",
         {K::unlistedBeside}},
        {"a stale size of another file in the folder is set too",
         "{\"content\":[" + e("X/a.dds") + "]}",
         {},
         diskOf({"X/"}, {{"X/a.dds", 4, 8}}),
         R"({"content":[{"path":"X/a.dds","size":4,"date":8}]})",
         {K::staleEntry}},
        {"a UTF-16 list is edited as UTF-8 and stays UTF-16",
         utf16le("{\"content\":[" + e("X/a.dds") + "]}"),
         {},
         diskOf({"X/"}, {{"X/a.dds"}, {"X/b.dds"}}),
         utf16le("{\"content\":[" + e("X/a.dds") + "," + e("X/b.dds") + "]}"),
         {K::added}},
    };
    for (const auto& row : rows) {
        ListPlan plan;
        Cause why;
        ASSERT_TRUE(planListEdit(row.list, row.files, row.disk, SIZE_MAX, plan, why)) << row.name;
        EXPECT_EQ(plan.edited.value_or(""), row.edited) << row.name;
        EXPECT_EQ(kindsOf(plan.facts), row.facts) << row.name;
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
                              {}, SIZE_MAX, plan, why));
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
