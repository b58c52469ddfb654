#include "ui/skin/frame.h"

#include <memory>

#include "base/scoped.h"
#include "base/wide.h"
#include "ui/skin/control_creation.h"
#include "ui/skin/control_messages.h"
#include "ui/skin/drawing.h"

namespace veltrane::win32::skin {

using detail::ControlData;
using detail::DataOf;
using detail::Kind;

namespace detail {
namespace {

const wchar_t kPanelClass[] = L"VeltraneSkinPanel";
const wchar_t kTitleBarClass[] = L"VeltraneSkinTitleBar";
const wchar_t kTitleItemClass[] = L"VeltraneSkinTitleItem";

Frame* FrameOf(HWND any) {
  return Frame::FromHwnd(GetAncestor(any, GA_ROOT));
}

LRESULT CALLBACK PanelProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) AttachOwn(hwnd, std::make_unique<ControlData>(Kind::Panel));
  ControlData* data = DataOf(hwnd);
  if (!data) return DefWindowProcW(hwnd, msg, wp, lp);
  const Palette& p = SkinManager::Instance().Colors();
  LRESULT result = 0;
  if (HandleContainer(hwnd, msg, wp, lp, p.window, &result)) return result;
  if (HandleMouse(hwnd, data, msg, wp, lp, &result)) return result;
  switch (msg) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      PaintBuffered(hwnd, [&](HDC dc, const RECT& rc) { FillSolid(dc, rc, p.window); });
      return 0;
    case WM_NCDESTROY:
      Detach(hwnd);
      break;
    default:
      break;
  }
  LRESULT r = DefWindowProcW(hwnd, msg, wp, lp);
  if (msg != WM_NCDESTROY) HandleMouseAfter(hwnd, data, msg, lp);
  return r;
}

void DrawEmblem(HDC dc, int x, int y) {
  const Palette& p = SkinManager::Instance().Colors();
  const ScopedSelection brush(dc, SkinManager::Instance().Brush(p.accent));
  const ScopedSelection pen(dc, GetStockObject(NULL_PEN));
  const POINT diamond[] = {{x + 8, y}, {x + 16, y + 8}, {x + 8, y + 16}, {x, y + 8}};
  Polygon(dc, diamond, 4);
  const ScopedSelection inner_brush(dc, SkinManager::Instance().Brush(p.title));
  const POINT inner[] = {{x + 8, y + 5}, {x + 11, y + 8}, {x + 8, y + 11}, {x + 5, y + 8}};
  Polygon(dc, inner, 4);
}

void PaintTitleBar(HWND hwnd, HDC dc, const RECT& rc) {
  const Palette& p = SkinManager::Instance().Colors();
  FillSolid(dc, rc, p.title);
  RECT line{rc.left, rc.bottom - 1, rc.right, rc.bottom};
  FillSolid(dc, line, Mix(p.title, p.accent, 45));
  Frame* frame = FrameOf(hwnd);
  HICON icon =
      frame ? reinterpret_cast<HICON>(GetClassLongPtrW(frame->hwnd(), GCLP_HICONSM)) : nullptr;
  if (frame) {
    if (HICON own = reinterpret_cast<HICON>(SendMessageW(frame->hwnd(), WM_GETICON, ICON_SMALL, 0)))
      icon = own;
  }
  if (icon) {
    DrawIconEx(dc, 5, 4, icon, 16, 16, 0, nullptr, DI_NORMAL);
  } else {
    DrawEmblem(dc, 5, 4);
  }
  // The caption stops where the leftmost visible item begins.
  int limit = rc.right - 4;
  for (HWND child = GetWindow(hwnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (!IsWindowVisible(child)) continue;
    RECT cr;
    GetWindowRect(child, &cr);
    MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&cr), 2);
    if (cr.left - 6 < limit) limit = cr.left - 6;
  }
  RECT text{27, 0, limit, rc.bottom - 1};
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, p.text);
  const ScopedSelection font(dc, SkinManager::Instance().Font(FontSpec::Points("Tahoma", 8, true)));
  const std::wstring caption = WindowTextW(hwnd);
  DrawTextW(dc, caption.c_str(), -1, &text,
            DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
}

