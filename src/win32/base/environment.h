#pragma once
// What the process finds about itself: its environment and its own file.
#include <string>
#include <string_view>

namespace veltrane::win32 {

// %NAME% references expanded from the process environment; undefined ones stay as written.
// An expansion longer than 255 characters gives an empty text rather than a cut path.
std::string ExpandEnvText(std::string_view text);

// Full path of the running program's file. Throws SystemError when the system cannot say.
std::string OwnProgramPath();

}  // namespace veltrane::win32
