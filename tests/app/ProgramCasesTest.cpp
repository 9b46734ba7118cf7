// Whole-program cases: each folder under tests/cases holds an aircraft.cfg (none for a missing
// file) and either expected.cfg, the file after a successful run, or expected.stderr, the error
// line of a run that must fail and leave the file exactly as it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/app/Console.h"
#include "tests/support/Platform.h"
#include "tests/support/RunProgram.h"
#include "tests/support/TempFolder.h"

namespace fs = std::filesystem;

namespace {

std::vector<fs::path> caseFolders() {
    std::vector<fs::path> folders;
    for (const auto& entry : fs::directory_iterator(CASES_DIR)) {
        if (entry.is_directory()) {
            folders.push_back(entry.path());
        }
    }
    std::sort(folders.begin(), folders.end());
    return folders;
}

std::string testName(const testing::TestParamInfo<fs::path>& info) {
    std::string name = info.param.filename().string();
    std::replace_if(
        name.begin(), name.end(), [](char c) { return !std::isalnum(c); }, '_');
    return name;
}

// The system's reason at the end of a "cannot ..." line is in the system's words, which on
// Windows depend on its language (and Wine has its own): there only the program's part counts.
std::string systemReasonLeftOut(const std::string& line) {
    const std::size_t reason = line.find(": ", line.find(": cannot ") + 2);
    if (kPosix || line.find(": cannot ") == std::string::npos || reason == std::string::npos) {
        return line;
    }
    return line.substr(0, reason + 2);
}

class ProgramCase : public testing::TestWithParam<fs::path> {};

TEST_P(ProgramCase, LeavesTheExpectedFileAndSaysSo) {
    const fs::path& source = GetParam();
    const bool hasInput = fs::exists(source / "aircraft.cfg");
    const bool succeeds = fs::exists(source / "expected.cfg");
    ASSERT_NE(succeeds, fs::exists(source / "expected.stderr"))
        << "a case needs either expected.cfg or expected.stderr";

    TempFolder work;
    if (hasInput) {
        fs::copy_file(source / "aircraft.cfg", work / "aircraft.cfg");
    }
    const RunResult run = runCfgrenum(work.path());
    const std::vector<std::string> leftInFolder = filesIn(work.path());

    if (succeeds) {
        const std::string expected = readBytes(source / "expected.cfg");
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.out, consoleText(kSuccessLine) + consoleText(kPromptLine));
        EXPECT_EQ(run.err, "");
        EXPECT_EQ(readBytes(work / "aircraft.cfg"), expected);

        const RunResult again = runCfgrenum(work.path());
        EXPECT_EQ(again.status, 0);
        EXPECT_EQ(readBytes(work / "aircraft.cfg"), expected) << "a second run changed the file";
    } else {
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.out, consoleText(kFailureLine) + consoleText(kPromptLine));
        EXPECT_EQ(systemReasonLeftOut(run.err),
                  systemReasonLeftOut(consoleText(readBytes(source / "expected.stderr"))));
        if (hasInput) {
            EXPECT_EQ(readBytes(work / "aircraft.cfg"), readBytes(source / "aircraft.cfg"));
        }
    }
    EXPECT_EQ(leftInFolder,
              hasInput ? std::vector<std::string>{"aircraft.cfg"} : std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(Cases, ProgramCase, testing::ValuesIn(caseFolders()), testName);

}  // namespace
