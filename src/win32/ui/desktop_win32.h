#pragma once
// The desktop services of the window's handlers, and the console clock, on Windows.
#include "ui/desktop.h"
#include "ui/status_console.h"

namespace veltrane::win32 {

class Win32Desktop : public ui::Desktop {
 public:
  void CopyToClipboard(std::string_view text) override;
  void ExploreFolder(std::string_view folder) override;
  void RunCommandLine(std::string_view command_line, int show) override;
  std::string ExpandEnvText(std::string_view text) override;
  std::string ToAnsi(std::string_view text) override;
};

// The local time in the user's long time format; safe on any thread.
class Win32ConsoleClock : public ui::ConsoleClock {
 public:
  std::string LongTimeNow() const override;
};

}  // namespace veltrane::win32