LRESULT CALLBACK TitleBarProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) AttachOwn(hwnd, std::make_unique<ControlData>(Kind::TitleBar));
  ControlData* data = DataOf(hwnd);
  if (!data) return DefWindowProcW(hwnd, msg, wp, lp);
  switch (msg) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      PaintBuffered(hwnd, [&](HDC dc, const RECT& rc) { PaintTitleBar(hwnd, dc, rc); });
      return 0;
    case WM_SETTEXT: {
      LRESULT r = DefWindowProcW(hwnd, msg, wp, lp);
      InvalidateRect(hwnd, nullptr, FALSE);
      return r;
    }
    case WM_LBUTTONDOWN:
      DragWindow(hwnd);
      return 0;
    case kMsgBackground:
      return static_cast<LRESULT>(SkinManager::Instance().Colors().title);
    case WM_NCDESTROY:
      Detach(hwnd);
      break;
    default:
      break;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

void PaintTitleItem(HWND hwnd, ControlData* data, HDC dc, const RECT& rc) {
  const Palette& p = SkinManager::Instance().Colors();
  const bool enabled = IsWindowEnabled(hwnd) != FALSE;
  COLORREF back = p.title;
  if (data->kind == Kind::CloseButton) {
    if (data->hot && enabled) back = data->pressed ? RGB(150, 30, 30) : RGB(196, 43, 43);
  } else if (data->hot && enabled) {
    back = data->pressed ? Mix(p.title_hot, p.accent, 30) : p.title_hot;
  }
  FillSolid(dc, rc, back);
  if (data->kind == Kind::CloseButton) {
    const int cx = (rc.right - rc.left) / 2, cy = (rc.bottom - rc.top) / 2;
    const COLORREF mark = enabled ? p.text : p.dim_text;
    Line(dc, cx - 4, cy - 4, cx + 5, cy + 5, mark, 2);
    Line(dc, cx + 4, cy - 4, cx - 5, cy + 5, mark, 2);
    return;
  }
  if (data->hot && enabled) FrameSolid(dc, rc, Mix(p.title_hot, p.accent, 50));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, enabled ? (data->hot ? p.accent_hot : p.text) : p.dim_text);
  const ScopedSelection font(dc, data->font);
  const std::wstring caption = WindowTextW(hwnd);
  RECT text = rc;
  DrawTextW(dc, caption.c_str(), -1, &text, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
}

