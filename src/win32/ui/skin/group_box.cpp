#include "ui/skin/group_box.h"

#include "base/scoped.h"
#include "ui/skin/control_creation.h"
#include "ui/skin/control_messages.h"
#include "ui/skin/drawing.h"

namespace veltrane::win32::skin {
namespace detail {
namespace {

const wchar_t kGroupClass[] = L"VeltraneSkinGroupBox";

void PaintGroup(HWND hwnd, ControlData* data, HDC dc, const RECT& rc) {
  const Palette& p = SkinManager::Instance().Colors();
  FillSolid(dc, rc, BackgroundBehind(hwnd));
  const ScopedSelection font(dc, data->font);
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
}

LRESULT CALLBACK GroupProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  // A group box holds controls: it answers for them as their container.
  if (ControlData* data = DataOf(hwnd)) {
    LRESULT result = 0;
    if (HandleContainer(hwnd, msg, wp, lp, SkinManager::Instance().Colors().panel, &result))
      return result;
    if (msg == WM_SETFONT) {
      data->font = reinterpret_cast<HFONT>(wp);
      if (lp) InvalidateRect(hwnd, nullptr, FALSE);
      return 0;
    }
  }
  return SelfPaintedProc(hwnd, msg, wp, lp, PaintGroup);
}

}  // namespace

void RegisterGroupBoxClass() {
  RegisterOwnClass(kGroupClass, GroupProc, CS_DBLCLKS);
}

}  // namespace detail

HWND CreateGroupBox(HWND parent, const ControlDesc& desc) {
  auto data = detail::NewData(detail::Kind::Group, desc);
  data->pad = desc.text.empty() ? 0 : detail::TextHeight(data->font) / 2;
  return detail::CreateOwn(detail::kGroupClass, parent, desc,
                           detail::BaseStyle(desc) | WS_CLIPCHILDREN, WS_EX_CONTROLPARENT,
                           std::move(data));
}

}  // namespace veltrane::win32::skin
