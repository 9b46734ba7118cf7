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

}  // namespace
