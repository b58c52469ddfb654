#pragma once
// What each skinned control remembers, and how that is tied to its window: a window property
// for our own window classes, a subclass for the system's EDIT, BUTTON and LISTBOX. The data
// lives until the window's WM_NCDESTROY.
#include <windows.h>
// needs the types of windows.h
#include <commctrl.h>

#include <memory>
#include <optional>

#include "ui/skin/skin.h"

namespace veltrane::win32::skin::detail {

enum class Kind {
  Panel,
  Group,
  Memo,
  Edit,
  Label,
  Button,
  PlainButton,
  CheckBox,
  Progress,
  CheckList,
  TitleBar,
  TitleItem,
  CloseButton
};

struct ControlData;
// Paints one item of an owner-drawn control (push button, check list row) for its container.
using DrawItemFn = void (*)(const DRAWITEMSTRUCT* item, ControlData* data);
// A subclassed system control's own handling of a message, after the mouse callbacks: true when
// it answered it (*result); else it may change the message the system's procedure gets.
using OwnMessageFn = bool (*)(HWND hwnd, ControlData* data, UINT& msg, WPARAM wp, LPARAM lp,
                              LRESULT* result);
// What a subclassed system control does once the system's procedure has handled a message.
using AfterMessageFn = void (*)(HWND hwnd, UINT msg);

struct ControlData {
  explicit ControlData(Kind k) : kind(k) {}
  Kind kind;
  HFONT font = nullptr;  // owned by the SkinManager's cache
  std::optional<COLORREF> text_color;
  std::optional<COLORREF> back_color;
  CursorKind cursor = CursorKind::Default;

  Handler on_click, on_double_click, on_focus;
  MouseHandler on_mouse_down, on_mouse_up;
  MoveHandler on_mouse_move;

  bool hot = false;          // mouse over the control
  bool pressed = false;      // left button went down on it
  bool tracking = false;     // WM_MOUSELEAVE requested
  bool in_bm_click = false;  // synthetic press from BM_CLICK, not a real mouse release

  // Progress bar.
  int min = 0, max = 100, pos = 0, step = 10;
  bool marquee = false;
  int marquee_offset = 0;

  // Title item.
  int width = 0;

  // Single-line edit: blank rows above the text, so it sits in the middle.
  // Group box: where its outline starts below the caption.
  int pad = 0;

  // Memo: holds at least one line even when its text is empty (a first line that was empty).
  bool has_lines = false;

  DrawItemFn draw_item = nullptr;  // owner-drawn controls
  // Subclassed system controls.
  SUBCLASSPROC subclass = nullptr;
  OwnMessageFn own_message = nullptr;
  AfterMessageFn after_message = nullptr;
};

ControlData* DataOf(HWND hwnd);
// Attaches data to a window of our own class (at WM_NCCREATE).
void AttachOwn(HWND hwnd, std::unique_ptr<ControlData> data);
// At WM_NCCREATE of a window made by CreateOwn: takes the data it handed to CreateWindowExW.
std::unique_ptr<ControlData> TakeCreateData(LPARAM create_struct);
// Attaches data to a system control (EDIT, BUTTON, LISTBOX) by subclassing it.
void AttachSubclass(HWND hwnd, std::unique_ptr<ControlData> data, SUBCLASSPROC proc);
// Detaches and frees the data (WM_NCDESTROY).
void Detach(HWND hwnd);

}  // namespace veltrane::win32::skin::detail
