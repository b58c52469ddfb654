#pragma once
// Painting helpers the skinned controls share: a flicker-free paint through a memory bitmap,
// solid fills and outlines, colour mixing, the check box square, the thin border of a system
// control, and a window's text and font height.
#include <windows.h>

#include <optional>
#include <string>

#include "base/scoped.h"

namespace veltrane::win32::skin::detail {

// Double-buffered painting: `draw` paints the whole client area into a memory DC.
template <typename Draw>
void PaintBuffered(HWND hwnd, Draw&& draw) {
  const ScopedPaint paint(hwnd);
  RECT rc;
  GetClientRect(hwnd, &rc);
  const int w = rc.right > 0 ? rc.right : 1, h = rc.bottom > 0 ? rc.bottom : 1;
  const ScopedMemoryDc mem(CreateCompatibleDC(paint.get()));
  const ScopedBitmap bmp(CreateCompatibleBitmap(paint.get(), w, h));
  const ScopedSelection select(mem.get(), bmp.get());
  draw(mem.get(), rc);
  BitBlt(paint.get(), 0, 0, w, h, mem.get(), 0, 0, SRCCOPY);
}

void FillSolid(HDC dc, const RECT& rc, COLORREF color);
void FrameSolid(HDC dc, const RECT& rc, COLORREF color);
void Line(HDC dc, int x1, int y1, int x2, int y2, COLORREF color, int width = 1);
COLORREF Mix(COLORREF a, COLORREF b, int percent_b);

// The square of a check box or check list item, with its mark when checked.
void DrawCheckBoxSquare(HDC dc, const RECT& box, bool checked, bool hot, bool enabled,
                        COLORREF back);

// The one-pixel border of a system control, drawn over its non-client area; with `fill`, the
// rest of that area (outside the client rectangle) too.
void PaintNonClientBorder(HWND hwnd, COLORREF border, std::optional<COLORREF> fill);

// A child that overlaps its group box's outline (a check box laid out flush with the group's
// edge) paints the outline back over its own background.
void RedrawGroupOutline(HWND child, HDC dc);

std::wstring WindowTextW(HWND hwnd);
// Cell height of a font on the screen.
int TextHeight(HFONT font);

}  // namespace veltrane::win32::skin::detail
