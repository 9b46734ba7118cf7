#pragma once

#include <algorithm>
#include <cstdint>

#include "platform/Memory.h"
#include "sections/SectionParser.h"

// What a file's sections, or a package's list, may take in memory. Asking the system (its
// resource limits, the control groups, the memory available) costs a typical file's run about a
// fortieth of its time, so it is asked once a run, and only for an input that could need more
// than kTakenUnasked; a smaller input is held to that instead. A file of 50 KB never asks; one of
// 80 MB always does.
class MemoryBudget {
  public:
    static constexpr std::int64_t kTakenUnasked = std::int64_t{16} << 20;
    // Loading costs at most this many bytes of memory for each byte of input, with room to spare:
    // a bare header line of 2 bytes costs a section of about 50 bytes.
    static constexpr std::int64_t kMostPerByte = 64;

    // For an input of `bytes`.
    std::int64_t forInputOf(std::int64_t bytes) {
        if (asked_ < 0 && bytes <= kTakenUnasked / kMostPerByte) {
            return std::min(kTakenUnasked, SectionParser::kMemoryBudget);
        }
        if (asked_ < 0) {
            asked_ = std::min(memoryTheProgramMayTake(), SectionParser::kMemoryBudget);
        }
        return asked_;
    }

  private:
    std::int64_t asked_ = -1;  // none yet
};
