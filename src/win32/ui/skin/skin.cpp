#include "ui/skin/skin.h"

#include <commctrl.h>
#include <uxtheme.h>

#include <algorithm>

#include "base/scoped.h"
#include "base/wide.h"
#include "ui/skin/control_data.h"
#include "ui/skin/drawing.h"

namespace veltrane::win32::skin {
namespace {

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
  if (it != fonts_.end()) return it->second.get();
  int height = -desc.size;
  if (!desc.pixels) {
    const ScopedWindowDc screen = ScopedWindowDc::Client(nullptr);
    height = -MulDiv(desc.size, GetDeviceCaps(screen.get(), LOGPIXELSY), 72);
  }
  LOGFONTW lf{};
  lf.lfHeight = height;
  lf.lfWeight = desc.bold ? FW_BOLD : FW_NORMAL;
  lf.lfCharSet = RUSSIAN_CHARSET;
  lf.lfOutPrecision = OUT_TT_PRECIS;
  lf.lfQuality = ANTIALIASED_QUALITY;
  const std::wstring face = Widen(desc.face);
  lstrcpynW(lf.lfFaceName, face.c_str(), LF_FACESIZE);
  return fonts_.emplace(desc, ScopedFont(CreateFontIndirectW(&lf))).first->second.get();
}

HBRUSH SkinManager::Brush(COLORREF color) {
  auto it = brushes_.find(color);
  if (it != brushes_.end()) return it->second.get();
  return brushes_.emplace(color, ScopedBrush(CreateSolidBrush(color))).first->second.get();
}

void SkinManager::ReleaseResources() {
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

}  // namespace veltrane::win32::skin
