#pragma once
#include <windows.h>

#include "ui/skin/control_desc.h"

namespace veltrane::win32::skin {

// Check box drawn in the skin; BM_GETCHECK / BM_SETCHECK / BM_CLICK and the space key keep
// working. The mouse-up callback fires for real mouse releases over the box only (not for
// BM_CLICK), after the click has toggled it. Text wraps when `word_wrap` is set.
HWND CreateCheckBox(HWND parent, const ControlDesc& desc, bool checked, bool word_wrap = true);
bool IsChecked(HWND check_box);
void SetChecked(HWND check_box, bool checked);

}  // namespace veltrane::win32::skin
