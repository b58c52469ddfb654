#pragma once
// How the control factories make their windows: the common styles and data, a window of one of
// our own classes, or a subclassed system control; and the registration of our classes.
#include <windows.h>
// needs the types of windows.h
#include <commctrl.h>

#include <memory>

#include "ui/skin/control_data.h"
#include "ui/skin/control_desc.h"

namespace veltrane::win32::skin::detail {

DWORD BaseStyle(const ControlDesc& desc);
// Data with the description's font and colours.
std::unique_ptr<ControlData> NewData(Kind kind, const ControlDesc& desc);

// A window of one of our classes; its procedure takes `data` at WM_NCCREATE (TakeCreateData).
HWND CreateOwn(const wchar_t* cls, HWND parent, const ControlDesc& desc, DWORD style,
               DWORD ex_style, std::unique_ptr<ControlData> data);
// A system control (EDIT, BUTTON, LISTBOX) in the data's font, subclassed with SkinnedSubclass:
// `own` and `after` are its own part of the message handling (either may be null).
HWND CreateSystem(const wchar_t* cls, HWND parent, const ControlDesc& desc, DWORD style,
                  std::unique_ptr<ControlData> data, OwnMessageFn own,
                  AfterMessageFn after = nullptr);

// Registers one of our own window classes, with the arrow cursor and no background brush.
void RegisterOwnClass(const wchar_t* name, WNDPROC proc, UINT style);

// Registers every window class of the skin, once.
void RegisterClasses();
// Each file's own classes, for RegisterClasses.
void RegisterGroupBoxClass();
void RegisterLabelClass();
void RegisterProgressBarClass();
void RegisterFrameClasses();

}  // namespace veltrane::win32::skin::detail
