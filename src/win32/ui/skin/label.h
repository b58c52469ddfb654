#pragma once
#include <windows.h>

#include "ui/skin/control_spec.h"

namespace veltrane::win32::skin {

// Fixed-size label, text centred horizontally and vertically (CR LF breaks lines).
HWND CreateLabel(HWND parent, const ControlSpec& desc);
void SetLabelColor(HWND label, COLORREF color);

}  // namespace veltrane::win32::skin
