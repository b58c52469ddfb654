#pragma once
// Skinned controls. Each factory creates a child window of `parent` (a frame's content panel,
// a group box, or any window made by this library), in the parent's client coordinates, whose
// window text is its caption. Callbacks, hints and cursors are set afterwards with the helpers
// of skin.h (SetOnClick, SetOnMouseDown, SetHint, SetCursorKind...).
//
// All functions belong to the UI thread. A worker thread that wants to move a progress bar
// posts PBM_SETPOS to it (PostMessageW) instead of calling anything here.
#include <windows.h>
// needs the types of windows.h
#include <commctrl.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/skin/skin.h"

namespace veltrane::win32::skin {

struct ControlSpec {
  int left = 0, top = 0, width = 0, height = 0;
  std::string text;
  FontSpec font;                       // Tahoma 8 pt by default
  std::optional<COLORREF> text_color;  // the skin's text colour when unset
  std::optional<COLORREF> back_color;  // memo, edit, check list: the skin's when unset
  bool visible = true;
  bool enabled = true;
  int id = 0;
};

// Group box with its caption at the top right. It takes mouse input over its own surface only
// (children keep theirs): SetOnMouseDown / SetOnMouseMove.
HWND CreateGroupBox(HWND parent, const ControlSpec& desc);

// Read-only multi-line memo with both scroll bars; arrow cursor. A mouse-down callback takes
// presses over the text (no selection), a double-click callback still fires.
HWND CreateMemo(HWND parent, const ControlSpec& desc);
// Appends one line (CR LF inside `text` gives several) and scrolls it into view.
void MemoAppendLine(HWND memo, std::string_view text);
std::vector<std::string> MemoLines(HWND memo);
void MemoSetLines(HWND memo, const std::vector<std::string>& lines);

// Read-only single-line edit, dark, arrow cursor; callbacks: double click, mouse-down, focus.
HWND CreateReadOnlyEdit(HWND parent, const ControlSpec& desc);

// Fixed-size label, text centred horizontally and vertically (CR LF breaks lines).
HWND CreateLabel(HWND parent, const ControlSpec& desc);
void SetLabelColor(HWND label, COLORREF color);

// Push button drawn in the skin (hover, pressed and disabled looks); BM_CLICK works and fires
// the click callback.
HWND CreateButton(HWND parent, const ControlSpec& desc);
// The plain button (e.g. an off-screen focus sink): drawn in the skin, flat.
HWND CreatePlainButton(HWND parent, const ControlSpec& desc);

// Check box drawn in the skin; BM_GETCHECK / BM_SETCHECK / BM_CLICK and the space key keep
// working. The mouse-up callback fires for real mouse releases over the box only (not for
// BM_CLICK), after the click has toggled it. Text wraps when `word_wrap` is set.
HWND CreateCheckBox(HWND parent, const ControlSpec& desc, bool checked, bool word_wrap = true);
bool IsChecked(HWND check_box);
void SetChecked(HWND check_box, bool checked);

// Progress bar drawn in the skin, driven by the standard messages: PBM_SETRANGE,
// PBM_SETRANGE32, PBM_GETRANGE, PBM_SETPOS, PBM_GETPOS, PBM_DELTAPOS, PBM_SETSTEP, PBM_STEPIT,
// PBM_SETMARQUEE. A maximum below the minimum is raised to the minimum; the position always
// stays inside the range.
HWND CreateProgressBar(HWND parent, const ControlSpec& desc);
bool ProgressIsMarquee(HWND bar);

// Check list box: owner-drawn LISTBOX, item height 16, check marks toggled by the mouse (or
// the space key). An item's check flag is its item data (LB_GETITEMDATA / LB_SETITEMDATA,
// 1 = checked), so another process can read and set it too. Defaults: background
// RGB 38,49,56, text RGB 230,238,255, Tahoma 11 px.
HWND CreateCheckList(HWND parent, const ControlSpec& desc);
void CheckListClear(HWND list);
int CheckListAdd(HWND list, std::string_view text);  // added unchecked; returns its index
int CheckListCount(HWND list);
std::string CheckListText(HWND list, int index);
bool CheckListChecked(HWND list, int index);
void CheckListSetChecked(HWND list, int index, bool checked);

inline constexpr COLORREF kCheckListBack = RGB(38, 49, 56);

// Folder dialog rooted at the desktop. The start folder is selected first and, when it exists,
// also becomes the process's working directory. Returns the chosen folder, or nullopt on Cancel.
std::optional<std::string> BrowseForFolder(HWND owner, std::string_view start_folder_utf8);

}  // namespace veltrane::win32::skin
