#pragma once
// The process's peak memory figures, read before and after a measured stretch.
// clang-format off
#include <windows.h>
#include <psapi.h>
// clang-format on

#include <cstdint>

namespace veltrane::bench {

struct Peaks {
  std::uint64_t working_set = 0;
  std::uint64_t pagefile = 0;
};

inline Peaks ReadPeaks() {
  PROCESS_MEMORY_COUNTERS counters = {};
  counters.cb = sizeof(counters);
  if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters))) return {};
  return {counters.PeakWorkingSetSize, counters.PeakPagefileUsage};
}

inline std::uint64_t Growth(std::uint64_t before, std::uint64_t after) {
  return after > before ? after - before : 0;
}

}  // namespace veltrane::bench
