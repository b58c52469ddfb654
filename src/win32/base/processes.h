#pragma once
// Other processes: whether one runs, and starting one.
#include <string>
#include <string_view>

namespace veltrane::win32 {

// Whether a process counts as `exe_name` (see veltrane::ProcessNameMatches).
bool IsProcessRunning(std::string_view exe_name);

// Starts a command line as a new process without waiting for it. Throws std::invalid_argument
// for an empty command line and SystemError when the process cannot be created.
void RunCommandLine(const std::string& command_line, int show);

}  // namespace veltrane::win32
