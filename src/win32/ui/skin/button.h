#pragma once
#include <windows.h>

#include "ui/skin/control_spec.h"

namespace veltrane::win32::skin {

// Push button drawn in the skin (hover, pressed and disabled looks); BM_CLICK works and fires
// the click callback.
HWND CreateButton(HWND parent, const ControlSpec& desc);
// The plain button (e.g. an off-screen focus sink): drawn in the skin, flat.
HWND CreatePlainButton(HWND parent, const ControlSpec& desc);

}  // namespace veltrane::win32::skin
