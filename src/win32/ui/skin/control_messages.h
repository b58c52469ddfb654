#pragma once
// The messages that skinned controls and their containers answer alike: colours and owner
// drawing for the children of a container, mouse callbacks and cursors, own-painted text.
#include <windows.h>

#include "base/app_messages.h"
#include "ui/skin/control_data.h"

namespace veltrane::win32::skin::detail {

COLORREF BackgroundBehind(HWND child);
COLORREF TextColorOf(const ControlData* data);

// Handles what a container (content panel, group box, title bar) does for its skinned children:
// control colours, owner drawing, click notifications. True when the message was handled.
bool HandleContainer(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, COLORREF background,
                     LRESULT* result);

// Mouse callbacks and cursor for any control, before the control's own handling; true when the
// message is consumed.
bool HandleMouse(HWND hwnd, ControlData* data, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result);
// Text, enabled state and font of a control that paints its own text: a change repaints it.
// True when the message was handled.
bool HandleOwnText(HWND hwnd, ControlData* data, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result);
// Callbacks that must run after the control's own handling (mouse-up after a check box has
// toggled, focus after an edit has set up its caret).
void HandleMouseAfter(HWND hwnd, ControlData* data, UINT msg, LPARAM lp);

// Passes BM_CLICK to a subclassed button. The system turns it into a press and release at
// (0,0); those are marked as not the user's while it runs.
LRESULT PassBmClick(HWND hwnd, ControlData* data, WPARAM wp, LPARAM lp);

}  // namespace veltrane::win32::skin::detail
