#include "ui/skin/scroll_bars.h"

#include "base/scoped.h"
#include "ui/skin/drawing.h"
#include "ui/skin/skin.h"

namespace veltrane::win32::skin::detail {
namespace {

void PaintScrollBar(HDC dc, const RECT& window, const SCROLLBARINFO& info, bool vertical) {
  if (info.rgstate[0] & (STATE_SYSTEM_INVISIBLE | STATE_SYSTEM_OFFSCREEN)) return;
  const Palette& p = SkinManager::Instance().Colors();
  RECT bar = info.rcScrollBar;
  OffsetRect(&bar, -window.left, -window.top);
  FillSolid(dc, bar, p.track);
  // The arrow buttons are square at both ends of the bar.
  const int button = vertical ? bar.right - bar.left : bar.bottom - bar.top;
  const bool disabled = (info.rgstate[0] & STATE_SYSTEM_UNAVAILABLE) != 0;
  const COLORREF arrow = disabled ? p.dim_text : p.text;
  for (int end = 0; end < 2; ++end) {
    RECT b = bar;
    if (vertical) {
      if (end == 0)
        b.bottom = b.top + button;
      else
        b.top = b.bottom - button;
    } else {
      if (end == 0)
        b.right = b.left + button;
      else
        b.left = b.right - button;
    }
    RECT face{b.left + 1, b.top + 1, b.right - 1, b.bottom - 1};
    FillSolid(dc, face, p.button);
    const int cx = (b.left + b.right) / 2, cy = (b.top + b.bottom) / 2;
    POINT tri[3];
    if (vertical) {
      const int d = end == 0 ? -1 : 1;
      tri[0] = {cx - 3, cy - 2 * d + d};
      tri[1] = {cx + 3, cy - 2 * d + d};
      tri[2] = {cx, cy + 2 * d};
    } else {
      const int d = end == 0 ? -1 : 1;
      tri[0] = {cx - 2 * d + d, cy - 3};
      tri[1] = {cx - 2 * d + d, cy + 3};
      tri[2] = {cx + 2 * d, cy};
    }
    const ScopedSelection brush(dc, SkinManager::Instance().Brush(arrow));
    const ScopedSelection pen(dc, GetStockObject(NULL_PEN));
    Polygon(dc, tri, 3);
  }
  if (!disabled && info.xyThumbBottom > info.xyThumbTop) {
    RECT thumb = bar;
    if (vertical) {
      thumb.top = bar.top + info.xyThumbTop;
      thumb.bottom = bar.top + info.xyThumbBottom;
      InflateRect(&thumb, -2, -1);
    } else {
      thumb.left = bar.left + info.xyThumbTop;
      thumb.right = bar.left + info.xyThumbBottom;
      InflateRect(&thumb, -1, -2);
    }
    FillSolid(dc, thumb, p.button_hot);
    FrameSolid(dc, thumb, Mix(p.button_hot, p.accent, 40));
  }
}

}  // namespace

void PaintScrollBars(HWND hwnd) {
  const LONG style = GetWindowLongW(hwnd, GWL_STYLE);
  if (!(style & (WS_VSCROLL | WS_HSCROLL)) || !IsWindowVisible(hwnd)) return;
  RECT window;
  GetWindowRect(hwnd, &window);
  const ScopedWindowDc dc = ScopedWindowDc::Whole(hwnd);
  SCROLLBARINFO v{}, h{};
  v.cbSize = h.cbSize = sizeof(SCROLLBARINFO);
  const bool has_v = (style & WS_VSCROLL) && GetScrollBarInfo(hwnd, OBJID_VSCROLL, &v);
  const bool has_h = (style & WS_HSCROLL) && GetScrollBarInfo(hwnd, OBJID_HSCROLL, &h);
  if (has_v) PaintScrollBar(dc.get(), window, v, true);
  if (has_h) PaintScrollBar(dc.get(), window, h, false);
  if (has_v && has_h && !(v.rgstate[0] & STATE_SYSTEM_INVISIBLE) &&
      !(h.rgstate[0] & STATE_SYSTEM_INVISIBLE)) {
    RECT corner{v.rcScrollBar.left, h.rcScrollBar.top, v.rcScrollBar.right, h.rcScrollBar.bottom};
    OffsetRect(&corner, -window.left, -window.top);
    FillSolid(dc.get(), corner, SkinManager::Instance().Colors().track);
  }
}

bool MayDrawScrollBars(UINT msg) {
  switch (msg) {
    case WM_VSCROLL:
    case WM_HSCROLL:
    case WM_MOUSEWHEEL:
    case WM_NCLBUTTONDOWN:
    case WM_NCLBUTTONUP:
    case WM_NCLBUTTONDBLCLK:
    case WM_NCMOUSEMOVE:
    case WM_SETTEXT:
    case WM_SIZE:
    case WM_WINDOWPOSCHANGED:
    case WM_KEYDOWN:
    case WM_ENABLE:
    case EM_REPLACESEL:
    case EM_SCROLLCARET:
    case EM_LINESCROLL:
    case LB_ADDSTRING:
    case LB_INSERTSTRING:
    case LB_DELETESTRING:
    case LB_RESETCONTENT:
    case LB_SETTOPINDEX:
    case LB_SETCURSEL:
      return true;
    default:
      return false;
  }
}

bool ScrolledFrameMessage(HWND hwnd, ControlData*, UINT& msg, WPARAM wp, LPARAM lp,
                          LRESULT* result) {
  if (msg != WM_NCPAINT) return false;
  *result = DefSubclassProc(hwnd, msg, wp, lp);
  PaintNonClientBorder(hwnd, SkinManager::Instance().Colors().frame, std::nullopt);
  PaintScrollBars(hwnd);
  return true;
}

void AfterScrolledFrameMessage(HWND hwnd, UINT msg) {
  if (MayDrawScrollBars(msg)) PaintScrollBars(hwnd);
}

}  // namespace veltrane::win32::skin::detail
