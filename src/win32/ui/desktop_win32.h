#pragma once
// The desktop services of the window's handlers, and the console clock, on Windows.
#include <windows.h>

#include "ui/desktop.h"
#include "ui/status_console.h"

namespace veltrane::win32 {

class Win32Desktop : public ui::Desktop {
 public:
  void CopyToClipboard(std::string_view text) override;
  void ExploreFolder(std::string_view folder) override;
  void RunCommandLine(std::string_view command_line, int show) override;
  void OpenFile(std::string_view file, std::string_view folder) override;
  std::string ProgramName() override;
  std::string ExpandEnvText(std::string_view text) override;
  std::string ToAnsi(std::string_view text) override;
  std::string FromAnsi(std::string_view text) override;
  std::string DecimalSeparator() override;
  bool ShowMessage(std::string_view text, std::string_view caption, Buttons buttons,
                   Icon icon) override;
  std::optional<std::string> BrowseForFolder(std::string_view start) override;
  std::uintptr_t FindTopWindow(std::string_view class_name, std::string_view title) override;
  bool IsProcessRunning(std::string_view exe_name) override;
  void CloseGameWindow(std::uintptr_t window, std::string_view exe_name) override;

  // Owner of the message boxes and the folder dialog.
  void SetOwner(HWND owner) { owner_ = owner; }

 private:
  HWND owner_ = nullptr;
};

// The local time in the user's long time format; safe on any thread.
class Win32ConsoleClock : public ui::ConsoleClock {
 public:
  std::string LongTimeNow() const override;
  std::string LongTime(int hours, int minutes, int seconds) const override;
};

}  // namespace veltrane::win32
