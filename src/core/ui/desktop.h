#pragma once
// The desktop services the window's handlers use besides the window itself: the clipboard, the
// shell, new processes, the environment and the ANSI code page of the files written for Notepad.
#include <string>
#include <string_view>

namespace veltrane::ui {

class Desktop {
 public:
  virtual ~Desktop() = default;
  virtual void CopyToClipboard(std::string_view text) = 0;
  // The shell's "explore" verb on a folder, normal window, no parent.
  virtual void ExploreFolder(std::string_view folder) = 0;
  // Starts a command line without waiting; throws on failure with the system's message.
  virtual void RunCommandLine(std::string_view command_line, int show) = 0;
  // Expands %NAME% references from the environment.
  virtual std::string ExpandEnvText(std::string_view text) = 0;
  // Converts UTF-8 text to the system's ANSI code page.
  virtual std::string ToAnsi(std::string_view text) = 0;
};

}  // namespace veltrane::ui
