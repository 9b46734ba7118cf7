#pragma once

#include <cstddef>

#include "sections/Section.h"

// Where written bytes go: a file being replaced, or memory. Returns false when it cannot take them.
struct ByteSink {
    bool (*write)(void* context, const char* bytes, std::size_t count);
    void* context;
};

// Writes the sections in file layout and in the file's own encoding: the byte-order mark when the
// file had one, then each section's header line (none for an empty header) and its body, with
// every line break written as CR LF. Returns false as soon as the sink refuses bytes.
bool writeSections(const SectionList& list, ByteSink sink);
