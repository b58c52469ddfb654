#pragma once
// Shared plumbing of the skinned controls; not part of the library's interface.
#include <windows.h>
// needs the types of windows.h
#include <commctrl.h>

#include <optional>
#include <string>

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

// Per-control state, attached as a window property and freed at WM_NCDESTROY.
struct ControlData {
  explicit ControlData(Kind k) : kind(k) {}
  Kind kind;
  HFONT font = nullptr;
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

  SUBCLASSPROC subclass = nullptr;
};

ControlData* DataOf(HWND hwnd);
// Attaches data to a window of our own class (at WM_NCCREATE).
void AttachOwn(HWND hwnd, ControlData* data);
// Attaches data to a system control (EDIT, BUTTON, LISTBOX) by subclassing it.
void AttachSubclass(HWND hwnd, ControlData* data, SUBCLASSPROC proc);
// Detaches and frees the data (WM_NCDESTROY).
void Detach(HWND hwnd);

// Private messages between our windows.
enum : UINT {
  kMsgBackground = WM_APP + 0x3A0,  // returns the COLORREF a child paints its background with
};

COLORREF BackgroundBehind(HWND child);
COLORREF TextColorOf(const ControlData* data);

// Handles what a container (content panel, group box, title bar) does for its skinned children:
// control colours, owner drawing, click notifications. True when the message was handled.
bool HandleContainer(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, COLORREF background,
                     LRESULT* result);

// Paints an owner-drawn push button or check list item.
void DrawOwnerItem(const DRAWITEMSTRUCT* item, ControlData* data);

// Mouse callbacks and cursor for any control, before the control's own handling; true when the
// message is consumed.
bool HandleMouse(HWND hwnd, ControlData* data, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result);
// Text, enabled state and font of a control that paints its own text: a change repaints it.
// True when the message was handled.
bool HandleOwnText(HWND hwnd, ControlData* data, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result);
// Callbacks that must run after the control's own handling (mouse-up after a check box has
// toggled, focus after an edit has set up its caret).
void HandleMouseAfter(HWND hwnd, ControlData* data, UINT msg, LPARAM lp);

// Double-buffered painting: `draw` paints the whole client area into a memory DC.
template <typename Draw>
void PaintBuffered(HWND hwnd, Draw&& draw) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd, &ps);
  RECT rc;
  GetClientRect(hwnd, &rc);
  const int w = rc.right > 0 ? rc.right : 1, h = rc.bottom > 0 ? rc.bottom : 1;
  HDC mem = CreateCompatibleDC(dc);
  HBITMAP bmp = CreateCompatibleBitmap(dc, w, h);
  HGDIOBJ old = SelectObject(mem, bmp);
  draw(mem, rc);
  BitBlt(dc, 0, 0, w, h, mem, 0, 0, SRCCOPY);
  SelectObject(mem, old);
  DeleteObject(bmp);
  DeleteDC(mem);
  EndPaint(hwnd, &ps);
}

void FillSolid(HDC dc, const RECT& rc, COLORREF color);
void FrameSolid(HDC dc, const RECT& rc, COLORREF color);
void Line(HDC dc, int x1, int y1, int x2, int y2, COLORREF color, int width = 1);
COLORREF Mix(COLORREF a, COLORREF b, int percent_b);
std::wstring WindowTextW(HWND hwnd);

// Registers the library's window classes once.
void RegisterClasses();
void RegisterFrameClasses();
extern const wchar_t kPanelClass[];
extern const wchar_t kGroupClass[];
extern const wchar_t kLabelClass[];
extern const wchar_t kProgressClass[];
extern const wchar_t kTitleBarClass[];
extern const wchar_t kTitleItemClass[];

}  // namespace veltrane::win32::skin::detail