LRESULT CALLBACK TitleItemProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
    auto created =
        std::make_unique<ControlData>(cs->lpCreateParams ? Kind::CloseButton : Kind::TitleItem);
    created->font = SkinManager::Instance().Font(FontSpec{});
    AttachOwn(hwnd, std::move(created));
  }
  ControlData* data = DataOf(hwnd);
  if (!data) return DefWindowProcW(hwnd, msg, wp, lp);
  LRESULT result = 0;
  if (HandleMouse(hwnd, data, msg, wp, lp, &result)) return result;
  switch (msg) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      PaintBuffered(hwnd, [&](HDC dc, const RECT& rc) { PaintTitleItem(hwnd, data, dc, rc); });
      return 0;
    case WM_SETTEXT: {
      LRESULT r = DefWindowProcW(hwnd, msg, wp, lp);
      InvalidateRect(hwnd, nullptr, FALSE);
      return r;
    }
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(data->font);
    case WM_LBUTTONDOWN:
      SetCapture(hwnd);
      InvalidateRect(hwnd, nullptr, FALSE);
      return 0;
    case WM_LBUTTONUP: {
      const bool was_pressed = data->pressed;
      if (GetCapture() == hwnd) ReleaseCapture();
      RECT rc;
      GetClientRect(hwnd, &rc);
      const POINT pt{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
      const bool inside = PtInRect(&rc, pt) != FALSE;
      InvalidateRect(hwnd, nullptr, FALSE);
      if (was_pressed && inside) {
        if (data->kind == Kind::CloseButton) {
          PostMessageW(GetAncestor(hwnd, GA_ROOT), WM_CLOSE, 0, 0);
        } else if (data->on_click) {
          Handler copy = data->on_click;
          copy();
        }
      }
      if (IsWindow(hwnd)) HandleMouseAfter(hwnd, data, msg, lp);
      return 0;
    }
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
      HandleMouseAfter(hwnd, data, msg, lp);
      return 0;
    case WM_CAPTURECHANGED:
      data->pressed = false;
      InvalidateRect(hwnd, nullptr, FALSE);
      return 0;
    case WM_SHOWWINDOW:
      // Wine shows a child of a hidden parent by its style alone, with no position change
      // message, so the bar is laid out here with the visibility about to be.
      if (lp == 0 && data->kind == Kind::TitleItem) {
        if (Frame* frame = FrameOf(hwnd)) frame->LayoutTitle(hwnd, wp != 0);
      }
      break;
    case WM_WINDOWPOSCHANGED: {
      auto* pos = reinterpret_cast<WINDOWPOS*>(lp);
      if (pos->flags & (SWP_SHOWWINDOW | SWP_HIDEWINDOW)) {
        if (Frame* frame = FrameOf(hwnd)) frame->LayoutTitle();
      }
      break;
    }
    case WM_NCDESTROY:
      Detach(hwnd);
      break;
    default:
      break;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace

void RegisterFrameClasses() {
  RegisterOwnClass(kPanelClass, PanelProc, CS_DBLCLKS);
  RegisterOwnClass(kTitleBarClass, TitleBarProc, CS_DBLCLKS);
  // No CS_DBLCLKS: two quick clicks on an item are two clicks.
  RegisterOwnClass(kTitleItemClass, TitleItemProc, 0);
}

}  // namespace detail

// ---- Frame ----

Frame* Frame::FromHwnd(HWND hwnd) {
  if (!hwnd) return nullptr;
  if (GetWindowLongPtrW(hwnd, GWLP_WNDPROC) != reinterpret_cast<LONG_PTR>(&Frame::Proc) &&
      GetClassLongPtrW(hwnd, GCLP_WNDPROC) != reinterpret_cast<ULONG_PTR>(&Frame::Proc))
    return nullptr;
  return reinterpret_cast<Frame*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

Frame* Frame::Create(const FrameOptions& options) {
  detail::RegisterClasses();
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW existing{};
  existing.cbSize = sizeof(existing);
  if (!GetClassInfoExW(instance, options.class_name.c_str(), &existing)) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = &Frame::Proc;
    wc.lpszClassName = options.class_name.c_str();
    wc.hIcon = options.icon;
    wc.hIconSm = options.icon;
    if (!RegisterClassExW(&wc)) return nullptr;
  }
  const int width = options.content_width + kFrameExtraWidth;
  const int height = options.content_height + kFrameExtraHeight;
  int left = options.left, top = options.top;
  if (options.centered) {
    left = GetSystemMetrics(SM_CXSCREEN) / 2 - width / 2;
    top = GetSystemMetrics(SM_CYSCREEN) / 2 - height / 2;
  }
  std::unique_ptr<Frame> owned(new Frame());
  Frame* frame = owned.get();
  frame->icon_ = options.icon;
  DWORD ex = WS_EX_APPWINDOW | options.extra_ex_style;
  if (options.topmost) ex |= WS_EX_TOPMOST;
  DWORD style = WS_POPUP | WS_CLIPCHILDREN | WS_SYSMENU;
  const std::wstring caption = Widen(options.caption);
  // The window takes the Frame at WM_NCCREATE and frees it at WM_NCDESTROY; if creation
  // failed before that, `owned` still holds it.
  HWND hwnd = CreateWindowExW(ex, options.class_name.c_str(), caption.c_str(), style, left, top,
                              width, height, options.owner, nullptr, instance, &owned);
  if (!hwnd) return nullptr;
  // A layered window stays invisible until its opacity has been set once.
  if (ex & WS_EX_LAYERED) SetLayeredWindowAttributes(hwnd, 0, 255, LWA_ALPHA);
  if (options.icon) {
    SendMessageW(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(options.icon));
    SendMessageW(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(options.icon));
  }
  if (options.close_button) {
    frame->close_ = CreateWindowExW(0, detail::kTitleItemClass, L"Закрыть", WS_CHILD | WS_VISIBLE,
                                    0, 2, 21, kTitleItemHeight, frame->title_, nullptr, instance,
                                    frame /* non-null: the close button */);
  }
  frame->LayoutTitle();
  if (options.visible) ShowWindow(hwnd, SW_SHOWNORMAL);
  return frame;
}

