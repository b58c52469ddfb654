#pragma once
// The shared routines that need the system: regional settings, environment, processes, the
// single-instance guard and the self-replacement.
#include <windows.h>

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace veltrane::win32 {

// A failed system call: the system's error code and a text with the code and the system's
// own message.
class SystemError : public std::runtime_error {
 public:
  explicit SystemError(DWORD code);
  DWORD code() const { return code_; }

 private:
  DWORD code_;
};

// The system's message for an error code, without the trailing line break.
std::string SystemErrorText(DWORD code);

// The user's decimal separator ("," on a Russian Windows).
std::string UserDecimalSeparator();
std::string SizeToText(double bytes);

// %NAME% references expanded from the process environment; undefined ones stay as written.
// An expansion longer than 255 characters gives an empty text rather than a cut path.
std::string ExpandEnvText(std::string_view text);

// Full path of the running program's file.
std::string OwnProgramPath();

// The bytes of "delete.bat" (ANSI code page, CR LF), or nothing when a name is unsafe in a
// batch file or cannot be written in the ANSI code page.
std::optional<std::string> ReplaceBatchText(std::string_view own_name, std::string_view target,
                                            std::string_view downloaded);
// Writes "delete.bat" into `folder` and returns its path. Throws std::runtime_error when there
// is no text for these names (see ReplaceBatchText) or the file cannot be written.
std::string WriteReplaceBatch(const std::string& folder, std::string_view own_name,
                              std::string_view target, std::string_view downloaded);
// Starts the batch file hidden, in `folder`. Returns its process handle for the caller to
// close, or nullptr when it could not be started.
HANDLE StartReplaceBatch(const std::string& batch_path, const std::string& folder);
// Writes and starts the batch file beside the running program, then ends the process. Returns
// false, with no batch file left behind, when it could not be written or started.
bool ReplaceSelfAndExit(std::string_view target, std::string_view downloaded);

// Restores and activates the top-level window of the class; returns it, or nullptr when
// there is none.
HWND FindAndActivate(const std::string& class_name);
// False when no window of the class exists; otherwise activates it and ends the process.
bool ActivateRunningCopy(const std::string& class_name);
void RestoreAndActivate(HWND window);

bool IsProcessRunning(std::string_view exe_name);

// Starts a command line as a new process without waiting for it. Throws std::invalid_argument
// for an empty command line and SystemError when the process cannot be created.
void RunCommandLine(const std::string& command_line, int show);

}  // namespace veltrane::win32
