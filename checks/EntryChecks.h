#pragma once

#include <cstddef>
#include <vector>

#include "sections/Section.h"
#include "text/Text.h"

// What will still keep an aircraft entry from showing in the simulator once it is numbered. The
// checks only read: the sections, and the names of the folders beside the file.

// The value of `key` in a section's body as the simulators read it: the key matches in any ASCII
// letter case, with blanks around the '='; the value is what follows the '=', without a trailing
// ';' or '//' comment, the blanks around it, or the quotes around it. The first such line counts.
// False when no line sets the key.
bool valueOf(const Text& body, const char* key, Text& value);

// One warning per finding, in file order, naming entries by their headers' bracketed names:
// - an entry without a title, which the simulator cannot list;
// - an entry whose title an earlier entry has already (in any ASCII letter case): the simulator
//   tells aircraft apart by title and shows only one of them;
// - an entry whose texture=V names a folder texture.V (texture when V is empty) that is not among
//   `folders`, matched in ASCII letter case as Windows does. Values with a path separator are not
//   checked.
// The first `most` of them are returned, and `total` counts them all.
std::vector<Text> entryWarnings(const SectionList& list, const std::vector<Text>& folders,
                                std::size_t most, std::size_t& total);
