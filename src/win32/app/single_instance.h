#pragma once
// One copy of the program at a time: a second start brings the first one's window forward.
#include <windows.h>

#include <chrono>
#include <string>

namespace veltrane::win32 {

// Restores and activates the top-level window of the class; returns it, or nullptr when
// there is none.
HWND FindAndActivate(const std::string& class_name);
// False when no window of the class exists; otherwise activates it and ends the process.
bool ActivateRunningCopy(const std::string& class_name);
void RestoreAndActivate(HWND window);
// Looks for a window of the class for up to `patience` and activates it; false when none came.
bool WaitAndActivate(const std::string& class_name, std::chrono::milliseconds patience);

}  // namespace veltrane::win32
