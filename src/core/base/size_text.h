#pragma once
// Byte counts as the console and the dialogs show them.
#include <string>
#include <string_view>

namespace veltrane {

// "1,062 Кб" style text for a byte count; `decimal_separator` is the user's (UTF-8).
// 1024^9 bytes and more, and non-finite counts, give an empty text.
std::string SizeToText(double bytes, std::string_view decimal_separator);

}  // namespace veltrane
