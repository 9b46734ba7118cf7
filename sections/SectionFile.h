#pragma once

#include <cstdint>

#include "sections/Section.h"
#include "sections/SectionParser.h"
#include "text/ByteStream.h"
#include "text/Text.h"

// Fills the empty `list` from `source`, reading it to the end. On failure (the source fails, or
// the bytes are not text this program can rewrite) `why` gives the cause and the list is left
// empty: a file that was only partly read must never be written back.
// What the sections may cost in memory is held to `memoryBudget` bytes, or to the parser's own
// ceiling when that is less.
bool loadSections(ByteSource source, SectionList& list, Cause& why,
                  std::int64_t memoryBudget = SectionParser::kMemoryBudget);

// Writes the sections to `sink` in file layout. An empty list is refused before anything is
// written: loading always leaves a section, so only a fault in the program can hand one over.
bool saveSections(const SectionList& list, ByteSink sink, Cause& why);
