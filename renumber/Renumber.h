#pragma once

#include "sections/Section.h"

// Gives the aircraft entries (sections whose header contains "fltsim." in any ASCII letter case)
// the headers [fltsim.0], [fltsim.1], ... in file order, one counter for all of them. The new
// header spells the marker as the old one did ([FLTSIM.7] becomes [FLTSIM.0]); the rest of the
// old header line is dropped. Bodies and all other sections are left as they are. An empty list
// is reported as "error!" on standard output.
void renumberEntries(SectionList& list);
