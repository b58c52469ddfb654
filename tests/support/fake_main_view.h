#pragma once
// The main window for tests of the window's logic: the layout's controls with their states, an
// outer rectangle, timers, and ProcessMessages() that delivers one animation tick and runs the
// work posted to the UI thread, as the Win32 message loop would.
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "fake_animatable.h"
#include "fake_tick_source.h"
#include "manual_ui_thread.h"
#include "ui/layout.h"
#include "ui/main_view.h"

namespace veltrane::test {

class RecordingProgress : public net::ProgressSink {
 public:
  void Begin(std::int64_t length) override {
    begins.push_back(length);
    position = 0;
  }
  void Advance(std::int64_t bytes) override { position += bytes; }
  std::vector<std::int64_t> begins;
  std::int64_t position = 0;
};

class FakeMainView : public ui::MainView {
 public:
  struct ControlState {
    FakeAnimatable geometry;
    bool visible = true;
    bool enabled = true;
    std::string text;
    bool checked = false;
  };

  FakeMainView(FakeTickSource& ticks, ManualUiThread& ui) : ticks_(ticks), ui_(ui) {
    for (const ui::ControlLayout& entry : ui::kMainLayout) {
      ControlState& state = controls[entry.control];
      state.geometry.bounds = entry.rect;
      state.visible = entry.visible;
      state.enabled = entry.enabled;
      state.text = std::string(entry.text);
    }
    // Every bar exists up front: workers look theirs up from their own threads.
    for (int bar = 1; bar <= 5; ++bar) bars[ui::ProgressBarControl(bar)];
    controls[ui::Control::sCheckBox1].checked = true;
    controls[ui::Control::sCheckBox2].checked = true;
    window.bounds = {100, 100, 1000, 600};
  }

  ui::Rect Bounds(ui::Control c) const override { return controls.at(c).geometry.bounds; }
  void SetWidth(ui::Control c, int width) override { controls[c].geometry.SetWidth(width); }
  bool Visible(ui::Control c) const override { return controls.at(c).visible; }
  void SetVisible(ui::Control c, bool visible) override {
    controls[c].visible = visible;
    visibility_log.push_back({c, visible});
  }
  bool Enabled(ui::Control c) const override { return controls.at(c).enabled; }
  void SetEnabled(ui::Control c, bool enabled) override { controls[c].enabled = enabled; }
  std::string Text(ui::Control c) const override { return controls.at(c).text; }
  void SetText(ui::Control c, std::string_view text) override { controls[c].text = text; }
  bool Checked(ui::Control c) const override { return controls.at(c).checked; }
  void SetChecked(ui::Control c, bool checked) override { controls[c].checked = checked; }
  void Focus(ui::Control c) override { focused = c; }
  ui::Animatable& AnimatableControl(ui::Control c) override { return controls[c].geometry; }
  net::ProgressSink& Bar(ui::Control c) override { return bars.at(c); }
  void SetTitleItemVisible(int index, bool visible) override { title_items[index] = visible; }

  ui::Animatable& Window() override { return window; }
  ui::Rect WindowBounds() const override { return window.bounds; }
  int ClientWidth() const override { return window.bounds.width - 5; }
  void SetCaption(std::string_view text) override { caption = text; }
  void SelectSkin(std::string_view name) override { skin = name; }
  void SetWindowEnabled(bool enabled) override { window_enabled = enabled; }
  bool WindowEnabled() const override { return window_enabled; }
  void ShowWindow(bool visible) override { window_visible = visible; }
  int Alpha() const override { return alpha; }
  void SetAlpha(int value) override { alpha = value; }
  ui::ScreenSize Screen() const override { return screen; }
  void SetTimerEnabled(ui::Timer timer, bool enabled) override {
    timers[timer] = enabled;
    timer_log.push_back({timer, enabled});
  }
  bool TimerEnabled(ui::Timer timer) const override {
    const auto it = timers.find(timer);
    return it != timers.end() && it->second;
  }
  void StartWindowDrag() override { ++drags; }
  void RequestClose() override { ++close_requests; }
  void ProcessMessages() override {
    ++pumps;
    ticks_.Tick();
    ui_.RunPending();
    if (on_pump) on_pump();
  }
  void EndApplication() override { ending = true; }
  bool AppEnding() const override { return ending; }

  std::map<ui::Control, ControlState> controls;
  std::map<ui::Control, RecordingProgress> bars;
  std::map<int, bool> title_items;
  std::map<ui::Timer, bool> timers;
  std::vector<std::pair<ui::Timer, bool>> timer_log;
  std::vector<std::pair<ui::Control, bool>> visibility_log;
  FakeAnimatable window;
  ui::ScreenSize screen{1280, 1024};
  std::string caption;
  std::string skin;
  std::optional<ui::Control> focused;
  bool window_enabled = true;
  bool window_visible = true;
  int alpha = 255;
  int drags = 0;
  int close_requests = 0;
  int pumps = 0;
  bool ending = false;
  std::function<void()> on_pump;

 private:
  FakeTickSource& ticks_;
  ManualUiThread& ui_;
};

}  // namespace veltrane::test
