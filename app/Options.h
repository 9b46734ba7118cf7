#pragma once

#include <vector>

#include "text/Text.h"

// What the command line asks for. Options may stand anywhere among the items; everything that is
// not an option is an item, a file or a folder to tidy.
struct Options {
    bool help = false;     // --help, -h, and on Windows /?, -?, /h, /help: usage, nothing touched
    bool version = false;  // --version: the name and version, nothing touched, no wait
    bool dryRun = false;   // --dry-run: everything but the writing
    bool backup = true;    // --no-backup turns the backup of each rewritten file off
    std::vector<Text> items;
    Text refused;  // the first argument that looks like an option but is none; empty when none
};

// `windowsStyle`: options are read in any letter case, "/?", "-?", "/h" and "/help" also ask for
// help, "/" followed by a letter is taken for an option (no Windows path starts so), and an item
// that ends in '"' ends in '\' instead: Windows splits a quoted folder's closing \" as an escaped
// quote, and no Windows path can hold a '"'.
Options readOptions(const std::vector<Text>& arguments, bool windowsStyle);

// The usage text for --help, lines ending in '\n'.
const char* usageText();
