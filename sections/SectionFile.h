#pragma once

#include "platform/FileReplacement.h"
#include "sections/Section.h"
#include "text/Text.h"

// Fills the empty `list` from the file that `file` has opened (openOriginal), reading it to the
// end. On failure (a read error, a file that changes while it is read, or one that is not plain
// text) `why` gives the cause, the file is closed and the list is left empty: a file that was only
// partly read must never be written back. Running out of memory, or past the parser's memory
// budget, raises std::bad_alloc; the caller discards the list and the replacement.
bool loadSections(Replacement& file, SectionList& list, Text& why);

// Replaces the file that `file` read with the sections in file layout, safely (see
// FileReplacement.h): on failure `why` gives the cause and the file is left as it was. An empty
// list is refused, and the file is left as it was.
bool saveSections(Replacement& file, const SectionList& list, Text& why);
