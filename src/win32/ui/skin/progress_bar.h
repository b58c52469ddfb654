#pragma once
// All functions belong to the UI thread. A worker thread that wants to move a progress bar
// hands the change to the UI thread (UiThread::Post), which sends the bar its messages there.
#include <windows.h>
// needs the types of windows.h
#include <commctrl.h>

#include "ui/skin/control_desc.h"

namespace veltrane::win32::skin {

// Progress bar drawn in the skin, driven by the standard messages: PBM_SETRANGE,
// PBM_SETRANGE32, PBM_GETRANGE, PBM_SETPOS, PBM_GETPOS, PBM_DELTAPOS, PBM_SETSTEP, PBM_STEPIT,
// PBM_SETMARQUEE. A maximum below the minimum is raised to the minimum; the position always
// stays inside the range.
HWND CreateProgressBar(HWND parent, const ControlDesc& desc);
bool ProgressIsMarquee(HWND bar);

}  // namespace veltrane::win32::skin
