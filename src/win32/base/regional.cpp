#include "base/regional.h"

#include <windows.h>

#include "base/size_text.h"
#include "base/wide.h"

namespace veltrane::win32 {

std::string UserDecimalSeparator() {
  wchar_t buffer[8] = {};
  const int length = GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, buffer, 8);
  if (length <= 1) return ",";
  return Narrow(std::wstring_view(buffer, static_cast<size_t>(length - 1)));
}

std::string SizeToText(double bytes) {
  return veltrane::SizeToText(bytes, UserDecimalSeparator());
}

}  // namespace veltrane::win32
