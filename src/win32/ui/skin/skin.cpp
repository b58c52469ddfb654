#include "ui/skin/skin.h"

#include <commctrl.h>
#include <uxtheme.h>

#include <algorithm>

#include "base/wide.h"
#include "ui/skin/skin_internal.h"

namespace veltrane::win32::skin {
namespace {

constexpr wchar_t kDataProp[] = L"VeltraneSkinData";
constexpr wchar_t kTipProp[] = L"VeltraneSkinTip";

Palette MaterialDark() {
  Palette p{};
  p.window = RGB(33, 43, 48);
  p.panel = RGB(40, 52, 58);
  p.frame = RGB(84, 110, 122);
  p.title = RGB(26, 34, 38);
  p.title_hot = RGB(55, 71, 79);
  p.text = kLightText;
  p.dim_text = RGB(120, 136, 146);
  p.accent = RGB(128, 168, 190);
  p.accent_hot = RGB(160, 196, 214);
  p.button = RGB(55, 71, 79);
  p.button_hot = RGB(69, 90, 100);
  p.button_down = RGB(38, 50, 56);
  p.edit = RGB(28, 37, 41);
  p.track = RGB(24, 31, 35);
  return p;
}

Palette Emerald() {
  Palette p{};
  p.window = RGB(22, 38, 33);
  p.panel = RGB(28, 48, 41);
  p.frame = RGB(46, 125, 90);
  p.title = RGB(15, 28, 24);
  p.title_hot = RGB(33, 82, 62);
  p.text = kLightText;
  p.dim_text = RGB(110, 140, 128);
  p.accent = RGB(56, 190, 124);
  p.accent_hot = RGB(92, 220, 156);
  p.button = RGB(36, 74, 60);
  p.button_hot = RGB(44, 96, 76);
  p.button_down = RGB(24, 52, 42);
  p.edit = RGB(17, 30, 26);
  p.track = RGB(14, 25, 21);
  return p;
}

void ApplyTipColors(HWND tip) {
  const Palette& p = SkinManager::Instance().Colors();
  SendMessageW(tip, TTM_SETTIPBKCOLOR, p.title, 0);
  SendMessageW(tip, TTM_SETTIPTEXTCOLOR, p.text, 0);
}

HWND TooltipFor(HWND control, bool create) {
  HWND root = GetAncestor(control, GA_ROOT);
  if (!root) return nullptr;
  HWND tip = static_cast<HWND>(GetPropW(root, kTipProp));
  if (tip && IsWindow(tip)) return tip;
  if (!create) return nullptr;
  tip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                        WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, root, nullptr, GetModuleHandleW(nullptr),
                        nullptr);
  if (!tip) return nullptr;
  // Themed tooltips ignore the colour messages; a blank theme name switches theming off.
  SetWindowTheme(tip, L" ", L" ");
  ApplyTipColors(tip);
  // A max width makes the tooltip honour the CR LF breaks of multi-line hints.
  SendMessageW(tip, TTM_SETMAXTIPWIDTH, 0, 420);
  SendMessageW(tip, TTM_SETDELAYTIME, TTDT_AUTOPOP, 15000);
  SendMessageW(tip, WM_SETFONT, reinterpret_cast<WPARAM>(SkinManager::Instance().Font(FontSpec{})),
               FALSE);
  SetPropW(root, kTipProp, tip);
  return tip;
}

TTTOOLINFOW ToolInfo(HWND tip, HWND control) {
  TTTOOLINFOW ti{};
  ti.cbSize = TTTOOLINFOW_V2_SIZE;
  ti.hwnd = GetParent(tip) ? GetParent(tip) : GetAncestor(control, GA_ROOT);
  ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  ti.uId = reinterpret_cast<UINT_PTR>(control);
  return ti;
}

detail::ControlData* Need(HWND control) {
  return detail::DataOf(control);
}

}  // namespace

// ---- SkinManager ----

SkinManager& SkinManager::Instance() {
  static SkinManager manager;
  return manager;
}

SkinManager::SkinManager() : current_(kMaterialDark), palette_(MaterialDark()) {}

SkinManager::~SkinManager() {
  ReleaseResources();
}

