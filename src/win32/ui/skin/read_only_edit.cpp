#include "ui/skin/read_only_edit.h"

#include <algorithm>

#include "ui/skin/control_creation.h"
#include "ui/skin/control_messages.h"
#include "ui/skin/drawing.h"

namespace veltrane::win32::skin {
namespace {

using detail::ControlData;

// A subclassed single-line EDIT whose non-client area holds a border and the blank rows that
// centre the text vertically.
bool EditMessage(HWND hwnd, ControlData* data, UINT& msg, WPARAM, LPARAM lp, LRESULT* result) {
  switch (msg) {
    case WM_NCCALCSIZE: {
      auto* rc = reinterpret_cast<RECT*>(lp);  // both forms start with the window rect
      rc->left += 1 + 3;
      rc->right -= 1 + 3;
      rc->top += 1 + data->pad;
      rc->bottom -= 1 + data->pad;
      if (rc->bottom < rc->top) rc->bottom = rc->top;
      *result = 0;
      return true;
    }
    case WM_NCPAINT: {
      const Palette& p = SkinManager::Instance().Colors();
      detail::PaintNonClientBorder(hwnd, p.frame, data->back_color.value_or(p.edit));
      *result = 0;
      return true;
    }
    default:
      return false;
  }
}

}  // namespace

HWND CreateReadOnlyEdit(HWND parent, const ControlDesc& desc) {
  auto data = detail::NewData(detail::Kind::Edit, desc);
  data->cursor = CursorKind::Arrow;
  data->pad = std::max(0, (desc.height - 2 - detail::TextHeight(data->font)) / 2);
  HWND edit = detail::CreateSystem(L"EDIT", parent, desc,
                                   detail::BaseStyle(desc) | ES_READONLY | ES_AUTOHSCROLL | ES_LEFT,
                                   std::move(data), EditMessage);
  if (edit) {
    SetWindowPos(edit, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  }
  return edit;
}

}  // namespace veltrane::win32::skin
