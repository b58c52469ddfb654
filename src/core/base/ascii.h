#pragma once
// Case folding for names the system compares without regard to case: only A to Z fold, so a
// UTF-8 text keeps every other byte.
#include <string>
#include <string_view>

namespace veltrane {

// Case folding of the Latin letters A to Z only; every other byte stays as it is.
char AsciiUpper(char c);
char AsciiLower(char c);
std::string AsciiUpper(std::string_view text);
std::string AsciiLower(std::string_view text);
// Whether the texts are equal once A to Z fold.
bool AsciiEqualNoCase(std::string_view a, std::string_view b);

}  // namespace veltrane
