// How the command line is read: what is an option, and which mistake is named when the program
// refuses to run.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/Options.h"

namespace {

TEST(Options, NamesTheFirstUnknownOptionAndTakesALoneDashForAnItem) {
    const struct {
        std::vector<const char*> arguments;
        const char* refused;
        std::vector<std::string> items;
    } rows[] = {
        // The user mends the line from its start: the first mistake is the one to name.
        {{"-x", "aircraft.cfg", "--y"}, "-x", {"aircraft.cfg"}},
        // A file or folder may be named "-": it is dropped like any other.
        {{"-", "--dry-run"}, "", {"-"}},
        // An empty argument is an item, refused later by name; reading it reads nothing past it.
        {{"", "/"}, "", {"", "/"}},
    };
    for (const auto& row : rows) {
        std::vector<Text> arguments;
        for (const char* argument : row.arguments) {
            arguments.emplace_back(argument);
        }
        for (const bool windowsStyle : {false, true}) {
            const Options options = readOptions(arguments, windowsStyle);
            std::vector<std::string> items;
            for (const Text& item : options.items) {
                items.emplace_back(item.c_str());
            }
            EXPECT_STREQ(options.refused.c_str(), row.refused) << row.arguments[0];
            EXPECT_EQ(items, row.items) << row.arguments[0];
        }
    }
}

// What one argument read alone comes to.
std::string readAlone(const char* argument, bool windowsStyle) {
    const Options options = readOptions({Text(argument)}, windowsStyle);
    if (!options.refused.empty()) {
        return "refused";
    }
    if (!options.items.empty()) {
        return "item";
    }
    return options.help      ? "help"
           : options.version ? "version"
           : options.dryRun  ? "dry run"
           : !options.backup ? "no backup"
                             : "nothing";
}

TEST(Options, WindowsTakesOptionsInAnyCaseAndItsOwnWaysOfAskingForHelp) {
    const struct {
        const char* argument;
        const char* onWindows;
        const char* onPosix;
    } rows[] = {
        {"--help", "help", "help"},
        {"--HELP", "help", "refused"},
        {"-H", "help", "refused"},
        {"/?", "help", "item"},
        {"-?", "help", "refused"},
        {"/h", "help", "item"},
        {"/H", "help", "item"},
        {"/help", "help", "item"},
        {"/Help", "help", "item"},
        {"--Version", "version", "refused"},
        {"--Dry-Run", "dry run", "refused"},
        {"--NO-BACKUP", "no backup", "refused"},
        // Case is forgiven, spelling is not: a near miss is still named.
        {"--dryrun", "refused", "refused"},
        {"/helpme", "refused", "item"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(readAlone(row.argument, true), row.onWindows) << row.argument;
        EXPECT_EQ(readAlone(row.argument, false), row.onPosix) << row.argument;
    }
}

}  // namespace
