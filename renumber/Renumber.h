#pragma once

#include <cstdint>

#include "sections/Section.h"

// What the renumbering did.
struct RenumberSummary {
    std::int32_t entries = 0;         // aircraft entries, now numbered 0 to entries - 1
    std::int32_t headersChanged = 0;  // of those, the headers whose bytes changed
};

// Gives the aircraft entries the numbers 0, 1, 2, ... in file order, one counter for all of them.
//
// An aircraft entry is a section whose header names it: the name between the header's '[' and
// the first ']' after it contains "fltsim." in any ASCII letter case. Only that bracketed name is
// rewritten, as '[' + the file's own spelling of "fltsim." + the number + ']'; what stands before
// the '[' and after the ']' (an indent, a comment) is kept byte for byte. So "[general] ; see
// fltsim.3" is no entry, and "  [FLTSIM.9]<TAB>; old" becomes "  [FLTSIM.0]<TAB>; old". A header
// without a ']' is an entry when "fltsim." follows its '[', and all of it from the '[' on is
// replaced. Bodies and all other sections are left as they are. An empty list is reported as
// "error!" on standard output.
RenumberSummary renumberEntries(SectionList& list);

// Whether `header` names an aircraft entry, by the rule above; asked of every section, so
// without building its name.
bool isEntryHeader(const Text& header);

// The bracketed name of an aircraft entry's header, such as "[FLTSIM.3]" for
// "  [FLTSIM.3] ; old", or an empty Text when the header names no aircraft entry.
Text entryName(const Text& header);
