#pragma once
// The main window on Windows: the skinned frame of class TProTarvoCompatibility, its controls
// built from the layout table, and the bridge from window messages to the window's logic.
#include <windows.h>

#include <array>
#include <map>
#include <memory>
#include <string_view>

#include "net/bar_model.h"
#include "net/wininet_transport.h"
#include "ui/desktop_win32.h"
#include "ui/main_form.h"
#include "ui/main_view.h"
#include "ui/skin/frame.h"
#include "ui/ui_host.h"

namespace veltrane::win32 {

inline constexpr wchar_t kMainWindowClass[] = L"TProTarvoCompatibility";
inline constexpr char kApplicationTitle[] = "Dravenna Update";
// Control ids: 1000 + the control's position in ui::Control, so tests can find them by id.
inline constexpr int kControlIdBase = 1000;

// The standard error box: an error's text under the application's title, with an error icon.
void ShowErrorBox(HWND owner, std::string_view text);
// Makes the standard error box the process-wide error reporter (base/error_boundary.h). On the
// UI thread it is shown at once; an error caught on another thread is posted there through
// `host`. Its owner is the UI thread's active window, else the main window. Uninstall it
// (SetErrorReporter({})) before `host` goes.
void InstallErrorBox(UiHost& host);

// Moves a window or a control one property at a time.
class HwndAnimatable : public ui::Animatable {
 public:
  HwndAnimatable() = default;
  explicit HwndAnimatable(HWND hwnd) : hwnd_(hwnd) {}
  void Attach(HWND hwnd) { hwnd_ = hwnd; }
  ui::Rect Bounds() const override;
  void SetLeft(int left) override;
  void SetTop(int top) override;
  void SetWidth(int width) override;
  void SetHeight(int height) override;

 private:
  void Apply(const ui::Rect& rect);
  HWND hwnd_ = nullptr;
};

// A progress bar as transfers see it. Transfers run on workers: their changes go to the UI
// thread through UiThread::Post, the one route of every worker event, and the bar is changed
// there (at once, when called on the UI thread itself).
class BarBinding : public net::ProgressSink {
 public:
  BarBinding(HWND bar, ui::UiThread& ui) : bar_(bar), ui_(ui) {}
  void Begin(std::int64_t length) override;
  void Advance(std::int64_t bytes) override;

 private:
  void Show(const net::BarView& view);
  HWND bar_;
  ui::UiThread& ui_;
  net::SharedBarModel model_;
};

class MainWindow : public ui::MainView {
 public:
  MainWindow(UiHost& host, ui::AnimationEngine& animations);
  ~MainWindow() override;

  // Creates the window (hidden, owned by `owner`), runs the form's creation step and wires the
  // events.
  void Create(HWND owner = nullptr);
  HWND hwnd() const { return frame_ ? frame_->hwnd() : nullptr; }
  HWND ControlHwnd(ui::Control control) const { return controls_[Index(control)]; }
  ui::TProTarvoCompatibility& Form() { return *form_; }

  // MainView
  ui::Rect Bounds(ui::Control control) const override;
  void SetWidth(ui::Control control, int width) override;
  bool Visible(ui::Control control) const override;
  void SetVisible(ui::Control control, bool visible) override;
  bool Enabled(ui::Control control) const override;
  void SetEnabled(ui::Control control, bool enabled) override;
  std::string Text(ui::Control control) const override;
  void SetText(ui::Control control, std::string_view text) override;
  bool Checked(ui::Control control) const override;
  void SetChecked(ui::Control control, bool checked) override;
  void Focus(ui::Control control) override;
  ui::Animatable& AnimatableControl(ui::Control control) override;
  net::ProgressSink& Bar(ui::Control progress_bar) override;
  void SetTitleItemVisible(int index, bool visible) override;
  ui::Animatable& Window() override { return window_geometry_; }
  ui::Rect WindowBounds() const override;
  int ClientWidth() const override;
  void SetCaption(std::string_view caption) override;
  void SelectSkin(std::string_view name) override;
  void SetWindowEnabled(bool enabled) override;
  bool WindowEnabled() const override;
  void ShowWindow(bool visible) override;
  int Alpha() const override { return alpha_; }
  void SetAlpha(int alpha) override;
  ui::ScreenSize Screen() const override;
  void SetTimerEnabled(ui::Timer timer, bool enabled) override;
  bool TimerEnabled(ui::Timer timer) const override;
  void StartWindowDrag() override;
  void RequestClose() override;
  void ProcessMessages() override;
  void EndApplication() override;
  bool AppEnding() const override { return ending_; }

 private:
  static size_t Index(ui::Control control) { return static_cast<size_t>(control); }
  void BuildControls();
  void WireEvents();
  bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result);

  UiHost& host_;
  ui::AnimationEngine& animations_;
  Win32Desktop desktop_;
  Win32ConsoleClock clock_;
  WinInetTransport transport_;
  skin::Frame* frame_ = nullptr;
  std::array<HWND, 22> controls_{};
  std::array<HwndAnimatable, 22> control_geometry_{};
  std::map<ui::Control, std::unique_ptr<BarBinding>> bars_;
  HwndAnimatable window_geometry_;
  std::map<ui::Timer, bool> timers_;
  int alpha_ = 255;
  bool ending_ = false;
  // Last, so that it goes first: its turbo workers are joined while their bars still exist.
  std::unique_ptr<ui::TProTarvoCompatibility> form_;
};

}  // namespace veltrane::win32
