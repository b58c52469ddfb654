#include "base/random_digits.h"

#include <chrono>
#include <random>

namespace veltrane {

std::string RandomDigits(std::uint8_t count) {
  std::mt19937_64 engine(static_cast<std::uint64_t>(
      std::chrono::high_resolution_clock::now().time_since_epoch().count()));
  std::uniform_int_distribution<int> digit(0, 9);
  std::string text;
  text.reserve(count);
  for (int i = 0; i < count; ++i) text += static_cast<char>('0' + digit(engine));
  return text;
}

}  // namespace veltrane
