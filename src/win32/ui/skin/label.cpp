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
  return SelfPaintedProc(hwnd, msg, wp, lp, PaintLabel);
}

}  // namespace

void RegisterLabelClass() {
  RegisterOwnClass(kLabelClass, LabelProc, CS_DBLCLKS);
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
