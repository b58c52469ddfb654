#include "ui/skin/controls.h"

#include <commctrl.h>
#include <shlobj.h>

#include <algorithm>

#include "base/wide.h"
#include "ui/skin/skin_internal.h"

namespace veltrane::win32::skin {

using detail::ControlData;
using detail::DataOf;
using detail::Kind;

namespace detail {

const wchar_t kGroupClass[] = L"VeltraneSkinGroupBox";
const wchar_t kLabelClass[] = L"VeltraneSkinLabel";
const wchar_t kProgressClass[] = L"VeltraneSkinProgressBar";

namespace {

constexpr UINT_PTR kMarqueeTimer = 1;

void DrawCheckMark(HDC dc, const RECT& box, COLORREF color) {
  const int x = box.left, y = box.top, s = box.right - box.left;
  const POINT mark[] = {{x + 2, y + s / 2}, {x + s * 2 / 5, y + s - 3}, {x + s - 3, y + 2}};
  HPEN pen = CreatePen(PS_SOLID, 2, color);
  HGDIOBJ old = SelectObject(dc, pen);
  Polyline(dc, mark, 3);
  SelectObject(dc, old);
  DeleteObject(pen);
}

void DrawCheckBoxSquare(HDC dc, const RECT& box, bool checked, bool hot, bool enabled,
                        COLORREF back) {
  const Palette& p = SkinManager::Instance().Colors();
  FillSolid(dc, box, back);
  FrameSolid(dc, box, enabled ? (hot ? p.accent_hot : p.frame) : p.dim_text);
  if (checked) DrawCheckMark(dc, box, enabled ? p.accent : p.dim_text);
}

// ---- group box ----

void PaintGroup(HWND hwnd, ControlData* data, HDC dc, const RECT& rc) {
  const Palette& p = SkinManager::Instance().Colors();
  FillSolid(dc, rc, BackgroundBehind(hwnd));
  HGDIOBJ old_font = SelectObject(dc, data->font);
  const std::wstring caption = WindowTextW(hwnd);
  SIZE extent{0, 0};
  TEXTMETRICW tm{};
  GetTextMetricsW(dc, &tm);
  if (!caption.empty())
    GetTextExtentPoint32W(dc, caption.c_str(), static_cast<int>(caption.size()), &extent);
  const int top = caption.empty() ? 0 : tm.tmHeight / 2;
  data->pad = top;  // children that overlap the outline redraw it from here
  RECT box{rc.left, rc.top + top, rc.right, rc.bottom};
  FillSolid(dc, box, p.panel);
  FrameSolid(dc, box, p.frame);
  if (!caption.empty()) {
    // Caption at the top right, cut into the outline.
    RECT text{rc.right - 10 - extent.cx, rc.top, rc.right - 10, rc.top + tm.tmHeight};
    RECT gap{text.left - 4, box.top, text.right + 4, box.top + 1};
    FillSolid(dc, gap, p.panel);
    RECT accent{gap.left - 1, box.top - 1, gap.left, box.top + 2};
    FillSolid(dc, accent, p.accent);
    RECT accent2{gap.right, box.top - 1, gap.right + 1, box.top + 2};
    FillSolid(dc, accent2, p.accent);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, IsWindowEnabled(hwnd) ? TextColorOf(data) : p.dim_text);
    DrawTextW(dc, caption.c_str(), -1, &text, DT_RIGHT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
  }
  SelectObject(dc, old_font);
}

LRESULT CALLBACK GroupProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    AttachOwn(hwnd,
              static_cast<ControlData*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams));
  }
  ControlData* data = DataOf(hwnd);
  if (!data) return DefWindowProcW(hwnd, msg, wp, lp);
  LRESULT result = 0;
  if (HandleContainer(hwnd, msg, wp, lp, SkinManager::Instance().Colors().panel, &result))
    return result;
  if (HandleMouse(hwnd, data, msg, wp, lp, &result)) return result;
  if (HandleOwnText(hwnd, data, msg, wp, lp, &result)) return result;
  switch (msg) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      PaintBuffered(hwnd, [&](HDC dc, const RECT& rc) { PaintGroup(hwnd, data, dc, rc); });
      return 0;
    case WM_SETFONT:
      data->font = reinterpret_cast<HFONT>(wp);
      if (lp) InvalidateRect(hwnd, nullptr, FALSE);
      return 0;
    case WM_NCDESTROY:
      Detach(hwnd);
      return DefWindowProcW(hwnd, msg, wp, lp);
    default:
      break;
  }
  LRESULT r = DefWindowProcW(hwnd, msg, wp, lp);
  HandleMouseAfter(hwnd, data, msg, lp);
  return r;
}

