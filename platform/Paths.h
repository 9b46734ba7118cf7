#pragma once

// Where the program looks for its file, and how it names it to the user. Paths are UTF-8 text on
// every platform.

#include <vector>

#include "text/Text.h"

// Whether `c` separates folders in a path: '/' everywhere, and '\' on Windows too.
bool isPathSeparator(char c);
// The separator that this platform's paths are shown with.
char pathSeparator();

// `path` made absolute against the current folder, as the console shows it: a name the user can
// find. Links are not resolved. `path` itself when the current folder cannot be told.
Text fullPathOf(const Text& path);

// Where the file or folder at `path` really is: absolute, with every link resolved and no ".",
// ".." or doubled separators, so that it can be told where it lies in a package whose list names
// it. fullPathOf(path) when that cannot be told (it is gone, or a folder on the way is closed).
Text resolvedPathOf(const Text& path);

// The program's own file, its links resolved; empty when the system does not tell.
Text programFile();

// The program's arguments as UTF-8, without the program's own name. On Windows they come from the
// wide command line: the ANSI arguments would mangle names outside the code page.
std::vector<Text> programArguments(int argc, char** argv);
