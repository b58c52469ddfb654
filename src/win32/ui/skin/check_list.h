#pragma once
#include <windows.h>

#include <string>
#include <string_view>

#include "ui/skin/control_desc.h"

namespace veltrane::win32::skin {

// Check list box: owner-drawn LISTBOX, item height 16, check marks toggled by the mouse (or
// the space key). An item's check flag is its item data (LB_GETITEMDATA / LB_SETITEMDATA,
// 1 = checked), so another process can read and set it too. Defaults: background
// RGB 38,49,56, text RGB 230,238,255, Tahoma 11 px.
HWND CreateCheckList(HWND parent, const ControlDesc& desc);
void CheckListClear(HWND list);
int CheckListAdd(HWND list, std::string_view text);  // added unchecked; returns its index
int CheckListCount(HWND list);
std::string CheckListText(HWND list, int index);
bool CheckListChecked(HWND list, int index);
void CheckListSetChecked(HWND list, int index, bool checked);

inline constexpr COLORREF kCheckListBack = RGB(38, 49, 56);

}  // namespace veltrane::win32::skin
