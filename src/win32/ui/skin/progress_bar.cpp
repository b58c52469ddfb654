#include "ui/skin/progress_bar.h"

#include <algorithm>

#include "ui/skin/control_creation.h"
#include "ui/skin/drawing.h"

namespace veltrane::win32::skin {
namespace detail {
namespace {

const wchar_t kProgressClass[] = L"VeltraneSkinProgressBar";
constexpr UINT_PTR kMarqueeTimer = 1;

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
  if (msg == WM_NCCREATE) AttachOwn(hwnd, TakeCreateData(lp));
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
      if (data->marquee) KillTimer(hwnd, kMarqueeTimer);
      Detach(hwnd);
      break;
    default:
      break;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace

void RegisterProgressBarClass() {
  RegisterOwnClass(kProgressClass, ProgressProc, 0);
}

}  // namespace detail

HWND CreateProgressBar(HWND parent, const ControlDesc& desc) {
  return detail::CreateOwn(detail::kProgressClass, parent, desc, detail::BaseStyle(desc), 0,
                           std::make_unique<detail::ControlData>(detail::Kind::Progress));
}

bool ProgressIsMarquee(HWND bar) {
  detail::ControlData* data = detail::DataOf(bar);
  return data && data->kind == detail::Kind::Progress && data->marquee;
}

}  // namespace veltrane::win32::skin