// A child that overlaps its group box's outline (a check box laid out flush with the group's
// edge) paints the outline back over its own background.
void RedrawGroupOutline(HWND child, HDC dc) {
  HWND parent = GetParent(child);
  ControlData* group = parent ? DataOf(parent) : nullptr;
  if (!group || group->kind != Kind::Group) return;
  RECT outline;
  GetClientRect(parent, &outline);
  outline.top += group->pad;
  MapWindowPoints(parent, child, reinterpret_cast<POINT*>(&outline), 2);
  FrameSolid(dc, outline, SkinManager::Instance().Colors().frame);
}

// ---- label ----

void PaintLabel(HWND hwnd, ControlData* data, HDC dc, const RECT& rc) {
  const Palette& p = SkinManager::Instance().Colors();
  FillSolid(dc, rc, BackgroundBehind(hwnd));
  HGDIOBJ old = SelectObject(dc, data->font);
  const std::wstring text = WindowTextW(hwnd);
  const UINT format = DT_CENTER | DT_WORDBREAK | DT_NOPREFIX;
  RECT measure = rc;
  DrawTextW(dc, text.c_str(), -1, &measure, format | DT_CALCRECT);
  RECT out = rc;
  const int height = measure.bottom - measure.top;
  out.top = rc.top + (rc.bottom - rc.top - height) / 2;
  out.bottom = out.top + height;
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, IsWindowEnabled(hwnd) ? TextColorOf(data) : p.dim_text);
  DrawTextW(dc, text.c_str(), -1, &out, format);
  SelectObject(dc, old);
}

LRESULT CALLBACK LabelProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    AttachOwn(hwnd,
              static_cast<ControlData*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams));
  }
  ControlData* data = DataOf(hwnd);
  if (!data) return DefWindowProcW(hwnd, msg, wp, lp);
  LRESULT result = 0;
  if (HandleMouse(hwnd, data, msg, wp, lp, &result)) return result;
  if (HandleOwnText(hwnd, data, msg, wp, lp, &result)) return result;
  switch (msg) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      PaintBuffered(hwnd, [&](HDC dc, const RECT& rc) { PaintLabel(hwnd, data, dc, rc); });
      return 0;
    case WM_NCDESTROY:
      Detach(hwnd);
      return DefWindowProcW(hwnd, msg, wp, lp);
    default:
      break;
  }
  LRESULT r = DefWindowProcW(hwnd, msg, wp, lp);
  HandleMouseAfter(hwnd, data, msg, lp);
  return r;
}

// ---- progress bar ----

void PaintProgress(ControlData* data, HDC dc, const RECT& rc) {
  const Palette& p = SkinManager::Instance().Colors();
  FillSolid(dc, rc, p.track);
  FrameSolid(dc, rc, Mix(p.frame, p.track, 30));
  RECT inner{rc.left + 1, rc.top + 1, rc.right - 1, rc.bottom - 1};
  const int span = inner.right - inner.left;
  RECT fill = inner;
  if (data->marquee) {
    const int block = std::max(span / 4, 8);
    const int start = inner.left + (data->marquee_offset % (span + block)) - block;
    fill.left = std::max<LONG>(inner.left, start);
    fill.right = std::min<LONG>(inner.right, start + block);
  } else {
    const long long range = static_cast<long long>(data->max) - data->min;
    const long long done = static_cast<long long>(data->pos) - data->min;
    fill.right = inner.left + static_cast<LONG>(range > 0 ? done * span / range : 0);
  }
  if (fill.right <= fill.left) return;
  FillSolid(dc, fill, p.accent);
  RECT shine = fill;
  shine.bottom = fill.top + (fill.bottom - fill.top) / 2;
  FillSolid(dc, shine, Mix(p.accent, RGB(255, 255, 255), 18));
}

LRESULT PreviousRange(const ControlData* data) {
  return MAKELONG(static_cast<WORD>(data->min), static_cast<WORD>(data->max));
}

void SetRange(HWND hwnd, ControlData* data, int min, int max) {
  // The platform's bar throws on max < min; raising the maximum keeps a bad range harmless.
  data->min = min;
  data->max = std::max(min, max);
  data->pos = std::clamp(data->pos, data->min, data->max);
  InvalidateRect(hwnd, nullptr, FALSE);
}

int SetPos(HWND hwnd, ControlData* data, long long pos) {
  const int previous = data->pos;
  data->pos = static_cast<int>(std::clamp<long long>(pos, data->min, data->max));
  if (data->pos != previous) InvalidateRect(hwnd, nullptr, FALSE);
  return previous;
}

