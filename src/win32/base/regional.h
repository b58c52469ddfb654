#pragma once
// Texts that follow the user's regional settings.
#include <string>

namespace veltrane::win32 {

// The user's decimal separator ("," on a Russian Windows).
std::string UserDecimalSeparator();
// veltrane::SizeToText with the user's decimal separator.
std::string SizeToText(double bytes);

}  // namespace veltrane::win32
