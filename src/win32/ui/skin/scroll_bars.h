#pragma once
// The system scroll bars of a memo or check list, painted over in the skin. The system keeps
// hit-testing and tracking them; this only replaces their grey look, after each message that
// may have drawn them.
#include <windows.h>

namespace veltrane::win32::skin::detail {

void PaintScrollBars(HWND hwnd);
// True for the messages after which the system may have drawn its own scroll bars again.
bool MayDrawScrollBars(UINT msg);

}  // namespace veltrane::win32::skin::detail
