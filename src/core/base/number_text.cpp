#include "base/number_text.h"

#include <limits>

namespace veltrane {
namespace {

// Reads the digits after an optional sign and prefix into an unsigned magnitude no larger
// than `limit`; nullopt for an empty, malformed or too large number.
std::optional<std::uint64_t> Magnitude(std::string_view digits, unsigned base,
                                       std::uint64_t limit) {
  if (digits.empty()) return std::nullopt;
  std::uint64_t value = 0;
  for (const char c : digits) {
    unsigned digit;
    if (c >= '0' && c <= '9') {
      digit = static_cast<unsigned>(c - '0');
    } else if (base == 16 && c >= 'a' && c <= 'f') {
      digit = static_cast<unsigned>(c - 'a' + 10);
    } else if (base == 16 && c >= 'A' && c <= 'F') {
      digit = static_cast<unsigned>(c - 'A' + 10);
    } else {
      return std::nullopt;
    }
    if (value > (limit - digit) / base) return std::nullopt;
    value = value * base + digit;
  }
  return value;
}

template <typename Signed>
std::optional<Signed> Parse(std::string_view text) {
  using Unsigned = std::make_unsigned_t<Signed>;
  bool negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (!text.empty() && text.front() == '$') {
    text.remove_prefix(1);
  } else if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.remove_prefix(2);
  } else {
    const std::uint64_t max = std::numeric_limits<Signed>::max();
    const auto value = Magnitude(text, 10, negative ? max + 1 : max);
    if (!value) return std::nullopt;
    return negative ? static_cast<Signed>(Unsigned{0} - static_cast<Unsigned>(*value))
                    : static_cast<Signed>(*value);
  }
  const auto value = Magnitude(text, 16, std::numeric_limits<Unsigned>::max());
  if (!value) return std::nullopt;
  const auto bits = static_cast<Unsigned>(*value);
  return static_cast<Signed>(negative ? Unsigned{0} - bits : bits);
}

}  // namespace

std::optional<std::int32_t> ParseInt32(std::string_view text) {
  return Parse<std::int32_t>(text);
}
std::optional<std::int64_t> ParseInt64(std::string_view text) {
  return Parse<std::int64_t>(text);
}

}  // namespace veltrane
