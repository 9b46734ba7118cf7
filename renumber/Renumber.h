#pragma once

#include "sections/Section.h"

// Gives the aircraft entries (sections whose header contains "fltsim.", case-sensitively) the
// headers [fltsim.0], [fltsim.1], ... in file order. The whole header line is replaced; bodies
// and all other sections are left as they are. An empty list is reported as "error!".
void renumberEntries(SectionList& list);