LRESULT CALLBACK ProgressProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) AttachOwn(hwnd, new ControlData(Kind::Progress));
  ControlData* data = DataOf(hwnd);
  if (!data) return DefWindowProcW(hwnd, msg, wp, lp);
  switch (msg) {
    case PBM_SETRANGE: {
      const LRESULT previous = PreviousRange(data);
      SetRange(hwnd, data, LOWORD(lp), HIWORD(lp));
      return previous;
    }
    case PBM_SETRANGE32: {
      const LRESULT previous = PreviousRange(data);
      SetRange(hwnd, data, static_cast<int>(wp), static_cast<int>(lp));
      return previous;
    }
    case PBM_GETRANGE:
      if (lp) {
        auto* range = reinterpret_cast<PBRANGE*>(lp);
        range->iLow = data->min;
        range->iHigh = data->max;
      }
      return wp ? data->min : data->max;
    case PBM_SETPOS:
      return SetPos(hwnd, data, static_cast<int>(wp));
    case PBM_GETPOS:
      return data->pos;
    case PBM_DELTAPOS:
      return SetPos(hwnd, data, static_cast<long long>(data->pos) + static_cast<int>(wp));
    case PBM_SETSTEP: {
      const int previous = data->step;
      data->step = static_cast<int>(wp);
      return previous;
    }
    case PBM_STEPIT: {
      long long next = static_cast<long long>(data->pos) + data->step;
      if (next > data->max) next = data->min + (next - data->max);  // wraps like the system's
      return SetPos(hwnd, data, next);
    }
    case PBM_SETMARQUEE: {
      const bool on = wp != 0;
      const LONG style = GetWindowLongW(hwnd, GWL_STYLE);
      SetWindowLongW(hwnd, GWL_STYLE, on ? (style | PBS_MARQUEE) : (style & ~PBS_MARQUEE));
      if (on) {
        SetTimer(hwnd, kMarqueeTimer, lp > 0 ? static_cast<UINT>(lp) : 30, nullptr);
      } else if (data->marquee) {
        KillTimer(hwnd, kMarqueeTimer);
      }
      data->marquee = on;
      InvalidateRect(hwnd, nullptr, FALSE);
      return on;
    }
    case PBM_SETBARCOLOR:
    case PBM_SETBKCOLOR:
      return CLR_DEFAULT;  // the skin decides the colours
    case WM_TIMER:
      if (wp == kMarqueeTimer) {
        data->marquee_offset += 4;
        InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
      }
      break;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      PaintBuffered(hwnd, [&](HDC dc, const RECT& rc) { PaintProgress(data, dc, rc); });
      return 0;
    case WM_NCDESTROY:
      Detach(hwnd);
      break;
    default:
      break;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

// ---- subclassed system controls ----

void PaintNonClientBorder(HWND hwnd, COLORREF border, std::optional<COLORREF> fill) {
  HDC dc = GetWindowDC(hwnd);
  RECT wr;
  GetWindowRect(hwnd, &wr);
  RECT rc{0, 0, wr.right - wr.left, wr.bottom - wr.top};
  if (fill) {
    RECT client;
    GetClientRect(hwnd, &client);
    POINT origin{0, 0};
    ClientToScreen(hwnd, &origin);
    const int x = origin.x - wr.left, y = origin.y - wr.top;
    ExcludeClipRect(dc, x, y, x + client.right, y + client.bottom);
    FillSolid(dc, rc, *fill);
  }
  FrameSolid(dc, rc, border);
  ReleaseDC(hwnd, dc);
}

// Paints the system scroll bars of a memo or list over in the skin. The system keeps
// hit-testing and tracking them; this only replaces their grey look, after each message that
// may have drawn them.
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
    HGDIOBJ old_brush = SelectObject(dc, SkinManager::Instance().Brush(arrow));
    HGDIOBJ old_pen = SelectObject(dc, GetStockObject(NULL_PEN));
    Polygon(dc, tri, 3);
    SelectObject(dc, old_pen);
    SelectObject(dc, old_brush);
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

void PaintScrollBars(HWND hwnd) {
  const LONG style = GetWindowLongW(hwnd, GWL_STYLE);
  if (!(style & (WS_VSCROLL | WS_HSCROLL)) || !IsWindowVisible(hwnd)) return;
  RECT window;
  GetWindowRect(hwnd, &window);
  HDC dc = GetWindowDC(hwnd);
  SCROLLBARINFO v{}, h{};
  v.cbSize = h.cbSize = sizeof(SCROLLBARINFO);
  const bool has_v = (style & WS_VSCROLL) && GetScrollBarInfo(hwnd, OBJID_VSCROLL, &v);
  const bool has_h = (style & WS_HSCROLL) && GetScrollBarInfo(hwnd, OBJID_HSCROLL, &h);
  if (has_v) PaintScrollBar(dc, window, v, true);
  if (has_h) PaintScrollBar(dc, window, h, false);
  if (has_v && has_h && !(v.rgstate[0] & STATE_SYSTEM_INVISIBLE) &&
      !(h.rgstate[0] & STATE_SYSTEM_INVISIBLE)) {
    RECT corner{v.rcScrollBar.left, h.rcScrollBar.top, v.rcScrollBar.right, h.rcScrollBar.bottom};
    OffsetRect(&corner, -window.left, -window.top);
    FillSolid(dc, corner, SkinManager::Instance().Colors().track);
  }
  ReleaseDC(hwnd, dc);
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

COLORREF EditBack(const ControlData* data) {
  return data->back_color ? *data->back_color : SkinManager::Instance().Colors().edit;
}

LRESULT CALLBACK EditSubclass(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR ref) {
  auto* data = reinterpret_cast<ControlData*>(ref);
  LRESULT result = 0;
  if (HandleMouse(hwnd, data, msg, wp, lp, &result)) return result;
  switch (msg) {
    case WM_NCCALCSIZE:
      if (data->kind == Kind::Edit) {
        auto* rc = reinterpret_cast<RECT*>(lp);  // both forms start with the window rect
        rc->left += 1 + 3;
        rc->right -= 1 + 3;
        rc->top += 1 + data->pad;
        rc->bottom -= 1 + data->pad;
        if (rc->bottom < rc->top) rc->bottom = rc->top;
        return 0;
      }
      break;
    case WM_NCPAINT: {
      const Palette& p = SkinManager::Instance().Colors();
      if (data->kind == Kind::Edit) {
        PaintNonClientBorder(hwnd, p.frame, EditBack(data));
        return 0;
      }
      LRESULT r = DefSubclassProc(hwnd, msg, wp, lp);
      PaintNonClientBorder(hwnd, p.frame, std::nullopt);
      PaintScrollBars(hwnd);
      return r;
    }
    case WM_NCDESTROY: {
      LRESULT r = DefSubclassProc(hwnd, msg, wp, lp);
      Detach(hwnd);
      return r;
    }
    default:
      break;
  }
  LRESULT r = DefSubclassProc(hwnd, msg, wp, lp);
  if (data->kind == Kind::Memo && MayDrawScrollBars(msg) && IsWindow(hwnd)) PaintScrollBars(hwnd);
  HandleMouseAfter(hwnd, data, msg, lp);
  return r;
}

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
  FillSolid(dc, rc, BackgroundBehind(hwnd));
  const bool enabled = IsWindowEnabled(hwnd) != FALSE;
  const bool checked = SendMessageW(hwnd, BM_GETCHECK, 0, 0) == BST_CHECKED;
  const int top = (rc.bottom - rc.top - 13) / 2;
  RECT box{rc.left + 1, top, rc.left + 14, top + 13};
  DrawCheckBoxSquare(dc, box, checked, data->hot, enabled, p.edit);
  HGDIOBJ old = SelectObject(dc, data->font);
  const std::wstring text = WindowTextW(hwnd);
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
  SetTextColor(dc, enabled ? (data->hot ? p.accent_hot : TextColorOf(data)) : p.dim_text);
  DrawTextW(dc, text.c_str(), -1, &out, format);
  SelectObject(dc, old);
  RedrawGroupOutline(hwnd, dc);
}

LRESULT CALLBACK ButtonSubclass(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR,
                                DWORD_PTR ref) {
  auto* data = reinterpret_cast<ControlData*>(ref);
  const bool check = data->kind == Kind::CheckBox;
  LRESULT result = 0;
  if (msg == BM_CLICK) {
    // The system turns BM_CLICK into a press and release at (0,0): those are not the user's.
    data->in_bm_click = true;
    LRESULT r = DefSubclassProc(hwnd, msg, wp, lp);
    if (IsWindow(hwnd)) {
      data->in_bm_click = false;
      if (check) RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    }
    return r;
  }
  if (HandleMouse(hwnd, data, msg, wp, lp, &result)) return result;
  switch (msg) {
    case WM_LBUTTONDBLCLK:
      // Owner-drawn buttons turn a quick second click into BN_DOUBLECLICKED; keep it a click.
      if (!check) msg = WM_LBUTTONDOWN;
      break;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      if (check) {
        PaintBuffered(hwnd, [&](HDC dc, const RECT& rc) { PaintCheckBox(hwnd, data, dc, rc); });
        return 0;
      }
      break;
    case WM_NCDESTROY: {
      LRESULT r = DefSubclassProc(hwnd, msg, wp, lp);
      Detach(hwnd);
      return r;
    }
    default:
      break;
  }
  LRESULT r = DefSubclassProc(hwnd, msg, wp, lp);
  if (!IsWindow(hwnd)) return r;
  // The system check box paints straight to the screen on state changes; paint over it.
  if (check && RepaintsItself(msg))
    RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  HandleMouseAfter(hwnd, data, msg, lp);
  return r;
}

LRESULT CALLBACK CheckListSubclass(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR,
                                   DWORD_PTR ref) {
  auto* data = reinterpret_cast<ControlData*>(ref);
  LRESULT result = 0;
  if (HandleMouse(hwnd, data, msg, wp, lp, &result)) return result;
  switch (msg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      LRESULT r = DefSubclassProc(hwnd, msg, wp, lp);
      const LRESULT hit = SendMessageW(hwnd, LB_ITEMFROMPOINT, 0, lp);
      if (HIWORD(hit) == 0) {
        const int index = LOWORD(hit);
        CheckListSetChecked(hwnd, index, !CheckListChecked(hwnd, index));
      }
      return r;
    }
    case WM_KEYDOWN:
      if (wp == VK_SPACE) {
        const int index = static_cast<int>(SendMessageW(hwnd, LB_GETCARETINDEX, 0, 0));
        if (index >= 0 && index < CheckListCount(hwnd))
          CheckListSetChecked(hwnd, index, !CheckListChecked(hwnd, index));
        return 0;
      }
      break;
    case LB_SETITEMDATA: {
      // Another process may tick an item this way; show it.
      LRESULT r = DefSubclassProc(hwnd, msg, wp, lp);
      InvalidateRect(hwnd, nullptr, FALSE);
      return r;
    }
    case WM_NCPAINT: {
      LRESULT r = DefSubclassProc(hwnd, msg, wp, lp);
      PaintNonClientBorder(hwnd, SkinManager::Instance().Colors().frame, std::nullopt);
      PaintScrollBars(hwnd);
      return r;
    }
    case WM_NCDESTROY: {
      LRESULT r = DefSubclassProc(hwnd, msg, wp, lp);
      Detach(hwnd);
      return r;
    }
    default:
      break;
  }
  LRESULT r = DefSubclassProc(hwnd, msg, wp, lp);
  if (MayDrawScrollBars(msg) && IsWindow(hwnd)) PaintScrollBars(hwnd);
  HandleMouseAfter(hwnd, data, msg, lp);
  return r;
}

