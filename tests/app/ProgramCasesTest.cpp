// Whole-program cases. Each folder under tests/cases holds the files the program starts with (an
// aircraft.cfg or a sim.cfg, perhaps in a folder of their own, texture.* folders beside it), and:
// - expected.stderr: what the program says on standard error, <dir> standing for the folder of
//   the file it works on, as the program shows it;
// - expected.cfg: the file it works on, after a successful run. Without it the run must fail;
// - argument (optional): a path in the case's folder, given to the program as its one argument,
//   as when a file or folder is dropped on it (one a line: several are dropped at once). The
//   program then starts in an empty folder;
// - read-only (optional): paths in the case's folder, one a line, made read-only for the run;
// - expected-layout.json (optional): the package's layout.json at the case's top after the run,
//   <date> standing for the time of last change of the file worked on, as layout.json records it,
//   and <date:PATH> for that of the file PATH.
// - expected-files (optional): for a run over several files, each file as it must come out, at its
//   path in the case's folder; the run must succeed unless the totals line of expected.stderr
//   counts a file refused. Its lines in expected.stderr name files by
//   <root> and '/', which stands for the platform's separator up to the next ':'; a path named
//   from the folder the run is over starts with <in>, which stands for nothing. A layout.json
//   there is a package's list, <date:PATH> standing for the time of last change of the file PATH.
// In expected.stderr, <root> stands for the case's folder.
// Every file but the one worked on must come out as it went in, and nothing may be added but the
// backup of a rewritten file, which must hold its old content.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "tests/app/Console.h"
#include "tests/support/Platform.h"
#include "tests/support/RunProgram.h"
#include "tests/support/TempFolder.h"

namespace fs = std::filesystem;

namespace {

const char* const kCaseFiles[] = {"expected.cfg", "expected.stderr",      "argument",
                                  "read-only",    "expected-layout.json", "expected-files"};

// `text` with every `placeholder` replaced by `value`.
std::string replaced(std::string text, const std::string& placeholder, const std::string& value) {
    for (std::size_t at = text.find(placeholder); at != std::string::npos;
         at = text.find(placeholder, at + value.size())) {
        text.replace(at, placeholder.size(), value);
    }
    return text;
}

// The paths in the case's folder that the case's file `name` lists, one a line.
std::vector<fs::path> pathsListedIn(const fs::path& source, const fs::path& work,
                                    const char* name) {
    std::vector<fs::path> paths;
    if (fs::exists(source / name)) {
        const std::string lines = readBytes(source / name);
        for (std::size_t at = 0; at < lines.size();) {
            const std::size_t end = std::min(lines.find('\n', at), lines.size());
            if (end > at) {
                paths.push_back(work / fs::u8path(lines.substr(at, end - at)));
            }
            at = end + 1;
        }
    }
    return paths;
}

void setWritable(const std::vector<fs::path>& paths, bool writable) {
    for (const fs::path& path : paths) {
        // On Windows this sets or clears the read-only attribute.
        fs::permissions(path, fs::perms::owner_write,
                        writable ? fs::perm_options::add : fs::perm_options::remove);
    }
}

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

// Every file and folder under `root` by its path relative to `root`, with a file's bytes.
std::map<std::string, std::string> contentsOf(const fs::path& root) {
    std::map<std::string, std::string> contents;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        const std::string name = fs::relative(entry.path(), root).generic_u8string();
        contents[name] = entry.is_regular_file() ? readBytes(entry.path()) : "<folder>";
    }
    return contents;
}

// The file the program is expected to work on: the one dropped on it, or aircraft.cfg in the
// folder, or sim.cfg where there is no aircraft.cfg.
fs::path targetIn(const fs::path& base) {
    if (fs::is_regular_file(base)) {
        return base;
    }
    return fs::exists(base / "aircraft.cfg") || !fs::exists(base / "sim.cfg")
               ? base / "aircraft.cfg"
               : base / "sim.cfg";
}

// The system's reason at the end of a "cannot ..." line is in the system's words, which on
// Windows depend on its language (and Wine has its own): there only the program's part counts.
std::string systemReasonLeftOut(const std::string& text) {
    const std::size_t cannot = text.find(": cannot ");
    const std::size_t reason =
        cannot == std::string::npos ? std::string::npos : text.find(": ", cannot + 2);
    if (kPosix || reason == std::string::npos) {
        return text;
    }
    return text.substr(0, reason + 2);
}

// The paths that start at <root>, up to the next ':' (or the line's end), with the platform's
// separator; a package's paths, which are written with '/' everywhere, stay as they are.
std::string withPlatformSeparators(std::string text) {
    for (const char* start : {"<root>", "<in>"}) {
        for (std::size_t at = text.find(start); !kPosix && at != std::string::npos;
             at = text.find(start, at + 1)) {
            for (std::size_t c = at; c < text.size() && text[c] != ':' && text[c] != '\n'; ++c) {
                text[c] = text[c] == '/' ? '\\' : text[c];
            }
        }
    }
    return replaced(text, "<in>", "");
}

