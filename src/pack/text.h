#pragma once
// Sizes as the pack tool prints them.
#include <cstdint>
#include <cstdio>
#include <string>

namespace veltrane::pack {

inline std::string SizeText(std::int64_t bytes) {
  char text[32];
  if (bytes < 1024 * 1024) {
    std::snprintf(text, sizeof text, "%.1f KiB", static_cast<double>(bytes) / 1024);
  } else {
    std::snprintf(text, sizeof text, "%.1f MiB", static_cast<double>(bytes) / (1024 * 1024));
  }
  return text;
}

}  // namespace veltrane::pack
