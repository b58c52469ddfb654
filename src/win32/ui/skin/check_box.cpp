#include "ui/skin/check_box.h"

#include <algorithm>

#include "base/scoped.h"
#include "ui/skin/control_creation.h"
#include "ui/skin/control_messages.h"
#include "ui/skin/drawing.h"

namespace veltrane::win32::skin {
namespace {

using detail::ControlData;

bool RepaintsItself(UINT msg) {
  switch (msg) {
    case BM_SETCHECK:
    case BM_SETSTATE:
    case BM_CLICK:
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_ENABLE:
    case WM_SETTEXT:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_LBUTTONUP:
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CAPTURECHANGED:
    case WM_UPDATEUISTATE:
    case WM_MOUSELEAVE:
      return true;
    default:
      return false;
  }
}

void PaintCheckBox(HWND hwnd, ControlData* data, HDC dc, const RECT& rc) {
  const Palette& p = SkinManager::Instance().Colors();
  detail::FillSolid(dc, rc, detail::BackgroundBehind(hwnd));
  const bool enabled = IsWindowEnabled(hwnd) != FALSE;
  const bool checked = SendMessageW(hwnd, BM_GETCHECK, 0, 0) == BST_CHECKED;
  const int top = (rc.bottom - rc.top - 13) / 2;
  RECT box{rc.left + 1, top, rc.left + 14, top + 13};
  detail::DrawCheckBoxSquare(dc, box, checked, data->hot, enabled, p.edit);
  {
    const ScopedSelection font(dc, data->font);
    const std::wstring text = detail::WindowTextW(hwnd);
    const bool wrap = (GetWindowLongW(hwnd, GWL_STYLE) & BS_MULTILINE) != 0;
    UINT format = DT_LEFT | DT_NOPREFIX | (wrap ? DT_WORDBREAK : DT_SINGLELINE | DT_VCENTER);
    RECT out{rc.left + 19, rc.top, rc.right, rc.bottom};
    if (wrap) {
      RECT measure = out;
      DrawTextW(dc, text.c_str(), -1, &measure, format | DT_CALCRECT);
      const int height = measure.bottom - measure.top;
      out.top = rc.top + std::max<LONG>(0, (rc.bottom - rc.top - height) / 2);
    }
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, enabled ? (data->hot ? p.accent_hot : detail::TextColorOf(data)) : p.dim_text);
    DrawTextW(dc, text.c_str(), -1, &out, format);
  }
  detail::RedrawGroupOutline(hwnd, dc);
}

// A subclassed BS_AUTOCHECKBOX: the system keeps its state and keys, the skin paints it.
bool CheckBoxMessage(HWND hwnd, ControlData* data, UINT& msg, WPARAM wp, LPARAM lp,
                     LRESULT* result) {
  switch (msg) {
    case BM_CLICK:
      *result = detail::PassBmClick(hwnd, data, wp, lp);
      if (IsWindow(hwnd)) RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
      return true;
    case WM_ERASEBKGND:
      *result = 1;
      return true;
    case WM_PAINT:
      detail::PaintBuffered(hwnd,
                            [&](HDC dc, const RECT& rc) { PaintCheckBox(hwnd, data, dc, rc); });
      *result = 0;
      return true;
    default:
      return false;
  }
}

// The system check box paints straight to the screen on state changes; paint over it.
void AfterCheckBoxMessage(HWND hwnd, UINT msg) {
  if (RepaintsItself(msg)) RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
}

}  // namespace

HWND CreateCheckBox(HWND parent, const ControlDesc& desc, bool checked, bool word_wrap) {
  HWND box = detail::CreateSystem(
      L"BUTTON", parent, desc,
      detail::BaseStyle(desc) | WS_TABSTOP | BS_AUTOCHECKBOX | (word_wrap ? BS_MULTILINE : 0),
      detail::NewData(detail::Kind::CheckBox, desc), CheckBoxMessage, AfterCheckBoxMessage);
  if (box && checked) SendMessageW(box, BM_SETCHECK, BST_CHECKED, 0);
  return box;
}

bool IsChecked(HWND check_box) {
  return SendMessageW(check_box, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void SetChecked(HWND check_box, bool checked) {
  SendMessageW(check_box, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

}  // namespace veltrane::win32::skin
