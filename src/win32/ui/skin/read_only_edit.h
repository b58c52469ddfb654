#pragma once
#include <windows.h>

#include "ui/skin/control_desc.h"

namespace veltrane::win32::skin {

// Read-only single-line edit, dark, arrow cursor; callbacks: double click, mouse-down, focus.
HWND CreateReadOnlyEdit(HWND parent, const ControlDesc& desc);

}  // namespace veltrane::win32::skin