std::vector<std::string> SkinManager::Names() {
  return {kMaterialDark, kEmerald};
}

bool SkinManager::Select(std::string_view name) {
  if (name == kMaterialDark) {
    palette_ = MaterialDark();
  } else if (name == kEmerald) {
    palette_ = Emerald();
  } else {
    return false;
  }
  current_ = std::string(name);
  for (HWND top : top_levels_) {
    if (!IsWindow(top)) continue;
    if (HWND tip = static_cast<HWND>(GetPropW(top, kTipProp))) ApplyTipColors(tip);
    RedrawWindow(top, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  }
  return true;
}

HFONT SkinManager::Font(const FontSpec& desc) {
  auto it = fonts_.find(desc);
  if (it != fonts_.end()) return it->second;
  int height = -desc.size;
  if (!desc.pixels) {
    HDC screen = GetDC(nullptr);
    height = -MulDiv(desc.size, GetDeviceCaps(screen, LOGPIXELSY), 72);
    ReleaseDC(nullptr, screen);
  }
  LOGFONTW lf{};
  lf.lfHeight = height;
  lf.lfWeight = desc.bold ? FW_BOLD : FW_NORMAL;
  lf.lfCharSet = RUSSIAN_CHARSET;
  lf.lfOutPrecision = OUT_TT_PRECIS;
  lf.lfQuality = ANTIALIASED_QUALITY;
  const std::wstring face = Widen(desc.face);
  lstrcpynW(lf.lfFaceName, face.c_str(), LF_FACESIZE);
  HFONT font = CreateFontIndirectW(&lf);
  fonts_.emplace(desc, font);
  return font;
}

HBRUSH SkinManager::Brush(COLORREF color) {
  auto it = brushes_.find(color);
  if (it != brushes_.end()) return it->second;
  HBRUSH brush = CreateSolidBrush(color);
  brushes_.emplace(color, brush);
  return brush;
}

void SkinManager::ReleaseResources() {
  for (auto& [desc, font] : fonts_) DeleteObject(font);
  for (auto& [color, brush] : brushes_) DeleteObject(brush);
  fonts_.clear();
  brushes_.clear();
}

void SkinManager::AddTopLevel(HWND hwnd) {
  if (std::find(top_levels_.begin(), top_levels_.end(), hwnd) == top_levels_.end())
    top_levels_.push_back(hwnd);
}

void SkinManager::RemoveTopLevel(HWND hwnd) {
  top_levels_.erase(std::remove(top_levels_.begin(), top_levels_.end(), hwnd), top_levels_.end());
}

// ---- callbacks, cursors, hints ----

void SetOnClick(HWND control, Handler handler) {
  if (auto* d = Need(control)) d->on_click = std::move(handler);
}
void SetOnDoubleClick(HWND control, Handler handler) {
  if (auto* d = Need(control)) d->on_double_click = std::move(handler);
}
void SetOnFocus(HWND control, Handler handler) {
  if (auto* d = Need(control)) d->on_focus = std::move(handler);
}
void SetOnMouseDown(HWND control, MouseHandler handler) {
  if (auto* d = Need(control)) d->on_mouse_down = std::move(handler);
}
void SetOnMouseUp(HWND control, MouseHandler handler) {
  if (auto* d = Need(control)) d->on_mouse_up = std::move(handler);
}
void SetOnMouseMove(HWND control, MoveHandler handler) {
  if (auto* d = Need(control)) d->on_mouse_move = std::move(handler);
}
void SetCursorKind(HWND control, CursorKind kind) {
  if (auto* d = Need(control)) d->cursor = kind;
}

void SetHint(HWND control, std::string_view text) {
  HWND tip = TooltipFor(control, !text.empty());
  if (!tip) return;
  TTTOOLINFOW ti = ToolInfo(tip, control);
  SendMessageW(tip, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
  if (text.empty()) return;
  std::wstring wide = Widen(text);
  ti.lpszText = wide.data();
  SendMessageW(tip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
}

std::string HintOf(HWND control) {
  HWND tip = TooltipFor(control, false);
  if (!tip) return {};
  TTTOOLINFOW ti = ToolInfo(tip, control);
  wchar_t buffer[1024] = {};
  ti.lpszText = buffer;
  SendMessageW(tip, TTM_GETTEXTW, sizeof(buffer) / sizeof(buffer[0]),
               reinterpret_cast<LPARAM>(&ti));
  return Narrow(buffer);
}

std::string TextOf(HWND hwnd) {
  return Narrow(detail::WindowTextW(hwnd));
}

void SetText(HWND hwnd, std::string_view text) {
  SetWindowTextW(hwnd, Widen(text).c_str());
}

namespace detail {

std::wstring WindowTextW(HWND hwnd) {
  const int length = GetWindowTextLengthW(hwnd);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const int got = GetWindowTextW(hwnd, text.data(), length + 1);
  text.resize(static_cast<size_t>(got > 0 ? got : 0));
  return text;
}

ControlData* DataOf(HWND hwnd) {
  return static_cast<ControlData*>(GetPropW(hwnd, kDataProp));
}

void AttachOwn(HWND hwnd, ControlData* data) {
  SetPropW(hwnd, kDataProp, data);
}

void AttachSubclass(HWND hwnd, ControlData* data, SUBCLASSPROC proc) {
  data->subclass = proc;
  SetPropW(hwnd, kDataProp, data);
  SetWindowSubclass(hwnd, proc, 1, reinterpret_cast<DWORD_PTR>(data));
}

void Detach(HWND hwnd) {
  ControlData* data = DataOf(hwnd);
  if (!data) return;
  if (data->subclass) RemoveWindowSubclass(hwnd, data->subclass, 1);
  if (data->marquee) KillTimer(hwnd, 1);
  RemovePropW(hwnd, kDataProp);
  delete data;
}

COLORREF BackgroundBehind(HWND child) {
  HWND parent = GetParent(child);
  if (parent && DataOf(parent))
    return static_cast<COLORREF>(SendMessageW(parent, kMsgBackground, 0, 0));
  return SkinManager::Instance().Colors().window;
}

COLORREF TextColorOf(const ControlData* data) {
  if (data && data->text_color) return *data->text_color;
  return SkinManager::Instance().Colors().text;
}

void FillSolid(HDC dc, const RECT& rc, COLORREF color) {
  SetBkColor(dc, color);
  ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &rc, nullptr, 0, nullptr);
}

void FrameSolid(HDC dc, const RECT& rc, COLORREF color) {
  FrameRect(dc, &rc, SkinManager::Instance().Brush(color));
}

void Line(HDC dc, int x1, int y1, int x2, int y2, COLORREF color, int width) {
  HPEN pen = CreatePen(PS_SOLID, width, color);
  HGDIOBJ old = SelectObject(dc, pen);
  MoveToEx(dc, x1, y1, nullptr);
  LineTo(dc, x2, y2);
  SelectObject(dc, old);
  DeleteObject(pen);
}

COLORREF Mix(COLORREF a, COLORREF b, int percent_b) {
  auto mix = [percent_b](int x, int y) { return (x * (100 - percent_b) + y * percent_b) / 100; };
  return RGB(mix(GetRValue(a), GetRValue(b)), mix(GetGValue(a), GetGValue(b)),
             mix(GetBValue(a), GetBValue(b)));
}

bool HandleContainer(HWND, UINT msg, WPARAM wp, LPARAM lp, COLORREF background, LRESULT* result) {
  const Palette& p = SkinManager::Instance().Colors();
  switch (msg) {
    case kMsgBackground:
      *result = static_cast<LRESULT>(background);
      return true;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORLISTBOX: {
      HDC dc = reinterpret_cast<HDC>(wp);
      ControlData* d = DataOf(reinterpret_cast<HWND>(lp));
      const COLORREF back = d && d->back_color ? *d->back_color : p.edit;
      SetTextColor(dc, TextColorOf(d));
      SetBkColor(dc, back);
      *result = reinterpret_cast<LRESULT>(SkinManager::Instance().Brush(back));
      return true;
    }
    case WM_CTLCOLORBTN:
      *result = reinterpret_cast<LRESULT>(SkinManager::Instance().Brush(background));
      return true;
    case WM_DRAWITEM: {
      auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lp);
      if (ControlData* d = DataOf(item->hwndItem)) {
        DrawOwnerItem(item, d);
        *result = TRUE;
        return true;
      }
      return false;
    }
    case WM_COMMAND:
      if (lp && HIWORD(wp) == BN_CLICKED) {
        ControlData* d = DataOf(reinterpret_cast<HWND>(lp));
        if (d && d->on_click) {
          Handler copy = d->on_click;  // the handler may replace itself
          copy();
        }
        *result = 0;
        return true;
      }
      return false;
    default:
      return false;
  }
}

namespace {

MouseButton ButtonOf(UINT msg) {
  switch (msg) {
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
      return MouseButton::Right;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
      return MouseButton::Middle;
    default:
      return MouseButton::Left;
  }
}

POINT PointOf(LPARAM lp) {
  return POINT{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
}

// Memos, edits and passive surfaces give a press to the callback alone: a window drag must
// not also start a text selection.
bool PressIsExclusive(Kind kind) {
  return kind == Kind::Memo || kind == Kind::Edit || kind == Kind::Group || kind == Kind::Label ||
         kind == Kind::Panel;
}

}  // namespace

bool HandleOwnText(HWND hwnd, ControlData* data, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
  switch (msg) {
    case WM_SETTEXT:
    case WM_ENABLE:
      *result = DefWindowProcW(hwnd, msg, wp, lp);
      InvalidateRect(hwnd, nullptr, FALSE);
      return true;
    case WM_GETFONT:
      *result = reinterpret_cast<LRESULT>(data->font);
      return true;
    default:
      return false;
  }
}

bool HandleMouse(HWND hwnd, ControlData* data, UINT msg, WPARAM, LPARAM lp, LRESULT* result) {
  switch (msg) {
    case WM_SETCURSOR: {
      if (data->cursor == CursorKind::Default || LOWORD(lp) != HTCLIENT) return false;
      LPCWSTR id = IDC_ARROW;
      if (data->cursor == CursorKind::Help) id = IDC_HELP;
      if (data->cursor == CursorKind::Hand) id = IDC_HAND;
      SetCursor(LoadCursorW(nullptr, id));
      *result = TRUE;
      return true;
    }
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      if (msg == WM_LBUTTONDOWN) data->pressed = true;
      if (data->on_mouse_down && !data->in_bm_click) {
        MouseHandler copy = data->on_mouse_down;
        copy(ButtonOf(msg), PointOf(lp));
        if (PressIsExclusive(data->kind)) {
          *result = 0;
          return true;
        }
      }
      return false;
    case WM_LBUTTONDBLCLK:
      if (data->on_double_click) {
        Handler copy = data->on_double_click;
        copy();
        if (PressIsExclusive(data->kind)) {
          *result = 0;
          return true;
        }
      }
      return false;
    case WM_MOUSEMOVE:
      if (!data->tracking) {
        TRACKMOUSEEVENT tme{sizeof(tme), TME_LEAVE, hwnd, 0};
        data->tracking = TrackMouseEvent(&tme) != FALSE;
        data->hot = true;
        InvalidateRect(hwnd, nullptr, FALSE);
      }
      if (data->on_mouse_move) {
        MoveHandler copy = data->on_mouse_move;
        copy(PointOf(lp));
      }
      return false;
    case WM_MOUSELEAVE:
      data->tracking = false;
      data->hot = false;
      InvalidateRect(hwnd, nullptr, FALSE);
      return false;
    default:
      return false;
  }
}

void HandleMouseAfter(HWND hwnd, ControlData* data, UINT msg, LPARAM lp) {
  switch (msg) {
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP: {
      const bool synthetic = data->in_bm_click;
      if (msg == WM_LBUTTONUP) data->pressed = false;
      RECT rc;
      GetClientRect(hwnd, &rc);
      const POINT pt = PointOf(lp);
      if (!synthetic && data->on_mouse_up && PtInRect(&rc, pt)) {
        MouseHandler copy = data->on_mouse_up;
        copy(ButtonOf(msg), pt);
      }
      break;
    }
    case WM_SETFOCUS:
      if (data->on_focus) {
        Handler copy = data->on_focus;
        copy();
      }
      break;
    default:
      break;
  }
}

}  // namespace detail
}  // namespace veltrane::win32::skin
