#pragma once
// The main window as the program's logic sees it: its controls by their layout names, its
// outer rectangle, its timers and the few window services the handlers use. The Win32 window
// implements it; tests use a recording fake.
#include <string>
#include <string_view>

#include "net/progress.h"
#include "ui/animation_engine.h"
#include "ui/geometry.h"
#include "ui/size_modes.h"

namespace veltrane::ui {

enum class Control {
  sGroupBox1,  // "Статус"
  sGroupBox2,  // "Путь к папке с игрой"
  sGroupBox3,  // "Действия"
  sEdit1,
  sLabel1,
  sButtonOpenFolder,
  sButtonSetFolder,
  sButtonCopyTL,
  sButtonCheck,
  sButtonDownload,
  sCheckBox1,  // "Турбо"
  sCheckBox2,  // "Setups"
  sButtonExit,
  sMemo1,
  sProgressBar1,
  sProgressBar2,
  sProgressBar3,
  sProgressBar4,
  sProgressBar5,
  sMemo2,
  sButtonInstF,
  Button1,  // the off-screen focus sink
};

inline Control ProgressBarControl(int number) {
  return static_cast<Control>(static_cast<int>(Control::sProgressBar1) + number - 1);
}

enum class Timer { Timer1, Timer5, Timer6 };

class MainView {
 public:
  virtual ~MainView() = default;

  // Controls. Rectangles are in the parent's client coordinates (the layout's numbers).
  virtual Rect Bounds(Control control) const = 0;
  virtual void SetWidth(Control control, int width) = 0;
  virtual bool Visible(Control control) const = 0;
  virtual void SetVisible(Control control, bool visible) = 0;
  virtual bool Enabled(Control control) const = 0;
  virtual void SetEnabled(Control control, bool enabled) = 0;
  virtual std::string Text(Control control) const = 0;
  virtual void SetText(Control control, std::string_view text) = 0;
  virtual bool Checked(Control control) const = 0;
  virtual void SetChecked(Control control, bool checked) = 0;
  virtual void Focus(Control control) = 0;
  virtual Animatable& AnimatableControl(Control control) = 0;
  // The bar of a transfer; usable from worker threads (changes reach the bar on the UI thread).
  virtual net::ProgressSink& Bar(Control progress_bar) = 0;
  virtual void SetTitleItemVisible(int index, bool visible) = 0;

  // The window. Its rectangle is the outer one, in screen coordinates.
  virtual Animatable& Window() = 0;
  virtual Rect WindowBounds() const = 0;
  virtual int ClientWidth() const = 0;
  virtual void SetCaption(std::string_view caption) = 0;
  virtual void SelectSkin(std::string_view name) = 0;
  virtual void SetWindowEnabled(bool enabled) = 0;
  virtual bool WindowEnabled() const = 0;
  virtual void ShowWindow(bool visible) = 0;
  // Opacity 0..255; setting it turns alpha blending on.
  virtual int Alpha() const = 0;
  virtual void SetAlpha(int alpha) = 0;
  virtual ScreenSize Screen() const = 0;

  virtual void SetTimerEnabled(Timer timer, bool enabled) = 0;
  virtual bool TimerEnabled(Timer timer) const = 0;

  // Releases the mouse and starts the system's move of the window by its caption.
  virtual void StartWindowDrag() = 0;
  // Asks the window to close, as its close button does.
  virtual void RequestClose() = 0;
  // Sleeps about a millisecond, then runs every pending window message.
  virtual void ProcessMessages() = 0;
  // Leaves the event loop; AppEnding() is true from then on.
  virtual void EndApplication() = 0;
  virtual bool AppEnding() const = 0;
};

// The current rectangles that every size is computed from.
inline WindowLayout LayoutOf(const MainView& view) {
  return WindowLayout{view.Bounds(Control::sGroupBox2), view.Bounds(Control::sGroupBox3),
                      view.Bounds(Control::sGroupBox1), view.Bounds(Control::sProgressBar1),
                      view.Bounds(Control::sProgressBar2)};
}

}  // namespace veltrane::ui
