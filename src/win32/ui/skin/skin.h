#pragma once
// The dark skin every window of the program is drawn in: two built-in palettes chosen by name,
// one cache of fonts and brushes (created once, freed together), and the helpers that every
// skinned control shares (hints, cursors, mouse callbacks).
//
// Everything here belongs to the UI thread. A worker thread never calls these functions; it
// posts to a window and lets the UI thread do the work.
#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "base/scoped.h"

namespace veltrane::win32::skin {

inline constexpr const char* kMaterialDark = "Material Dark (internal)";
inline constexpr const char* kEmerald = "Emerald (internal)";

// The light text colour both skins share.
inline constexpr COLORREF kLightText = RGB(230, 238, 255);

struct Palette {
  COLORREF window;       // content panel of a top-level window
  COLORREF panel;        // inside a group box
  COLORREF frame;        // outer border and group box outlines
  COLORREF title;        // title bar
  COLORREF title_hot;    // title item under the mouse
  COLORREF text;         // default text
  COLORREF dim_text;     // disabled text
  COLORREF accent;       // check marks, progress fill, group captions
  COLORREF accent_hot;   // hover
  COLORREF button;       // push button face
  COLORREF button_hot;   // push button face under the mouse
  COLORREF button_down;  // pressed push button
  COLORREF edit;         // memo and edit background
  COLORREF track;        // progress bar track
};

struct FontSpec {
  std::string face = "Tahoma";
  int size = 8;         // points, or pixels when `pixels` is set
  bool pixels = false;  // size is a cell height in pixels (e.g. "Tahoma 11 px")
  bool bold = false;

  static FontSpec Points(std::string face, int points, bool bold = false) {
    return FontSpec{std::move(face), points, false, bold};
  }
  static FontSpec Pixels(std::string face, int pixels, bool bold = false) {
    return FontSpec{std::move(face), pixels, true, bold};
  }
  bool operator<(const FontSpec& o) const {
    return std::tie(face, size, pixels, bold) < std::tie(o.face, o.size, o.pixels, o.bold);
  }
};

// Process-wide skin state. Fonts and brushes live until ReleaseResources (or process end).
class SkinManager {
 public:
  static SkinManager& Instance();

  // Selects a built-in skin by its exact name and repaints every skinned top-level window.
  // Returns false (and keeps the current skin) for an unknown name.
  bool Select(std::string_view name);
  const std::string& Current() const { return current_; }
  const Palette& Colors() const { return palette_; }
  static std::vector<std::string> Names();

  // Cached GDI objects; the manager owns them, callers never delete them.
  HFONT Font(const FontSpec& desc);
  HBRUSH Brush(COLORREF color);
  void ReleaseResources();

  // Top-level windows repainted by Select (frames register themselves).
  void AddTopLevel(HWND hwnd);
  void RemoveTopLevel(HWND hwnd);

  SkinManager(const SkinManager&) = delete;
  SkinManager& operator=(const SkinManager&) = delete;

 private:
  SkinManager();
  ~SkinManager();

  std::string current_;
  Palette palette_{};
  std::map<FontSpec, ScopedFont> fonts_;
  std::map<COLORREF, ScopedBrush> brushes_;
  std::vector<HWND> top_levels_;
};

enum class MouseButton { Left, Right, Middle };
enum class CursorKind { Default, Arrow, Help, Hand };

using MouseHandler = std::function<void(MouseButton button, POINT client_point)>;
using MoveHandler = std::function<void(POINT client_point)>;
using Handler = std::function<void()>;

// Callbacks of any control made by this library (title items, group boxes, memos, edits,
// buttons, check boxes, labels, the content panel). Setting one replaces the previous one.
// A mouse-down handler on a memo or edit replaces the control's own press handling (no text
// selection, no caret), so the handler can start a window drag.
void SetOnClick(HWND control, Handler handler);
void SetOnDoubleClick(HWND control, Handler handler);
void SetOnFocus(HWND control, Handler handler);
void SetOnMouseDown(HWND control, MouseHandler handler);
void SetOnMouseUp(HWND control, MouseHandler handler);
void SetOnMouseMove(HWND control, MoveHandler handler);

// The cursor shown over a control.
void SetCursorKind(HWND control, CursorKind kind);

// The pop-up hint of a control (multi-line with CR LF). One tooltip window serves each
// top-level window; an empty text removes the hint.
void SetHint(HWND control, std::string_view text);
// The hint text as the tooltip holds it (empty when the control has none).
std::string HintOf(HWND control);

// Window text in UTF-8.
std::string TextOf(HWND hwnd);
void SetText(HWND hwnd, std::string_view text);

}  // namespace veltrane::win32::skin