LRESULT CALLBACK Frame::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  Frame* frame = nullptr;
  if (msg == WM_NCCREATE) {
    auto* handed =
        static_cast<std::unique_ptr<Frame>*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
    frame = handed->release();
    frame->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(frame));
  } else {
    frame = reinterpret_cast<Frame*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  }
  if (!frame) return DefWindowProcW(hwnd, msg, wp, lp);
  return frame->OnMessage(msg, wp, lp);
}

LRESULT Frame::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
  if (hook_ && msg != WM_NCDESTROY) {
    LRESULT result = 0;
    MessageHook hook = hook_;
    if (hook(hwnd_, msg, wp, lp, &result)) return result;
  }
  LRESULT handled = 0;
  if (detail::HandleContainer(hwnd_, msg, wp, lp, SkinManager::Instance().Colors().window,
                              &handled))
    return handled;
  switch (msg) {
    case WM_CREATE: {
      HINSTANCE instance = GetModuleHandleW(nullptr);
      RECT rc;
      GetClientRect(hwnd_, &rc);
      title_ = CreateWindowExW(0, detail::kTitleBarClass, detail::WindowTextW(hwnd_).c_str(),
                               WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 1, 1, rc.right - 2,
                               kTitleHeight - 1, hwnd_, nullptr, instance, nullptr);
      content_ = CreateWindowExW(WS_EX_CONTROLPARENT, detail::kPanelClass, L"",
                                 WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, kBorderLeft, kTitleHeight,
                                 rc.right - kFrameExtraWidth, rc.bottom - kFrameExtraHeight, hwnd_,
                                 nullptr, instance, nullptr);
      SkinManager::Instance().AddTopLevel(hwnd_);
      return (title_ && content_) ? 0 : -1;
    }
    case WM_SIZE: {
      const int w = LOWORD(lp), h = HIWORD(lp);
      if (title_) MoveWindow(title_, 1, 1, w - 2 > 0 ? w - 2 : 0, kTitleHeight - 1, TRUE);
      if (content_) {
        MoveWindow(content_, kBorderLeft, kTitleHeight,
                   w - kFrameExtraWidth > 0 ? w - kFrameExtraWidth : 0,
                   h - kFrameExtraHeight > 0 ? h - kFrameExtraHeight : 0, TRUE);
      }
      LayoutTitle();
      InvalidateRect(hwnd_, nullptr, FALSE);
      return 0;
    }
    case WM_SETTEXT: {
      LRESULT r = DefWindowProcW(hwnd_, msg, wp, lp);
      if (title_) SetWindowTextW(title_, reinterpret_cast<LPCWSTR>(lp));
      return r;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      detail::PaintBuffered(hwnd_, [this](HDC dc, const RECT& rc) { Paint(dc, rc); });
      return 0;
    case WM_NCDESTROY: {
      SkinManager::Instance().RemoveTopLevel(hwnd_);
      RemovePropW(hwnd_, L"VeltraneSkinTip");
      SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
      const std::unique_ptr<Frame> self(this);
      return DefWindowProcW(hwnd_, msg, wp, lp);
    }
    default:
      break;
  }
  return DefWindowProcW(hwnd_, msg, wp, lp);
}

