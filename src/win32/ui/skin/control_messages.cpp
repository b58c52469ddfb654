#include "ui/skin/control_messages.h"

#include "ui/skin/drawing.h"
#include "ui/skin/skin.h"

namespace veltrane::win32::skin::detail {
namespace {

MouseButton ButtonOf(UINT msg) {
  switch (msg) {
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
      return MouseButton::Right;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
      return MouseButton::Middle;
    default:
      return MouseButton::Left;
  }
}

POINT PointOf(LPARAM lp) {
  return POINT{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
}

// Memos, edits and passive surfaces give a press to the callback alone: a window drag must
// not also start a text selection.
bool PressIsExclusive(Kind kind) {
  return kind == Kind::Memo || kind == Kind::Edit || kind == Kind::Group || kind == Kind::Label ||
         kind == Kind::Panel;
}

}  // namespace

COLORREF BackgroundBehind(HWND child) {
  HWND parent = GetParent(child);
  if (parent && DataOf(parent))
    return static_cast<COLORREF>(SendMessageW(parent, kMsgBackground, 0, 0));
  return SkinManager::Instance().Colors().window;
}

COLORREF TextColorOf(const ControlData* data) {
  if (data && data->text_color) return *data->text_color;
  return SkinManager::Instance().Colors().text;
}

bool HandleContainer(HWND, UINT msg, WPARAM wp, LPARAM lp, COLORREF background, LRESULT* result) {
  const Palette& p = SkinManager::Instance().Colors();
  switch (msg) {
    case kMsgBackground:
      *result = static_cast<LRESULT>(background);
      return true;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORLISTBOX: {
      HDC dc = reinterpret_cast<HDC>(wp);
      ControlData* d = DataOf(reinterpret_cast<HWND>(lp));
      const COLORREF back = d && d->back_color ? *d->back_color : p.edit;
      SetTextColor(dc, TextColorOf(d));
      SetBkColor(dc, back);
      *result = reinterpret_cast<LRESULT>(SkinManager::Instance().Brush(back));
      return true;
    }
    case WM_CTLCOLORBTN:
      *result = reinterpret_cast<LRESULT>(SkinManager::Instance().Brush(background));
      return true;
    case WM_DRAWITEM: {
      auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lp);
      if (ControlData* d = DataOf(item->hwndItem)) {
        if (d->draw_item) d->draw_item(item, d);
        *result = TRUE;
        return true;
      }
      return false;
    }
    case WM_COMMAND:
      if (lp && HIWORD(wp) == BN_CLICKED) {
        ControlData* d = DataOf(reinterpret_cast<HWND>(lp));
        if (d && d->on_click) {
          Handler copy = d->on_click;  // the handler may replace itself
          copy();
        }
        *result = 0;
        return true;
      }
      return false;
    default:
      return false;
  }
}

bool HandleOwnText(HWND hwnd, ControlData* data, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
  switch (msg) {
    case WM_SETTEXT:
    case WM_ENABLE:
      *result = DefWindowProcW(hwnd, msg, wp, lp);
      InvalidateRect(hwnd, nullptr, FALSE);
      return true;
    case WM_GETFONT:
      *result = reinterpret_cast<LRESULT>(data->font);
      return true;
    default:
      return false;
  }
}

bool HandleMouse(HWND hwnd, ControlData* data, UINT msg, WPARAM, LPARAM lp, LRESULT* result) {
  switch (msg) {
    case WM_SETCURSOR: {
      if (data->cursor == CursorKind::Default || LOWORD(lp) != HTCLIENT) return false;
      LPCWSTR id = IDC_ARROW;
      if (data->cursor == CursorKind::Help) id = IDC_HELP;
      if (data->cursor == CursorKind::Hand) id = IDC_HAND;
      SetCursor(LoadCursorW(nullptr, id));
      *result = TRUE;
      return true;
    }
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      if (msg == WM_LBUTTONDOWN) data->pressed = true;
      if (data->on_mouse_down && !data->in_bm_click) {
        MouseHandler copy = data->on_mouse_down;
        copy(ButtonOf(msg), PointOf(lp));
        if (PressIsExclusive(data->kind)) {
          *result = 0;
          return true;
        }
      }
      return false;
    case WM_LBUTTONDBLCLK:
      if (data->on_double_click) {
        Handler copy = data->on_double_click;
        copy();
        if (PressIsExclusive(data->kind)) {
          *result = 0;
          return true;
        }
      }
      return false;
    case WM_MOUSEMOVE:
      if (!data->tracking) {
        TRACKMOUSEEVENT tme{sizeof(tme), TME_LEAVE, hwnd, 0};
        data->tracking = TrackMouseEvent(&tme) != FALSE;
        data->hot = true;
        InvalidateRect(hwnd, nullptr, FALSE);
      }
      if (data->on_mouse_move) {
        MoveHandler copy = data->on_mouse_move;
        copy(PointOf(lp));
      }
      return false;
    case WM_MOUSELEAVE:
      data->tracking = false;
      data->hot = false;
      InvalidateRect(hwnd, nullptr, FALSE);
      return false;
    default:
      return false;
  }
}

void HandleMouseAfter(HWND hwnd, ControlData* data, UINT msg, LPARAM lp) {
  switch (msg) {
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP: {
      const bool synthetic = data->in_bm_click;
      if (msg == WM_LBUTTONUP) data->pressed = false;
      RECT rc;
      GetClientRect(hwnd, &rc);
      const POINT pt = PointOf(lp);
      if (!synthetic && data->on_mouse_up && PtInRect(&rc, pt)) {
        MouseHandler copy = data->on_mouse_up;
        copy(ButtonOf(msg), pt);
      }
      break;
    }
    case WM_SETFOCUS:
      if (data->on_focus) {
        Handler copy = data->on_focus;
        copy();
      }
      break;
    default:
      break;
  }
}

LRESULT CALLBACK SkinnedSubclass(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR,
                                 DWORD_PTR ref) {
  auto* data = reinterpret_cast<ControlData*>(ref);
  if (msg == WM_NCDESTROY) {
    const LRESULT r = DefSubclassProc(hwnd, msg, wp, lp);
    Detach(hwnd);
    return r;
  }
  LRESULT result = 0;
  if (HandleMouse(hwnd, data, msg, wp, lp, &result)) return result;
  if (data->own_message && data->own_message(hwnd, data, msg, wp, lp, &result)) return result;
  const LRESULT r = DefSubclassProc(hwnd, msg, wp, lp);
  // A callback may have destroyed the window, and its data with it.
  if (!IsWindow(hwnd)) return r;
  if (data->after_message) data->after_message(hwnd, msg);
  HandleMouseAfter(hwnd, data, msg, lp);
  return r;
}

LRESULT SelfPaintedProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, PaintFn paint) {
  if (msg == WM_NCCREATE) AttachOwn(hwnd, TakeCreateData(lp));
  ControlData* data = DataOf(hwnd);
  if (!data) return DefWindowProcW(hwnd, msg, wp, lp);
  LRESULT result = 0;
  if (HandleMouse(hwnd, data, msg, wp, lp, &result)) return result;
  if (HandleOwnText(hwnd, data, msg, wp, lp, &result)) return result;
  switch (msg) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      PaintBuffered(hwnd, [&](HDC dc, const RECT& rc) { paint(hwnd, data, dc, rc); });
      return 0;
    case WM_NCDESTROY:
      Detach(hwnd);
      return DefWindowProcW(hwnd, msg, wp, lp);
    default:
      break;
  }
  const LRESULT r = DefWindowProcW(hwnd, msg, wp, lp);
  HandleMouseAfter(hwnd, data, msg, lp);
  return r;
}

LRESULT PassBmClick(HWND hwnd, ControlData* data, WPARAM wp, LPARAM lp) {
  data->in_bm_click = true;
  const LRESULT r = DefSubclassProc(hwnd, BM_CLICK, wp, lp);
  if (IsWindow(hwnd)) data->in_bm_click = false;
  return r;
}

}  // namespace veltrane::win32::skin::detail
