#pragma once
#include <cstdint>
#include <string>

namespace veltrane {

// `count` decimal digits drawn from a generator seeded from the clock on every call.
std::string RandomDigits(std::uint8_t count);

}  // namespace veltrane
