#pragma once

#include "sections/Section.h"
#include "text/ByteStream.h"

// Writes the sections in file layout and in the file's own encoding: the byte-order mark when the
// file had one, then each section's header line (none for an empty header) and its body, with
// every line break written as CR LF. Returns false, with the cause in `why`, as soon as the sink
// refuses bytes.
bool writeSections(const SectionList& list, ByteSink sink, Cause& why);
