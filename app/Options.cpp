#include "app/Options.h"

#include <cstring>

#include "text/AsciiCase.h"

namespace {

// Windows users type options in whatever case their own tools take (`/HELP`, `--Dry-Run`), and
// Windows commands take them all; POSIX tools tell `-h` from `-H`, so there the case is exact.
bool is(const Text& argument, const char* option, bool windowsStyle) {
    return windowsStyle ? sameIgnoringAsciiCase(argument.c_str(), option)
                        : std::strcmp(argument.c_str(), option) == 0;
}

// The ways a Windows user asks a console program for help: the Windows forms beside our own.
bool asksForHelp(const Text& argument, bool windowsStyle) {
    if (is(argument, "--help", windowsStyle) || is(argument, "-h", windowsStyle)) {
        return true;
    }
    return windowsStyle && (is(argument, "/?", true) || is(argument, "-?", true) ||
                            is(argument, "/h", true) || is(argument, "/help", true));
}

bool looksLikeAnOption(const Text& argument, bool windowsStyle) {
    const char* text = argument.c_str();
    if (text[0] == '\0') {
        return false;  // an empty argument has no second character to look at
    }
    if (text[0] == '-' && text[1] != '\0') {
        return true;  // a lone "-" is no option: it is an item, a file or folder of that name
    }
    const char letter = text[1];
    return windowsStyle && text[0] == '/' &&
           (letter == '?' || (letter >= 'a' && letter <= 'z') || (letter >= 'A' && letter <= 'Z'));
}

}  // namespace

Options readOptions(const std::vector<Text>& arguments, bool windowsStyle) {
    Options options;
    for (const Text& argument : arguments) {
        if (!looksLikeAnOption(argument, windowsStyle)) {
            Text item = argument;
            if (windowsStyle && !item.empty() && item.c_str()[item.length() - 1] == '"') {
                Text mended;
                mended.append(item.c_str(), static_cast<std::size_t>(item.length() - 1));
                item = mended + Text("\\");
            }
            options.items.push_back(item);
        } else if (asksForHelp(argument, windowsStyle)) {
            options.help = true;
        } else if (is(argument, "--version", windowsStyle)) {
            options.version = true;
        } else if (is(argument, "--dry-run", windowsStyle)) {
            options.dryRun = true;
        } else if (is(argument, "--no-backup", windowsStyle)) {
            options.backup = false;
        } else if (options.refused.empty()) {
            options.refused = argument;
        }
    }
    return options;
}

const char* usageText() {
    return "Usage: cfgrenum [options] [file or folder ...]\n"
           "\n"
           "Numbers the aircraft entries ([fltsim.N] sections) of aircraft.cfg or sim.cfg\n"
           "0, 1, 2, ... in file order, keeps everything else, and writes the file back safely.\n"
           "\n"
           "A folder means the aircraft.cfg (or sim.cfg) in it, or, when it holds none, every\n"
           "aircraft.cfg and sim.cfg below it, up to 8 folders down. Without a file or folder,\n"
           "the current folder is taken in the same way, as when the program is double-clicked.\n"
           "\n"
           "Options:\n"
           "  --dry-run    read, renumber, check and report, but write nothing\n"
           "  --no-backup  keep no copy of the old content (by default it is kept as\n"
           "               aircraft.cfg.bak beside each rewritten file)\n"
           "  --help, -h   show this text (on Windows also /?, -?, /h and /help, and any\n"
           "               option in any letter case)\n"
           "  --version    show the program's name and version\n";
}
