#pragma once

#include "sections/Section.h"
#include "text/Text.h"

// Fills the empty `list` from the file at `path`. On failure (the file is missing, unreadable,
// not a plain text file, or too large to hold) `why` gives the cause and the list is left empty:
// a file that was only partly read must never be written back.
bool loadSections(const char* path, SectionList& list, Text& why);

// Replaces the file at `path` with the sections in file layout, safely (see FileReplacement.h):
// on failure `why` gives the cause and the file is left as it was. An empty list writes nothing.
bool saveSections(const char* path, const SectionList& list, Text& why);
