#include "ui/skin/label.h"

#include "base/scoped.h"
#include "ui/skin/control_creation.h"
#include "ui/skin/control_messages.h"
#include "ui/skin/drawing.h"

namespace veltrane::win32::skin {
namespace detail {
namespace {

const wchar_t kLabelClass[] = L"VeltraneSkinLabel";

void PaintLabel(HWND hwnd, ControlData* data, HDC dc, const RECT& rc) {
  const Palette& p = SkinManager::Instance().Colors();
  FillSolid(dc, rc, BackgroundBehind(hwnd));
  const ScopedSelection font(dc, data->font);
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
}

LRESULT CALLBACK LabelProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
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

}  // namespace

void RegisterLabelClass() {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = LabelProc;
  wc.lpszClassName = kLabelClass;
  RegisterClassExW(&wc);
}

}  // namespace detail

HWND CreateLabel(HWND parent, const ControlDesc& desc) {
  HWND label = detail::CreateOwn(detail::kLabelClass, parent, desc,
                                 detail::BaseStyle(desc) | WS_CLIPSIBLINGS, 0,
                                 detail::NewData(detail::Kind::Label, desc));
  // A label lies under the controls it overlaps, as if painted on its parent.
  if (label) SetWindowPos(label, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  return label;
}

void SetLabelColor(HWND label, COLORREF color) {
  if (detail::ControlData* data = detail::DataOf(label)) {
    data->text_color = color;
    InvalidateRect(label, nullptr, FALSE);
  }
}

}  // namespace veltrane::win32::skin
