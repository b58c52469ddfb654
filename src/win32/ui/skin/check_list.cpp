#include "ui/skin/check_list.h"

#include <algorithm>

#include "base/scoped.h"
#include "base/wide.h"
#include "ui/skin/control_creation.h"
#include "ui/skin/control_messages.h"
#include "ui/skin/drawing.h"
#include "ui/skin/scroll_bars.h"

namespace veltrane::win32::skin {
namespace {

using detail::ControlData;

// A subclassed owner-drawn LISTBOX: a click or the space key toggles an item's check mark.
bool CheckListMessage(HWND hwnd, ControlData* data, UINT& msg, WPARAM wp, LPARAM lp,
                      LRESULT* result) {
  switch (msg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      *result = DefSubclassProc(hwnd, msg, wp, lp);
      const LRESULT hit = SendMessageW(hwnd, LB_ITEMFROMPOINT, 0, lp);
      if (HIWORD(hit) == 0) {
        const int index = LOWORD(hit);
        CheckListSetChecked(hwnd, index, !CheckListChecked(hwnd, index));
      }
      return true;
    }
    case WM_KEYDOWN:
      if (wp != VK_SPACE) return false;
      if (const int index = static_cast<int>(SendMessageW(hwnd, LB_GETCARETINDEX, 0, 0));
          index >= 0 && index < CheckListCount(hwnd)) {
        CheckListSetChecked(hwnd, index, !CheckListChecked(hwnd, index));
      }
      *result = 0;
      return true;
    case LB_SETITEMDATA:
      // Another process may tick an item this way; show it.
      *result = DefSubclassProc(hwnd, msg, wp, lp);
      InvalidateRect(hwnd, nullptr, FALSE);
      return true;
    default:
      return detail::ScrolledFrameMessage(hwnd, data, msg, wp, lp, result);
  }
}

void DrawCheckListItem(const DRAWITEMSTRUCT* item, ControlData* data) {
  using detail::FillSolid;
  using detail::Mix;
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
  detail::DrawCheckBoxSquare(dc, box, checked, false, IsWindowEnabled(item->hwndItem) != FALSE,
                             Mix(back, RGB(0, 0, 0), 25));
  const int length = static_cast<int>(SendMessageW(item->hwndItem, LB_GETTEXTLEN, item->itemID, 0));
  std::wstring text(static_cast<size_t>(std::max(length, 0)) + 1, L'\0');
  SendMessageW(item->hwndItem, LB_GETTEXT, item->itemID, reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<size_t>(std::max(length, 0)));
  const ScopedSelection font(dc, data->font);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, detail::TextColorOf(data));
  RECT out{box.right + 5, rc.top, rc.right - 2, rc.bottom};
  DrawTextW(dc, text.c_str(), -1, &out,
            DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
}

}  // namespace

HWND CreateCheckList(HWND parent, const ControlDesc& desc) {
  ControlDesc adjusted = desc;
  if (!desc.text_color) adjusted.text_color = kLightText;
  if (!desc.back_color) adjusted.back_color = kCheckListBack;
  auto data = detail::NewData(detail::Kind::CheckList, adjusted);
  data->draw_item = DrawCheckListItem;
  HWND list = detail::CreateSystem(
      L"LISTBOX", parent, adjusted,
      detail::BaseStyle(desc) | WS_BORDER | WS_VSCROLL | WS_TABSTOP | LBS_OWNERDRAWFIXED |
          LBS_HASSTRINGS | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT,
      std::move(data), CheckListMessage, detail::AfterScrolledFrameMessage);
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

}  // namespace veltrane::win32::skin
