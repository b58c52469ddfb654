#include "base/size_text.h"

#include <array>
#include <charconv>
#include <cmath>

namespace veltrane {
namespace {

constexpr std::array<std::string_view, 9> kUnits = {
    " Байт", " Кб", " Мб.", " Гб.", " Тб.", " Пб.", " Эб.", " Зб.", " Иб.",
};

// Up to 15 significant digits, no trailing zeros, plain notation unless the exponent is 15 or
// more (or the value is below 1e-5), then "1,5E20" style.
std::string GeneralNumber(double value, std::string_view separator) {
  if (value == 0) return "0";
  std::array<char, 64> buffer{};
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                    std::chars_format::scientific, 14);
  const std::string_view text(buffer.data(), static_cast<size_t>(result.ptr - buffer.data()));
  const bool negative = text.front() == '-';
  const size_t e_at = text.find('e');
  std::string digits;
  for (char c : text.substr(0, e_at)) {
    if (c >= '0' && c <= '9') digits += c;
  }
  int exponent = 0;
  const std::string_view exponent_text = text.substr(e_at + 1);
  std::from_chars(exponent_text.data() + (exponent_text.front() == '+' ? 1 : 0),
                  exponent_text.data() + exponent_text.size(), exponent);
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

  std::string out = negative ? "-" : "";
  if (exponent >= 15 || exponent < -5) {
    out += digits.front();
    if (digits.size() > 1) {
      out += separator;
      out += digits.substr(1);
    }
    out += 'E';
    out += std::to_string(exponent);
  } else if (exponent < 0) {
    out += '0';
    out += separator;
    out.append(static_cast<size_t>(-exponent - 1), '0');
    out += digits;
  } else {
    const size_t whole = static_cast<size_t>(exponent) + 1;
    if (digits.size() <= whole) {
      out += digits;
      out.append(whole - digits.size(), '0');
    } else {
      out += digits.substr(0, whole);
      out += separator;
      out += digits.substr(whole);
    }
  }
  return out;
}

}  // namespace

std::string SizeToText(double bytes, std::string_view decimal_separator) {
  if (!std::isfinite(bytes)) return {};
  const long double count = bytes;
  long double scale = 1;
  size_t unit = 0;
  // 1024^k is exact in long double, so the range limits are exact.
  while (unit < kUnits.size() && count >= scale * 1024) {
    scale *= 1024;
    ++unit;
  }
  if (unit == kUnits.size()) return {};
  // Round to three places with ties to even (the default rounding mode of nearbyint).
  const long double rounded = std::nearbyint(count / scale * 1000) / 1000;
  return GeneralNumber(static_cast<double>(rounded), decimal_separator) + std::string(kUnits[unit]);
}

}  // namespace veltrane