void DrawButton(const DRAWITEMSTRUCT* item, ControlData* data) {
  const Palette& p = SkinManager::Instance().Colors();
  HDC dc = item->hDC;
  const RECT& rc = item->rcItem;
  const bool disabled = (item->itemState & ODS_DISABLED) != 0;
  const bool pressed = (item->itemState & ODS_SELECTED) != 0;
  FillSolid(dc, rc, BackgroundBehind(item->hwndItem));
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
  HGDIOBJ old_brush = SelectObject(dc, SkinManager::Instance().Brush(face));
  HPEN pen = CreatePen(PS_SOLID, 1, edge);
  HGDIOBJ old_pen = SelectObject(dc, pen);
  RoundRect(dc, rc.left, rc.top, rc.right, rc.bottom, 5, 5);
  SelectObject(dc, old_pen);
  DeleteObject(pen);
  SelectObject(dc, old_brush);
  if (!disabled && !pressed) {
    // A faint highlight along the top edge gives the face some depth.
    Line(dc, rc.left + 2, rc.top + 1, rc.right - 2, rc.top + 1, Mix(face, RGB(255, 255, 255), 10));
  }
  HGDIOBJ old_font = SelectObject(dc, data->font);
  const std::wstring text = WindowTextW(item->hwndItem);
  RECT out = rc;
  if (pressed) OffsetRect(&out, 0, 1);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, disabled ? p.dim_text : (data->hot ? RGB(255, 255, 255) : TextColorOf(data)));
  DrawTextW(dc, text.c_str(), -1, &out,
            DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
  SelectObject(dc, old_font);
}

