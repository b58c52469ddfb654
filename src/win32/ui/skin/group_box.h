#pragma once
#include <windows.h>

#include "ui/skin/control_desc.h"

namespace veltrane::win32::skin {

// Group box with its caption at the top right. It takes mouse input over its own surface only
// (children keep theirs): SetOnMouseDown / SetOnMouseMove.
HWND CreateGroupBox(HWND parent, const ControlDesc& desc);

}  // namespace veltrane::win32::skin
