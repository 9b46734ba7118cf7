#include <windows.h>
// After windows.h, which they need.
#include <psapi.h>

#include <algorithm>
#include <limits>

#include "platform/Memory.h"

std::int64_t memoryTheProgramMayTake() {
    std::int64_t left = std::numeric_limits<std::int64_t>::max();
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    if (GlobalMemoryStatusEx(&status)) {
        // A 32-bit program runs out of address space long before a machine runs out of memory.
        left = std::min<std::int64_t>(static_cast<std::int64_t>(status.ullAvailPhys),
                                      static_cast<std::int64_t>(status.ullAvailVirtual));
    }
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION job{};
    PROCESS_MEMORY_COUNTERS_EX used{};
    if (QueryInformationJobObject(nullptr, JobObjectExtendedLimitInformation, &job, sizeof job,
                                  nullptr) &&
        K32GetProcessMemoryInfo(GetCurrentProcess(),
                                reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&used), sizeof used)) {
        const auto usedBytes = static_cast<std::int64_t>(used.PrivateUsage);
        const DWORD flags = job.BasicLimitInformation.LimitFlags;
        if ((flags & JOB_OBJECT_LIMIT_PROCESS_MEMORY) != 0) {
            left = std::min(left, static_cast<std::int64_t>(job.ProcessMemoryLimit) - usedBytes);
        }
        if ((flags & JOB_OBJECT_LIMIT_JOB_MEMORY) != 0) {
            left = std::min(left, static_cast<std::int64_t>(job.JobMemoryLimit) -
                                      static_cast<std::int64_t>(job.PeakJobMemoryUsed));
        }
    }
    return std::max<std::int64_t>(left, 0) / 4 * 3;
}
