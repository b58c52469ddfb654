#include "ui/desktop_win32.h"

#include <windows.h>
#include <shellapi.h>

#include <cstring>

#include "base/environment.h"
#include "base/process_names.h"
#include "base/processes.h"
#include "base/regional.h"
#include "base/scoped.h"
#include "base/wide.h"
#include "net/wininet_transport.h"
#include "ui/skin/controls.h"

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

void Win32Desktop::OpenFile(std::string_view file, std::string_view folder) {
  ShellExecuteW(owner_, L"open", Widen(file).c_str(), nullptr, Widen(folder).c_str(),
                SW_SHOWNORMAL);
}

std::string Win32Desktop::DecimalSeparator() {
  return UserDecimalSeparator();
}

std::string Win32Desktop::ProgramName() {
  return OwnExeName();
}

std::string Win32Desktop::ExpandEnvText(std::string_view text) {
  return win32::ExpandEnvText(text);
}

std::string Win32Desktop::ToAnsi(std::string_view text) {
  return win32::ToAnsi(text);
}

std::string Win32Desktop::FromAnsi(std::string_view text) {
  return win32::FromAnsi(text);
}

bool Win32Desktop::ShowMessage(std::string_view text, std::string_view caption, Buttons buttons,
                               Icon icon) {
  UINT flags = MB_TOPMOST | MB_TASKMODAL | MB_SETFOREGROUND;
  flags |= buttons == Buttons::OkCancel ? MB_OKCANCEL : MB_OK;
  switch (icon) {
    case Icon::Information:
      flags |= MB_ICONINFORMATION;
      break;
    case Icon::Warning:
      flags |= MB_ICONWARNING;
      break;
    case Icon::Error:
      flags |= MB_ICONERROR;
      break;
  }
  return MessageBoxW(owner_, Widen(text).c_str(), Widen(caption).c_str(), flags) == IDOK;
}

std::optional<std::string> Win32Desktop::BrowseForFolder(std::string_view start) {
  return skin::BrowseForFolder(owner_, start);
}

std::uintptr_t Win32Desktop::FindTopWindow(std::string_view class_name, std::string_view title) {
  return reinterpret_cast<std::uintptr_t>(
      FindWindowW(Widen(class_name).c_str(), Widen(title).c_str()));
}

bool Win32Desktop::IsProcessRunning(std::string_view exe_name) {
  return win32::IsProcessRunning(exe_name);
}

namespace {

// How long each message to the game window may take: a hung game must not hang our window.
constexpr UINT kGameMessageTimeoutMs = 1000;

std::string ImagePath(HANDLE process) {
  wchar_t path[MAX_PATH * 2] = {};
  DWORD size = MAX_PATH * 2;
  if (!QueryFullProcessImageNameW(process, 0, path, &size)) return {};
  return Narrow(std::wstring(path, size));
}

}  // namespace

void Win32Desktop::CloseGameWindow(std::uintptr_t window, std::string_view exe_name) {
  const HWND game = reinterpret_cast<HWND>(window);
  DWORD pid = 0;
  GetWindowThreadProcessId(game, &pid);
  if (pid == 0 || pid == GetCurrentProcessId()) return;
  // Opened before the messages: while the handle is held the id cannot pass to a process that
  // starts once the game has gone.
  const ScopedHandle process(
      OpenProcess(PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
  if (!process) return;
  // A window of the game's class that another program owns is not the game.
  if (!ProcessNameMatches(ImagePath(process.get()), exe_name)) return;
  for (const UINT message : {WM_DESTROY, WM_QUIT, WM_CLOSE}) {
    DWORD_PTR ignored = 0;
    if (!SendMessageTimeoutW(game, message, 0, 0, SMTO_ABORTIFHUNG, kGameMessageTimeoutMs,
                             &ignored)) {
      break;  // hung or gone: the process is ended all the same
    }
  }
  TerminateProcess(process.get(), 1);
}

std::string Win32ConsoleClock::LongTime(int hours, int minutes, int seconds) const {
  SYSTEMTIME time{};
  time.wYear = 2000;
  time.wMonth = 1;
  time.wDay = 1;
  time.wHour = static_cast<WORD>(hours);
  time.wMinute = static_cast<WORD>(minutes);
  time.wSecond = static_cast<WORD>(seconds);
  wchar_t buffer[64] = {};
  GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &time, nullptr, buffer, 64);
  return Narrow(buffer);
}

std::string Win32ConsoleClock::LongTimeNow() const {
  wchar_t buffer[64] = {};
  GetTimeFormatW(LOCALE_USER_DEFAULT, 0, nullptr, nullptr, buffer, 64);
  return Narrow(buffer);
}

}  // namespace veltrane::win32
