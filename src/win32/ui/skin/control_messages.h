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

// The subclass procedure of every skinned system control: the mouse callbacks and cursor, the
// control's own handling (ControlData::own_message), the system's procedure, then, while the
// window lives, ControlData::after_message and the after-callbacks; the data is freed at
// WM_NCDESTROY.
LRESULT CALLBACK SkinnedSubclass(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR,
                                 DWORD_PTR ref);

// The window procedure of our own classes that paint themselves and their text (group box,
// label): the data handed over at WM_NCCREATE, the mouse callbacks, text changes repainted,
// `paint` through a buffer.
using PaintFn = void (*)(HWND hwnd, ControlData* data, HDC dc, const RECT& rc);
LRESULT SelfPaintedProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, PaintFn paint);

// Passes BM_CLICK to a subclassed button. The system turns it into a press and release at
// (0,0); those are marked as not the user's while it runs.
LRESULT PassBmClick(HWND hwnd, ControlData* data, WPARAM wp, LPARAM lp);

}  // namespace veltrane::win32::skin::detail