void DrawCheckListItem(const DRAWITEMSTRUCT* item, ControlData* data) {
  const Palette& p = SkinManager::Instance().Colors();
  HDC dc = item->hDC;
  const RECT& rc = item->rcItem;
  const COLORREF back = data->back_color.value_or(kCheckListBack);
  if (item->itemID == static_cast<UINT>(-1)) {
    FillSolid(dc, rc, back);
    return;
  }
  const bool selected = (item->itemState & ODS_SELECTED) != 0;
  FillSolid(dc, rc, selected ? Mix(back, p.accent, 22) : back);
  const int size = 11;
  const int top = rc.top + (rc.bottom - rc.top - size) / 2;
  RECT box{rc.left + 3, top, rc.left + 3 + size, top + size};
  const bool checked = SendMessageW(item->hwndItem, LB_GETITEMDATA, item->itemID, 0) != 0;
  DrawCheckBoxSquare(dc, box, checked, false, IsWindowEnabled(item->hwndItem) != FALSE,
                     Mix(back, RGB(0, 0, 0), 25));
  const int length = static_cast<int>(SendMessageW(item->hwndItem, LB_GETTEXTLEN, item->itemID, 0));
  std::wstring text(static_cast<size_t>(std::max(length, 0)) + 1, L'\0');
  SendMessageW(item->hwndItem, LB_GETTEXT, item->itemID, reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<size_t>(std::max(length, 0)));
  HGDIOBJ old = SelectObject(dc, data->font);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, TextColorOf(data));
  RECT out{box.right + 5, rc.top, rc.right - 2, rc.bottom};
  DrawTextW(dc, text.c_str(), -1, &out,
            DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
  SelectObject(dc, old);
}

}  // namespace

