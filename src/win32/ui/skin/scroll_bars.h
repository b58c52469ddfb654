#pragma once
// The system scroll bars of a memo or check list, painted over in the skin. The system keeps
// hit-testing and tracking them; this only replaces their grey look, after each message that
// may have drawn them.
#include <windows.h>

#include "ui/skin/control_data.h"

namespace veltrane::win32::skin::detail {

void PaintScrollBars(HWND hwnd);
// True for the messages after which the system may have drawn its own scroll bars again.
bool MayDrawScrollBars(UINT msg);

// The part of a memo's or check list's message handling that draws its frame: the thin border
// and the scroll bars over the system's non-client area, and the scroll bars again after any
// message that may have drawn them (ControlData::own_message and after_message).
bool ScrolledFrameMessage(HWND hwnd, ControlData* data, UINT& msg, WPARAM wp, LPARAM lp,
                          LRESULT* result);
void AfterScrolledFrameMessage(HWND hwnd, UINT msg);

}  // namespace veltrane::win32::skin::detail
