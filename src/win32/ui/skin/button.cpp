#include "ui/skin/button.h"

#include "base/scoped.h"
#include "ui/skin/control_creation.h"
#include "ui/skin/control_messages.h"
#include "ui/skin/drawing.h"

namespace veltrane::win32::skin {
namespace {

using detail::ControlData;

// An owner-drawn BUTTON: its container paints it (DrawButton) on WM_DRAWITEM.
bool ButtonMessage(HWND hwnd, ControlData* data, UINT& msg, WPARAM wp, LPARAM lp, LRESULT* result) {
  switch (msg) {
    case BM_CLICK:
      *result = detail::PassBmClick(hwnd, data, wp, lp);
      return true;
    case WM_LBUTTONDBLCLK:
      // Owner-drawn buttons turn a quick second click into BN_DOUBLECLICKED; keep it a click.
      msg = WM_LBUTTONDOWN;
      return false;
    case WM_ERASEBKGND:
      *result = 1;
      return true;
    default:
      return false;
  }
}

void DrawButton(const DRAWITEMSTRUCT* item, ControlData* data) {
  using detail::FillSolid;
  using detail::Mix;
  const Palette& p = SkinManager::Instance().Colors();
  HDC dc = item->hDC;
  const RECT& rc = item->rcItem;
  const bool disabled = (item->itemState & ODS_DISABLED) != 0;
  const bool pressed = (item->itemState & ODS_SELECTED) != 0;
  FillSolid(dc, rc, detail::BackgroundBehind(item->hwndItem));
  COLORREF face = p.button, edge = Mix(p.frame, p.button, 30);
  if (disabled) {
    face = Mix(p.button, p.panel, 60);
    edge = Mix(p.frame, p.panel, 60);
  } else if (pressed) {
    face = p.button_down;
    edge = p.accent;
  } else if (data->hot) {
    face = p.button_hot;
    edge = p.accent;
  }
  {
    const ScopedSelection brush(dc, SkinManager::Instance().Brush(face));
    const ScopedPen pen(CreatePen(PS_SOLID, 1, edge));
    const ScopedSelection select_pen(dc, pen.get());
    RoundRect(dc, rc.left, rc.top, rc.right, rc.bottom, 5, 5);
  }
  if (!disabled && !pressed) {
    // A faint highlight along the top edge gives the face some depth.
    detail::Line(dc, rc.left + 2, rc.top + 1, rc.right - 2, rc.top + 1,
                 Mix(face, RGB(255, 255, 255), 10));
  }
  const ScopedSelection font(dc, data->font);
  const std::wstring text = detail::WindowTextW(item->hwndItem);
  RECT out = rc;
  if (pressed) OffsetRect(&out, 0, 1);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(
      dc, disabled ? p.dim_text : (data->hot ? RGB(255, 255, 255) : detail::TextColorOf(data)));
  DrawTextW(dc, text.c_str(), -1, &out,
            DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
}

HWND Create(HWND parent, const ControlDesc& desc, detail::Kind kind) {
  auto data = detail::NewData(kind, desc);
  data->draw_item = DrawButton;
  return detail::CreateSystem(L"BUTTON", parent, desc,
                              detail::BaseStyle(desc) | WS_TABSTOP | BS_OWNERDRAW, std::move(data),
                              ButtonMessage);
}

}  // namespace

HWND CreateButton(HWND parent, const ControlDesc& desc) {
  return Create(parent, desc, detail::Kind::Button);
}

HWND CreatePlainButton(HWND parent, const ControlDesc& desc) {
  return Create(parent, desc, detail::Kind::PlainButton);
}

}  // namespace veltrane::win32::skin
