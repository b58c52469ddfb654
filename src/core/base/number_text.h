#pragma once
// Whole numbers written as text, read the way the settings file and the manifest are read:
// decimal with an optional sign, or hexadecimal after a "$" or "0x" prefix. Anything else,
// surrounding blanks included, is not a number.
#include <cstdint>
#include <optional>
#include <string_view>

namespace veltrane {

// A signed 32-bit value; hexadecimal up to FFFFFFFF wraps into the negative range.
std::optional<std::int32_t> ParseInt32(std::string_view text);
// A signed 64-bit value; hexadecimal up to FFFFFFFFFFFFFFFF wraps likewise.
std::optional<std::int64_t> ParseInt64(std::string_view text);

}  // namespace veltrane
