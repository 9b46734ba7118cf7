#include "checks/RunChecks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "sections/SectionFile.h"
#include "tests/checks/SectionsOf.h"

namespace {

// A file's warnings, as the budget takes them: a file's check may keep as many as forFile() says,
// the budget shows no more than the run has room for, and counts the rest.
TEST(WarningBudget, ShowsUpToTheCapsAndCountsTheRest) {
    const struct {
        std::size_t files;
        std::size_t shownBefore;  // by the run's earlier files
        std::size_t found;        // of this file's own warnings
        std::size_t shown;
    } rows[] = {
        {1, 0, 7, 7},         // all shown
        {1, 0, 150, 100},     // a file's own cap
        {1, 1000, 150, 100},  // a single file has no run cap
        {3, 0, 150, 100},     // a file's own cap in a run
        {3, 250, 80, 50},     // the run's cap
        {3, 300, 5, 0},       // the run's cap reached
    };
    for (const auto& row : rows) {
        WarningBudget budget(row.files);
        for (std::size_t i = 0; i < row.shownBefore; ++i) {
            budget.showOne();
        }
        EXPECT_EQ(std::min(row.found, budget.forFile()), row.shown)
            << row.files << " " << row.shownBefore;
        // A check that kept more than the run has room for, as one that knows only its own cap.
        EntryWarnings warnings;
        warnings.total = row.found;
        warnings.shown.resize(std::min(row.found, WarningBudget::kMostInAFile));
        budget.show(warnings);
        EXPECT_EQ(warnings.shown.size(), row.shown) << row.files << " " << row.shownBefore;
        EXPECT_EQ(budget.takeHidden(), row.found - row.shown)
            << row.files << " " << row.shownBefore;
        EXPECT_EQ(budget.takeHidden(), 0u) << "each count is given once";
        EXPECT_EQ(budget.full(), row.files > 1 && row.shownBefore + row.shown == 300);
    }
}

// The sections of a file, loaded as the program loads them, and freed with the holder.
struct Loaded {
    SectionList list;
    explicit Loaded(const char* file) : list(sectionsOf(file)) {}
    ~Loaded() { releaseSections(list); }
    Loaded(const Loaded&) = delete;
    Loaded& operator=(const Loaded&) = delete;
};

const TitleAllowance kAmple = [](std::int64_t) { return std::int64_t{1} << 30; };

std::vector<std::string> titleLines(RunTitles& titles, const char* file, const char* content,
                                    WarningBudget& budget, const TitleAllowance& allowance = kAmple,
                                    const PlaceInPackage& place = {}) {
    const Loaded loaded(content);
    std::vector<Text> lines;
    titles.warnOfTitlesInOtherFiles(file, loaded.list, budget, allowance, lines, place);
    std::vector<std::string> got;
    got.reserve(lines.size());
    for (const Text& line : lines) {
        got.emplace_back(line.c_str());
    }
    return got;
}

const char* const kLike =
    ", so the simulator shows only one of them; give one of them a title of "
    "its own";

// A title is named with the file that had it first, in any letter case; a file's own repeats are
// its own check's, and a section that is no entry has no title the simulator lists.
TEST(RunTitles, WarnOfATitleAnEarlierFileHas) {
    RunTitles titles;
    WarningBudget budget(3);
    EXPECT_EQ(titleLines(titles, "A",
                         "[general]\ntitle=Gen\n[fltsim.0]\ntitle=Club\n"
                         "[fltsim.1]\ntitle=CLUB\n",
                         budget),
              std::vector<std::string>{});
    EXPECT_EQ(titleLines(titles, "B", "[fltsim.0]\ntitle=gen\n[fltsim.1]\ntitle=club\n", budget),
              std::vector<std::string>{"B: [fltsim.1] has the title \"club\", as [fltsim.0] in A "
                                       "has" +
                                       std::string(kLike)});
    EXPECT_EQ(
        titleLines(titles, "C", "[fltsim.4]\ntitle=Gen\n[fltsim.5]\ntitle=Club\n", budget),
        (std::vector<std::string>{
            "C: [fltsim.4] has the title \"Gen\", as [fltsim.0] in B has" + std::string(kLike),
            "C: [fltsim.5] has the title \"Club\", as [fltsim.0] in A has" + std::string(kLike)}));
}

// Two packages with a file at one path (in any letter case) replace one another: one line names
// both, and their titles are not compared with each other, but still with other files'. The same
// package met twice is the same file.
TEST(RunTitles, TwoPackagesAtOnePathAreOneLineNotTitleClashes) {
    RunTitles titles;
    WarningBudget budget(4);
    const char* const file = "[fltsim.0]\ntitle=Club\n[fltsim.1]\ntitle=Own\n";
    const TitleAllowance& ample = kAmple;
    EXPECT_EQ(titleLines(titles, "P/a.cfg", file, budget, ample, {"P", "SimObjects/A/a.cfg"}),
              std::vector<std::string>{});
    EXPECT_EQ(titleLines(titles, "Q/a.cfg", file, budget, ample, {"Q", "simobjects/a/A.CFG"}),
              std::vector<std::string>{"Q/a.cfg: the file simobjects/a/A.CFG is in two packages, "
                                       "Q and P, so the simulator loads only one of them; remove "
                                       "one of the packages"});
    EXPECT_EQ(titleLines(titles, "P/b.cfg", file, budget, ample, {"P", "SimObjects/A/a.cfg"}),
              std::vector<std::string>{});
    EXPECT_EQ(titleLines(titles, "R/a.cfg", "[fltsim.0]\ntitle=own\n", budget, ample,
                         {"R", "SimObjects/B/a.cfg"}),
              std::vector<std::string>{"R/a.cfg: [fltsim.0] has the title \"own\", as [fltsim.1] "
                                       "in P/a.cfg has" +
                                       std::string(kLike)});
}

// Past the run's cap such warnings are counted, in a line of their own after those shown.
TEST(RunTitles, PastTheCapAreCounted) {
    RunTitles titles;
    WarningBudget budget(2);
    for (int i = 0; i < 299; ++i) {
        budget.showOne();
    }
    const char* const file = "[fltsim.0]\ntitle=X\n[fltsim.1]\ntitle=Y\n[fltsim.2]\ntitle=Z\n";
    EXPECT_EQ(titleLines(titles, "A", file, budget), std::vector<std::string>{});
    // A section that is no aircraft entry is not counted, even with a title another file has.
    const std::string withGeneral = std::string(file) + "[general]\ntitle=Y\n";
    EXPECT_EQ(titleLines(titles, "B", withGeneral.c_str(), budget),
              (std::vector<std::string>{
                  "B: [fltsim.0] has the title \"X\", as [fltsim.0] in A has" + std::string(kLike),
                  "B: and 2 more warnings like these"}));
    // As is the line for two packages with a file at one path.
    EXPECT_EQ(
        titleLines(titles, "P/a.cfg", "[fltsim.0]\ntitle=P\n", budget, kAmple, {"P", "a.cfg"}),
        std::vector<std::string>{});
    EXPECT_EQ(
        titleLines(titles, "Q/a.cfg", "[fltsim.0]\ntitle=P\n", budget, kAmple, {"Q", "a.cfg"}),
        std::vector<std::string>{"Q/a.cfg: and 1 more warning like these"});
}

// A table that would pass its allowance is given up, once, and its memory given back: later files
// are not compared.
TEST(RunTitles, GiveUpWhenTheTableWouldNotFit) {
    RunTitles titles;
    WarningBudget budget(3);
    std::vector<std::int64_t> asked;
    const TitleAllowance allowance = [&asked](std::int64_t bytes) {
        asked.push_back(bytes);
        return std::int64_t{200};
    };
    const char* const file = "[fltsim.0]\ntitle=X\n[fltsim.1]\ntitle=Y\n";
    EXPECT_EQ(titleLines(titles, "A", file, budget, allowance),
              std::vector<std::string>{
                  "A: too little memory is left to compare the titles of more files, so from this "
                  "file on, titles that two files share are not warned of"});
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_GT(asked[1], asked[0]) << "asked for what the table would hold with the new title";
    EXPECT_LE(asked[0], 200);
    EXPECT_GT(asked[1], 200);
    EXPECT_TRUE(titles.leftOut());
    EXPECT_EQ(titles.size(), 0u);
    EXPECT_EQ(titles.bytes(), 0);
    EXPECT_EQ(titleLines(titles, "B", file, budget, allowance), std::vector<std::string>{});
    EXPECT_EQ(asked.size(), 2u);
}

}  // namespace
