#include "ui/skin/drawing.h"

#include "ui/skin/control_data.h"
#include "ui/skin/skin.h"

namespace veltrane::win32::skin::detail {
namespace {

void DrawCheckMark(HDC dc, const RECT& box, COLORREF color) {
  const int x = box.left, y = box.top, s = box.right - box.left;
  const POINT mark[] = {{x + 2, y + s / 2}, {x + s * 2 / 5, y + s - 3}, {x + s - 3, y + 2}};
  const ScopedPen pen(CreatePen(PS_SOLID, 2, color));
  const ScopedSelection select(dc, pen.get());
  Polyline(dc, mark, 3);
}

}  // namespace

void FillSolid(HDC dc, const RECT& rc, COLORREF color) {
  SetBkColor(dc, color);
  ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &rc, nullptr, 0, nullptr);
}

void FrameSolid(HDC dc, const RECT& rc, COLORREF color) {
  FrameRect(dc, &rc, SkinManager::Instance().Brush(color));
}

void Line(HDC dc, int x1, int y1, int x2, int y2, COLORREF color, int width) {
  const ScopedPen pen(CreatePen(PS_SOLID, width, color));
  const ScopedSelection select(dc, pen.get());
  MoveToEx(dc, x1, y1, nullptr);
  LineTo(dc, x2, y2);
}

COLORREF Mix(COLORREF a, COLORREF b, int percent_b) {
  auto mix = [percent_b](int x, int y) { return (x * (100 - percent_b) + y * percent_b) / 100; };
  return RGB(mix(GetRValue(a), GetRValue(b)), mix(GetGValue(a), GetGValue(b)),
             mix(GetBValue(a), GetBValue(b)));
}

void DrawCheckBoxSquare(HDC dc, const RECT& box, bool checked, bool hot, bool enabled,
                        COLORREF back) {
  const Palette& p = SkinManager::Instance().Colors();
  FillSolid(dc, box, back);
  FrameSolid(dc, box, enabled ? (hot ? p.accent_hot : p.frame) : p.dim_text);
  if (checked) DrawCheckMark(dc, box, enabled ? p.accent : p.dim_text);
}

void PaintNonClientBorder(HWND hwnd, COLORREF border, std::optional<COLORREF> fill) {
  const ScopedWindowDc dc = ScopedWindowDc::Whole(hwnd);
  RECT wr;
  GetWindowRect(hwnd, &wr);
  RECT rc{0, 0, wr.right - wr.left, wr.bottom - wr.top};
  if (fill) {
    RECT client;
    GetClientRect(hwnd, &client);
    POINT origin{0, 0};
    ClientToScreen(hwnd, &origin);
    const int x = origin.x - wr.left, y = origin.y - wr.top;
    ExcludeClipRect(dc.get(), x, y, x + client.right, y + client.bottom);
    FillSolid(dc.get(), rc, *fill);
  }
  FrameSolid(dc.get(), rc, border);
}

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

std::wstring WindowTextW(HWND hwnd) {
  const int length = GetWindowTextLengthW(hwnd);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const int got = GetWindowTextW(hwnd, text.data(), length + 1);
  text.resize(static_cast<size_t>(got > 0 ? got : 0));
  return text;
}

int TextHeight(HFONT font) {
  const ScopedWindowDc screen = ScopedWindowDc::Client(nullptr);
  const ScopedSelection select(screen.get(), font);
  TEXTMETRICW tm{};
  GetTextMetricsW(screen.get(), &tm);
  return static_cast<int>(tm.tmHeight);
}

}  // namespace veltrane::win32::skin::detail
