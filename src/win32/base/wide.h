#pragma once
// UTF-8 inside the program, UTF-16 at the Win32 calls, the ANSI code page only for the files
// that are written in it.
#include <string>
#include <string_view>

namespace veltrane::win32 {

std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);
// Text in the system's ANSI code page (1251 on a Russian Windows); unmappable characters
// become the code page's default character.
std::string ToAnsi(std::string_view utf8);
std::string FromAnsi(std::string_view ansi);

}  // namespace veltrane::win32
