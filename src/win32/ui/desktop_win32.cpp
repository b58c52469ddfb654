#include "ui/desktop_win32.h"

#include <windows.h>
#include <shellapi.h>

#include <cstring>

#include "Addons/Custom/AllInOne.h"
#include "base/wide.h"

namespace veltrane::win32 {

void Win32Desktop::CopyToClipboard(std::string_view text) {
  const std::wstring wide = Widen(text);
  if (!OpenClipboard(nullptr)) return;
  EmptyClipboard();
  const size_t bytes = (wide.size() + 1) * sizeof(wchar_t);
  if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes)) {
    std::memcpy(GlobalLock(memory), wide.c_str(), bytes);
    GlobalUnlock(memory);
    if (!SetClipboardData(CF_UNICODETEXT, memory)) GlobalFree(memory);
  }
  CloseClipboard();
}

void Win32Desktop::ExploreFolder(std::string_view folder) {
  ShellExecuteW(nullptr, L"explore", Widen(folder).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void Win32Desktop::RunCommandLine(std::string_view command_line, int show) {
  win32::RunCommandLine(std::string(command_line), show);
}

std::string Win32Desktop::ExpandEnvText(std::string_view text) {
  return win32::ExpandEnvText(text);
}

std::string Win32Desktop::ToAnsi(std::string_view text) {
  return win32::ToAnsi(text);
}

std::string Win32ConsoleClock::LongTimeNow() const {
  wchar_t buffer[64] = {};
  GetTimeFormatW(LOCALE_USER_DEFAULT, 0, nullptr, nullptr, buffer, 64);
  return Narrow(buffer);
}

}  // namespace veltrane::win32