void Frame::Paint(HDC dc, const RECT& rc) {
  const Palette& p = SkinManager::Instance().Colors();
  detail::FillSolid(dc, rc, p.title);
  detail::FrameSolid(dc, rc, p.frame);
}

void Frame::SetCaption(std::string_view caption) {
  SetText(hwnd_, caption);
}

void Frame::SetContentSize(int width, int height) {
  SetWindowPos(hwnd_, nullptr, 0, 0, width + kFrameExtraWidth, height + kFrameExtraHeight,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

HWND Frame::AddTitleItem(const TitleItemDesc& desc) {
  const std::wstring caption = Widen(desc.caption);
  HWND item = CreateWindowExW(
      0, detail::kTitleItemClass, caption.c_str(), WS_CHILD | (desc.visible ? WS_VISIBLE : 0), 0, 2,
      desc.width, kTitleItemHeight, title_, nullptr, GetModuleHandleW(nullptr), nullptr);
  if (!item) return nullptr;
  ControlData* data = DataOf(item);
  data->width = desc.width;
  data->cursor = desc.cursor;
  items_.push_back(item);
  if (!desc.hint.empty()) SetHint(item, desc.hint);
  LayoutTitle();
  return item;
}

HWND Frame::TitleItem(int index) const {
  return index >= 0 && index < TitleItemCount() ? items_[static_cast<size_t>(index)] : nullptr;
}

void Frame::SetTitleItemVisible(int index, bool visible) {
  HWND item = TitleItem(index);
  if (!item) return;
  ShowWindow(item, visible ? SW_SHOWNA : SW_HIDE);
  LayoutTitle();
}

void Frame::SetTitleItemWidth(int index, int width) {
  HWND item = TitleItem(index);
  if (!item) return;
  DataOf(item)->width = width;
  LayoutTitle();
}

void Frame::SetTitleItemCaption(int index, std::string_view caption) {
  if (HWND item = TitleItem(index)) SetText(item, caption);
}

bool Frame::TitleItemVisible(int index) const {
  HWND item = TitleItem(index);
  return item && (GetWindowLongW(item, GWL_STYLE) & WS_VISIBLE) != 0;
}

int Frame::TitleItemWidth(int index) const {
  HWND item = TitleItem(index);
  return item ? DataOf(item)->width : 0;
}

void Frame::LayoutTitle(HWND changing, bool will_be_visible) {
  if (!title_) return;
  RECT rc;
  GetClientRect(title_, &rc);
  int x = rc.right - 2;
  if (close_) {
    x -= 21;
    SetWindowPos(close_, nullptr, x, 2, 21, kTitleItemHeight, SWP_NOZORDER | SWP_NOACTIVATE);
    x -= 2;
  }
  for (HWND item : items_) {
    const bool visible =
        item == changing ? will_be_visible : (GetWindowLongW(item, GWL_STYLE) & WS_VISIBLE) != 0;
    if (!visible) continue;
    const int w = DataOf(item)->width;
    x -= w;
    SetWindowPos(item, nullptr, x, 2, w, kTitleItemHeight, SWP_NOZORDER | SWP_NOACTIVATE);
    x -= 1;
  }
  InvalidateRect(title_, nullptr, FALSE);
}

void DragWindow(HWND any_child) {
  HWND root = GetAncestor(any_child, GA_ROOT);
  if (!root) return;
  ReleaseCapture();
  SendMessageW(root, WM_SYSCOMMAND, SC_MOVE | HTCAPTION, 0);
}

}  // namespace veltrane::win32::skin