// A package's list as it must come out, with each <date:PATH> filled in from `folder`.
std::string withDates(std::string text, const fs::path& folder) {
    for (std::size_t at = text.find("<date:"); at != std::string::npos; at = text.find("<date:")) {
        const std::size_t end = text.find('>', at);
        const fs::path file = folder / fs::u8path(text.substr(at + 6, end - at - 6));
        text.replace(at, end + 1 - at, std::to_string(lastWriteTicks(file)));
    }
    return text;
}

class ProgramCase : public testing::TestWithParam<fs::path> {};

TEST_P(ProgramCase, LeavesTheExpectedFilesAndSaysSo) {
    const fs::path& source = GetParam();
    const bool several = fs::exists(source / "expected-files");
    ASSERT_TRUE(fs::exists(source / "expected.stderr")) << "a case needs expected.stderr";
    std::string expectedErr = readBytes(source / "expected.stderr");
    const bool succeeds = several ? expectedErr.find(", 0 refused") != std::string::npos
                                  : fs::exists(source / "expected.cfg");

    TempFolder work;
    fs::copy(source, work.path(), fs::copy_options::recursive);
    for (const char* name : kCaseFiles) {
        fs::remove_all(work / name);
    }
    const auto before = contentsOf(work.path());
    TempFolder home;  // where a program that a file is dropped on starts
    RunOptions options;
    fs::path base = work.path();
    for (const fs::path& argument : pathsListedIn(source, work.path(), "argument")) {
        base = options.arguments.empty() ? argument : base;
        options.arguments.push_back(shownPath(argument));
    }
    const fs::path target = targetIn(base);
    const fs::path startIn = options.arguments.empty() ? work.path() : home.path();
    const std::vector<fs::path> readOnly = pathsListedIn(source, work.path(), "read-only");
    setWritable(readOnly, false);
    const RunResult run = runCfgrenum(startIn, options);
    setWritable(readOnly, true);

    EXPECT_EQ(run.status, succeeds ? 0 : 1);
    EXPECT_EQ(run.out,
              consoleText(succeeds ? kSuccessLine : kFailureLine) + consoleText(kPromptLine));
    if (several) {
        expectedErr = withPlatformSeparators(expectedErr);
    }
    // "<root>:" is the case's folder itself, named as any folder is, without a closing separator.
    expectedErr = replaced(expectedErr, "<root>:", shownPath(work.path()) + ":");
    expectedErr = replaced(expectedErr, "<root>", shownPath(work / ""));
    EXPECT_EQ(systemReasonLeftOut(run.err),
              systemReasonLeftOut(consoleText(inFolder(expectedErr, target.parent_path()))));
    auto after = contentsOf(work.path());
    // A rewritten file leaves its old content beside it, exactly as it was.
    auto expectRewritten = [&](const std::string& worked, const std::string& expected) {
        EXPECT_EQ(after[worked], expected) << worked;
        const std::string old = before.count(worked) != 0 ? before.at(worked) : "";
        if (after[worked] != old) {
            EXPECT_EQ(after[worked + ".bak"], old) << "the backup is not the old content";
            after.erase(worked + ".bak");
        }
        after[worked] = old;
    };
    if (several) {
        const fs::path expected = source / "expected-files";
        for (const auto& entry : fs::recursive_directory_iterator(expected)) {
            const std::string worked = fs::relative(entry.path(), expected).generic_u8string();
            if (entry.path().filename() == "layout.json") {
                EXPECT_EQ(after[worked], withDates(readBytes(entry.path()), work.path()));
                after[worked] = before.at(worked);
            } else if (entry.is_regular_file()) {
                expectRewritten(worked, readBytes(entry.path()));
            }
        }
        EXPECT_EQ(after, before) << "another file changed, or one was added or removed";
        return;
    }
    const std::string worked = fs::relative(target, work.path()).generic_u8string();
    if (succeeds) {
        expectRewritten(worked, readBytes(source / "expected.cfg"));
    }
    if (fs::exists(source / "expected-layout.json")) {
        EXPECT_EQ(after["layout.json"],
                  withDates(replaced(readBytes(source / "expected-layout.json"), "<date>",
                                     std::to_string(lastWriteTicks(target))),
                            work.path()));
        after["layout.json"] = before.at("layout.json");
    }
    EXPECT_EQ(after, before) << "another file changed, or one was added or removed";
    EXPECT_TRUE(fs::is_empty(home.path()));

    if (succeeds) {
        // A tidy file is left alone: not even its time of last change moves.
        const auto past = fs::last_write_time(target) - std::chrono::hours(24);
        fs::last_write_time(target, past);
        const RunResult again = runCfgrenum(startIn, options);
        EXPECT_EQ(again.status, 0);
        EXPECT_EQ(readBytes(target), readBytes(source / "expected.cfg"));
        EXPECT_EQ(fs::last_write_time(target), past) << "a second run rewrote the file";
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, ProgramCase, testing::ValuesIn(caseFolders()), testName);

}  // namespace
