#pragma once
#include <windows.h>

#include "ui/skin/control_desc.h"

namespace veltrane::win32::skin {

// Push button drawn in the skin (hover, pressed and disabled looks); BM_CLICK works and fires
// the click callback.
HWND CreateButton(HWND parent, const ControlDesc& desc);
// The plain button (e.g. an off-screen focus sink): drawn in the skin, flat.
HWND CreatePlainButton(HWND parent, const ControlDesc& desc);

}  // namespace veltrane::win32::skin
