#pragma once

#include <cstdint>

// How many more bytes the program may take without being refused memory or ended for it: the
// least of what its resource limits, its control group (memory.max less what the group uses,
// but for the page cache not in active use, which the kernel drops first) and the machine's
// available memory allow, or on Windows its job's limits, the free physical memory and the
// address space left, less a quarter kept back for everything that is not counted. A limit that
// cannot be read does not count.
std::int64_t memoryTheProgramMayTake();
