#pragma once

#include <cstddef>

// Letter case as Windows compares file names, which a package's list must follow: the simulator
// finds "Écureuil\aircraft.cfg" under an entry for "écureuil/aircraft.cfg". Titles and entry names
// keep their ASCII-only comparison (AsciiCase.h).

// Lowers chars[0, count), UTF-8, in place: ASCII letters, and the letters of Latin-1, Latin
// Extended-A, Greek and Cyrillic whose lower-case form is one letter of the same length, which
// covers the names hobbyists give their aircraft. Anything else, and bytes that are not UTF-8,
// stay as they are.
void foldNameCase(char* chars, std::size_t count);