void DrawOwnerItem(const DRAWITEMSTRUCT* item, ControlData* data) {
  if (data->kind == Kind::CheckList) {
    DrawCheckListItem(item, data);
  } else {
    DrawButton(item, data);
  }
}

void RegisterClasses() {
  static bool done = false;
  if (done) return;
  done = true;
  INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES};
  InitCommonControlsEx(&icc);
  RegisterFrameClasses();
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = GroupProc;
  wc.lpszClassName = kGroupClass;
  RegisterClassExW(&wc);
  wc.lpfnWndProc = LabelProc;
  wc.lpszClassName = kLabelClass;
  RegisterClassExW(&wc);
  wc.style = 0;
  wc.lpfnWndProc = ProgressProc;
  wc.lpszClassName = kProgressClass;
  RegisterClassExW(&wc);
}

}  // namespace detail

namespace {

DWORD BaseStyle(const ControlSpec& desc) {
  return WS_CHILD | (desc.visible ? WS_VISIBLE : 0) | (desc.enabled ? 0 : WS_DISABLED);
}

ControlData* NewData(Kind kind, const ControlSpec& desc) {
  auto* data = new ControlData(kind);
  data->font = SkinManager::Instance().Font(desc.font);
  data->text_color = desc.text_color;
  data->back_color = desc.back_color;
  return data;
}

HWND CreateOwn(const wchar_t* cls, HWND parent, const ControlSpec& desc, DWORD style,
               DWORD ex_style, ControlData* data) {
  detail::RegisterClasses();
  const std::wstring text = Widen(desc.text);
  HWND hwnd = CreateWindowExW(
      ex_style, cls, text.c_str(), style, desc.left, desc.top, desc.width, desc.height, parent,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(desc.id)), GetModuleHandleW(nullptr), data);
  if (!hwnd) delete data;
  return hwnd;
}

HWND CreateSystem(const wchar_t* cls, HWND parent, const ControlSpec& desc, DWORD style,
                  ControlData* data, SUBCLASSPROC proc) {
  detail::RegisterClasses();
  const std::wstring text = Widen(desc.text);
  HWND hwnd = CreateWindowExW(
      0, cls, text.c_str(), style, desc.left, desc.top, desc.width, desc.height, parent,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(desc.id)), GetModuleHandleW(nullptr), nullptr);
  if (!hwnd) {
    delete data;
    return nullptr;
  }
  detail::AttachSubclass(hwnd, data, proc);
  SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(data->font), FALSE);
  return hwnd;
}

}  // namespace

static int TextHeight(HFONT font) {
  HDC screen = GetDC(nullptr);
  HGDIOBJ old = SelectObject(screen, font);
  TEXTMETRICW tm{};
  GetTextMetricsW(screen, &tm);
  SelectObject(screen, old);
  ReleaseDC(nullptr, screen);
  return static_cast<int>(tm.tmHeight);
}

HWND CreateGroupBox(HWND parent, const ControlSpec& desc) {
  ControlData* data = NewData(Kind::Group, desc);
  data->pad = desc.text.empty() ? 0 : TextHeight(data->font) / 2;
  return CreateOwn(detail::kGroupClass, parent, desc, BaseStyle(desc) | WS_CLIPCHILDREN,
                   WS_EX_CONTROLPARENT, data);
}

