#pragma once
// A skinned top-level window: a WS_POPUP window (no system frame, which Wine draws grey) with a
// thin border, a title bar and a content panel. Layouts place controls in the content panel's
// client coordinates.
//
//   outer width  = content width  + kFrameExtraWidth   (left border 2, right border 3)
//   outer height = content height + kFrameExtraHeight  (title bar 26 with the top border,
//                                                       bottom border 2)
//
// Everything in the frame is a real child window whose text is its caption: the title bar
// (text = the window caption), its items, and the close button. The frame keeps its Frame*
// in GWLP_USERDATA of the top-level window; use the message hook instead of subclassing it.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "ui/skin/skin.h"

namespace veltrane::win32::skin {

inline constexpr int kBorderLeft = 2;
inline constexpr int kBorderRight = 3;
inline constexpr int kBorderBottom = 2;
inline constexpr int kTitleHeight = 26;  // top border included
inline constexpr int kFrameExtraWidth = kBorderLeft + kBorderRight;
inline constexpr int kFrameExtraHeight = kTitleHeight + kBorderBottom;
inline constexpr int kTitleItemHeight = 21;

struct FrameOptions {
  std::wstring class_name = L"VeltraneSkinFrame";  // registered on first use
  std::string caption;
  int content_width = 300;
  int content_height = 200;
  // Screen position of the outer window; centred on the primary screen when not given.
  bool centered = true;
  int left = 0;
  int top = 0;
  bool close_button = true;
  bool topmost = false;
  bool visible = false;
  HICON icon = nullptr;  // drawn at the left of the title bar; a skin emblem when null
  HWND owner = nullptr;
  DWORD extra_ex_style = 0;  // e.g. WS_EX_LAYERED for a window that fades
};

struct TitleItemDesc {
  std::string caption;
  int width = 60;
  bool visible = true;
  CursorKind cursor = CursorKind::Default;
  std::string hint;
};

// Sees every message of the top-level window before the frame does. Return true to stop the
// frame's own handling; *result is then what the window procedure returns.
using MessageHook = std::function<bool(HWND, UINT, WPARAM, LPARAM, LRESULT* result)>;

class Frame {
 public:
  // Creates the window; the Frame lives until the window is destroyed (it frees itself).
  static Frame* Create(const FrameOptions& options);
  static Frame* FromHwnd(HWND hwnd);

  HWND hwnd() const { return hwnd_; }
  HWND content() const { return content_; }
  HWND title_bar() const { return title_; }
  HWND close_button() const { return close_; }

  // Caption of the window and of its title bar.
  void SetCaption(std::string_view caption);
  // Resizes the outer window so that the content panel gets this client size.
  void SetContentSize(int width, int height);

  // Title-bar items are laid out right-aligned, item 0 rightmost (left of the close button),
  // each 21 px high, its caption centred in Tahoma 8 pt. Click and mouse-up callbacks are set
  // on the returned window with SetOnClick / SetOnMouseUp; ShowWindow on it works as well.
  HWND AddTitleItem(const TitleItemDesc& desc);
  HWND TitleItem(int index) const;
  int TitleItemCount() const { return static_cast<int>(items_.size()); }
  void SetTitleItemVisible(int index, bool visible);
  void SetTitleItemWidth(int index, int width);
  void SetTitleItemCaption(int index, std::string_view caption);
  bool TitleItemVisible(int index) const;
  int TitleItemWidth(int index) const;

  void SetMessageHook(MessageHook hook) { hook_ = std::move(hook); }
  // Places the visible items; `changing` is an item about to become `will_be_visible`.
  void LayoutTitle(HWND changing = nullptr, bool will_be_visible = false);

  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

 private:
  Frame() = default;
  LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp);
  void Paint(HDC dc, const RECT& rc);

  HWND hwnd_ = nullptr;
  HWND content_ = nullptr;
  HWND title_ = nullptr;
  HWND close_ = nullptr;
  HICON icon_ = nullptr;
  std::vector<HWND> items_;
  MessageHook hook_;
};

// Starts the system's interactive move of the window that contains `any_child`, as if its
// title bar had been grabbed.
void DragWindow(HWND any_child);

}  // namespace veltrane::win32::skin
