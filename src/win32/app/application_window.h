#pragma once
// The application's own window: never seen, it carries the title the taskbar shows and owns
// the program's windows, so that a second copy restores the program through it.
#include <windows.h>

namespace veltrane::win32 {

inline constexpr wchar_t kApplicationWindowClass[] = L"VeltraneApplication";

// Creates it with the title "Dravenna Update".
HWND CreateApplicationWindow();

}  // namespace veltrane::win32
