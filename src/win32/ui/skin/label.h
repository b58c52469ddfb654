#pragma once
#include <windows.h>

#include "ui/skin/control_desc.h"

namespace veltrane::win32::skin {

// Fixed-size label, text centred horizontally and vertically (CR LF breaks lines).
HWND CreateLabel(HWND parent, const ControlDesc& desc);
void SetLabelColor(HWND label, COLORREF color);

}  // namespace veltrane::win32::skin
