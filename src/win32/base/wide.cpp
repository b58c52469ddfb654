#include "base/wide.h"

#include <windows.h>

namespace veltrane::win32 {
namespace {

std::wstring ToWide(UINT code_page, std::string_view text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int count = MultiByteToWideChar(code_page, 0, text.data(), size, nullptr, 0);
  std::wstring result(static_cast<size_t>(count), L'\0');
  MultiByteToWideChar(code_page, 0, text.data(), size, result.data(), count);
  return result;
}

std::string FromWide(UINT code_page, std::wstring_view text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int count =
      WideCharToMultiByte(code_page, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  std::string result(static_cast<size_t>(count), '\0');
  WideCharToMultiByte(code_page, 0, text.data(), size, result.data(), count, nullptr, nullptr);
  return result;
}

}  // namespace

std::wstring Widen(std::string_view utf8) {
  return ToWide(CP_UTF8, utf8);
}
std::string Narrow(std::wstring_view utf16) {
  return FromWide(CP_UTF8, utf16);
}
std::string ToAnsi(std::string_view utf8) {
  return FromWide(CP_ACP, Widen(utf8));
}
std::string FromAnsi(std::string_view ansi) {
  return Narrow(ToWide(CP_ACP, ansi));
}

}  // namespace veltrane::win32