HWND CreateMemo(HWND parent, const ControlSpec& desc) {
  ControlData* data = NewData(Kind::Memo, desc);
  data->cursor = CursorKind::Arrow;
  HWND memo = CreateSystem(L"EDIT", parent,
                           ControlSpec{desc.left,
                                       desc.top,
                                       desc.width,
                                       desc.height,
                                       "",
                                       desc.font,
                                       {},
                                       {},
                                       desc.visible,
                                       desc.enabled,
                                       desc.id},
                           BaseStyle(desc) | WS_BORDER | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE |
                               ES_READONLY | ES_AUTOVSCROLL | ES_AUTOHSCROLL | ES_NOHIDESEL,
                           data, detail::EditSubclass);
  if (!memo) return nullptr;
  SendMessageW(memo, EM_SETLIMITTEXT, 0, 0);
  SetText(memo, desc.text);
  data->has_lines = !desc.text.empty();
  return memo;
}

namespace {

bool MemoHasLines(HWND memo) {
  ControlData* data = DataOf(memo);
  return GetWindowTextLengthW(memo) > 0 || (data && data->has_lines);
}

void MarkLines(HWND memo, bool has_lines) {
  if (ControlData* data = DataOf(memo)) data->has_lines = has_lines;
}

}  // namespace

void MemoAppendLine(HWND memo, std::string_view text) {
  std::wstring line = Widen(text);
  if (MemoHasLines(memo)) line.insert(0, L"\r\n");
  const int length = GetWindowTextLengthW(memo);
  SendMessageW(memo, EM_SETSEL, length, length);
  SendMessageW(memo, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(line.c_str()));
  MarkLines(memo, true);
  // Park the caret at the start of the last line: the new line comes into view without the
  // memo scrolling sideways to the end of a long one.
  const LRESULT last = SendMessageW(memo, EM_GETLINECOUNT, 0, 0) - 1;
  const LRESULT start = SendMessageW(memo, EM_LINEINDEX, last, 0);
  SendMessageW(memo, EM_SETSEL, start, start);
  SendMessageW(memo, EM_SCROLLCARET, 0, 0);
  SendMessageW(memo, WM_HSCROLL, SB_LEFT, 0);
}

std::vector<std::string> MemoLines(HWND memo) {
  std::vector<std::string> lines;
  if (!MemoHasLines(memo)) return lines;
  const std::wstring all = detail::WindowTextW(memo);
  size_t start = 0;
  while (true) {
    const size_t end = all.find(L"\r\n", start);
    if (end == std::wstring::npos) {
      lines.push_back(Narrow(all.substr(start)));
      break;
    }
    lines.push_back(Narrow(all.substr(start, end - start)));
    start = end + 2;
  }
  return lines;
}

void MemoSetLines(HWND memo, const std::vector<std::string>& lines) {
  std::string all;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i) all += "\r\n";
    all += lines[i];
  }
  SetText(memo, all);
  MarkLines(memo, !lines.empty());
}

