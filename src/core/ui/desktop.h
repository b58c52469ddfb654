#pragma once
// The desktop services the window's handlers use besides the window itself: the clipboard, the
// shell, new processes, the environment and the ANSI code page of the files written for Notepad.
#include <cstdint>
#include <optional>
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
  // The shell's "open" verb on a file, with `folder` as its working folder; not waited for.
  // Failures are silent.
  virtual void OpenFile(std::string_view file, std::string_view folder) = 0;
  // The running program's file name without folder (the user agent of its downloads).
  virtual std::string ProgramName() = 0;
  // Expands %NAME% references from the environment.
  virtual std::string ExpandEnvText(std::string_view text) = 0;
  // Converts UTF-8 text to the system's ANSI code page, and back.
  virtual std::string ToAnsi(std::string_view text) = 0;
  virtual std::string FromAnsi(std::string_view text) = 0;
  // The user's decimal separator (UTF-8), for the sizes written in the console.
  virtual std::string DecimalSeparator() = 0;

  enum class Buttons { Ok, OkCancel };
  enum class Icon { Information, Warning, Error };
  // A modal message box, always on top; true when OK was pressed.
  virtual bool ShowMessage(std::string_view text, std::string_view caption, Buttons buttons,
                           Icon icon) = 0;
  // The folder dialog rooted at the desktop, starting at `start` (which becomes the working
  // directory when it exists); nullopt on Cancel.
  virtual std::optional<std::string> BrowseForFolder(std::string_view start) = 0;

  // A top-level window of this class and title; 0 when there is none.
  virtual std::uintptr_t FindTopWindow(std::string_view class_name, std::string_view title) = 0;
  virtual bool IsProcessRunning(std::string_view exe_name) = 0;
  // When the process that owns the window runs the program `exe_name` (its file name compared
  // as IsProcessRunning does): sends the window destroy, quit and close, each handled before the
  // next unless the window does not answer within a short time, then ends that process. Any
  // other owner is left alone.
  virtual void CloseGameWindow(std::uintptr_t window, std::string_view exe_name) = 0;
};

}  // namespace veltrane::ui