HWND CreateReadOnlyEdit(HWND parent, const ControlSpec& desc) {
  ControlData* data = NewData(Kind::Edit, desc);
  data->cursor = CursorKind::Arrow;
  data->pad = std::max(0, (desc.height - 2 - TextHeight(data->font)) / 2);
  HWND edit =
      CreateSystem(L"EDIT", parent, desc, BaseStyle(desc) | ES_READONLY | ES_AUTOHSCROLL | ES_LEFT,
                   data, detail::EditSubclass);
  if (edit) {
    SetWindowPos(edit, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  }
  return edit;
}

HWND CreateLabel(HWND parent, const ControlSpec& desc) {
  HWND label = CreateOwn(detail::kLabelClass, parent, desc, BaseStyle(desc) | WS_CLIPSIBLINGS, 0,
                         NewData(Kind::Label, desc));
  // A label lies under the controls it overlaps, as if painted on its parent.
  if (label) SetWindowPos(label, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  return label;
}

void SetLabelColor(HWND label, COLORREF color) {
  if (ControlData* data = DataOf(label)) {
    data->text_color = color;
    InvalidateRect(label, nullptr, FALSE);
  }
}

HWND CreateButton(HWND parent, const ControlSpec& desc) {
  return CreateSystem(L"BUTTON", parent, desc, BaseStyle(desc) | WS_TABSTOP | BS_OWNERDRAW,
                      NewData(Kind::Button, desc), detail::ButtonSubclass);
}

HWND CreatePlainButton(HWND parent, const ControlSpec& desc) {
  return CreateSystem(L"BUTTON", parent, desc, BaseStyle(desc) | WS_TABSTOP | BS_OWNERDRAW,
                      NewData(Kind::PlainButton, desc), detail::ButtonSubclass);
}

HWND CreateCheckBox(HWND parent, const ControlSpec& desc, bool checked, bool word_wrap) {
  HWND box =
      CreateSystem(L"BUTTON", parent, desc,
                   BaseStyle(desc) | WS_TABSTOP | BS_AUTOCHECKBOX | (word_wrap ? BS_MULTILINE : 0),
                   NewData(Kind::CheckBox, desc), detail::ButtonSubclass);
  if (box && checked) SendMessageW(box, BM_SETCHECK, BST_CHECKED, 0);
  return box;
}

bool IsChecked(HWND check_box) {
  return SendMessageW(check_box, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void SetChecked(HWND check_box, bool checked) {
  SendMessageW(check_box, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

HWND CreateProgressBar(HWND parent, const ControlSpec& desc) {
  detail::RegisterClasses();
  return CreateWindowExW(0, detail::kProgressClass, Widen(desc.text).c_str(), BaseStyle(desc),
                         desc.left, desc.top, desc.width, desc.height, parent,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(desc.id)),
                         GetModuleHandleW(nullptr), nullptr);
}

bool ProgressIsMarquee(HWND bar) {
  ControlData* data = DataOf(bar);
  return data && data->kind == Kind::Progress && data->marquee;
}

HWND CreateCheckList(HWND parent, const ControlSpec& desc) {
  ControlSpec adjusted = desc;
  if (!desc.text_color) adjusted.text_color = kLightText;
  if (!desc.back_color) adjusted.back_color = kCheckListBack;
  HWND list =
      CreateSystem(L"LISTBOX", parent, adjusted,
                   BaseStyle(desc) | WS_BORDER | WS_VSCROLL | WS_TABSTOP | LBS_OWNERDRAWFIXED |
                       LBS_HASSTRINGS | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT,
                   NewData(Kind::CheckList, adjusted), detail::CheckListSubclass);
  if (list) SendMessageW(list, LB_SETITEMHEIGHT, 0, 16);
  return list;
}

void CheckListClear(HWND list) {
  SendMessageW(list, LB_RESETCONTENT, 0, 0);
}

int CheckListAdd(HWND list, std::string_view text) {
  const std::wstring wide = Widen(text);
  const int index =
      static_cast<int>(SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide.c_str())));
  if (index >= 0) SendMessageW(list, LB_SETITEMDATA, index, 0);
  return index;
}

int CheckListCount(HWND list) {
  return static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
}

std::string CheckListText(HWND list, int index) {
  const LRESULT length = SendMessageW(list, LB_GETTEXTLEN, index, 0);
  if (length == LB_ERR) return {};
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  SendMessageW(list, LB_GETTEXT, index, reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<size_t>(length));
  return Narrow(text);
}

bool CheckListChecked(HWND list, int index) {
  const LRESULT data = SendMessageW(list, LB_GETITEMDATA, index, 0);
  return data != LB_ERR && data != 0;
}

void CheckListSetChecked(HWND list, int index, bool checked) {
  if (index < 0 || index >= CheckListCount(list)) return;
  SendMessageW(list, LB_SETITEMDATA, index, checked ? 1 : 0);
}

namespace {

int CALLBACK BrowseCallback(HWND dialog, UINT msg, LPARAM, LPARAM data) {
  if (msg == BFFM_INITIALIZED && data) {
    const auto* start = reinterpret_cast<const wchar_t*>(data);
    if (*start) SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, data);
  }
  return 0;
}

}  // namespace

std::optional<std::string> BrowseForFolder(HWND owner, std::string_view start_folder_utf8) {
  const std::wstring start = Widen(start_folder_utf8);
  if (!start.empty()) {
    const DWORD attributes = GetFileAttributesW(start.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
      SetCurrentDirectoryW(start.c_str());
  }
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  BROWSEINFOW info{};
  info.hwndOwner = owner;
  info.pidlRoot = nullptr;  // the desktop
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
  info.lpfn = BrowseCallback;
  info.lParam = reinterpret_cast<LPARAM>(start.c_str());
  std::optional<std::string> chosen;
  if (PIDLIST_ABSOLUTE pidl = SHBrowseForFolderW(&info)) {
    wchar_t path[MAX_PATH * 2] = {};
    if (SHGetPathFromIDListW(pidl, path)) chosen = Narrow(path);
    CoTaskMemFree(pidl);
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return chosen;
}

}  // namespace veltrane::win32::skin
