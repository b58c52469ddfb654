// Drives the main window's own compatibility check and download run, without a window, against
// the server the build points at, and prints how long they took:
//   sync_bench check|turbo|sequential APPDATA GAME_FOLDER EXPECTED_MISSING (-1: any number)
// APPDATA stands for %appdata% (the settings go below it); GAME_FOLDER must already hold
// versions\1.12.2 and assets. "check" times the check alone; the other two time the run that
// follows it, from the click to the run's summary, and the growth of the peak memory meanwhile.
// Prints "key: value" lines that tools/bench-sync reads.
// clang-format off
#include <windows.h>
// clang-format on

#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "app/profile_ini.h"
#include "app/settings.h"
#include "base/paths.h"
#include "base/wide.h"
#include "fake_tick_source.h"
#include "manual_ui_thread.h"
#include "net/bar_model.h"
#include "net/server_paths.h"
#include "net/transfer.h"
#include "net/wininet_transport.h"
#include "process_memory.h"
#include "ui/layout.h"
#include "ui/main_form.h"

using veltrane::bench::Growth;
using veltrane::bench::Peaks;
using veltrane::bench::ReadPeaks;

namespace {

using namespace veltrane;
using Clock = std::chrono::steady_clock;

constexpr char kRunSummary[] = "======Завершение загрузки=======";
constexpr char kLoadedPrefix[] = "Успешно: ";
constexpr char kFailedPrefix[] = " ! Ошибка загрузки: ";
constexpr auto kRunLimit = std::chrono::minutes(20);

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

class Geometry : public ui::Animatable {
 public:
  ui::Rect Bounds() const override { return bounds; }
  void SetLeft(int value) override { bounds.left = value; }
  void SetTop(int value) override { bounds.top = value; }
  void SetWidth(int value) override { bounds.width = value; }
  void SetHeight(int value) override { bounds.height = value; }
  ui::Rect bounds;
};

// Like the window's bar binding: the shared model, and a worker's changes carried over to the
// UI thread.
class HeadlessBar : public net::ProgressSink {
 public:
  explicit HeadlessBar(test::ManualUiThread& ui) : ui_(ui) {}
  void Begin(std::int64_t length) override { Show(model_.Begin(length)); }
  void Advance(std::int64_t bytes) override {
    if (const auto view = model_.Advance(bytes)) Show(*view);
  }

 private:
  void Show(const net::BarView& view) {
    if (ui_.IsCurrent()) {
      shown_ = view;
    } else {
      ui_.Post([this, view] { shown_ = view; });
    }
  }

  test::ManualUiThread& ui_;
  net::SharedBarModel model_;
  net::BarView shown_;  // UI thread only
};

class HeadlessView : public ui::MainView {
 public:
  HeadlessView(test::FakeTickSource& ticks, test::ManualUiThread& ui) : ticks_(ticks), ui_(ui) {
    for (const ui::ControlLayout& entry : ui::kMainLayout) {
      State& state = At(entry.control);
      state.geometry.bounds = entry.rect;
      state.visible = entry.visible;
      state.enabled = entry.enabled;
      state.text = std::string(entry.text);
    }
    for (int bar = 0; bar < 5; ++bar)
      bars_[static_cast<std::size_t>(bar)] = std::make_unique<HeadlessBar>(ui);
    window_.bounds = {100, 100, 1000, 600};
  }

  ui::Rect Bounds(ui::Control c) const override { return At(c).geometry.bounds; }
  void SetWidth(ui::Control c, int width) override { At(c).geometry.SetWidth(width); }
  bool Visible(ui::Control c) const override { return At(c).visible; }
  void SetVisible(ui::Control c, bool visible) override { At(c).visible = visible; }
  bool Enabled(ui::Control c) const override { return At(c).enabled; }
  void SetEnabled(ui::Control c, bool enabled) override { At(c).enabled = enabled; }
  std::string Text(ui::Control c) const override { return At(c).text; }
  void SetText(ui::Control c, std::string_view text) override { At(c).text = text; }
  bool Checked(ui::Control c) const override { return At(c).checked; }
  void SetChecked(ui::Control c, bool checked) override { At(c).checked = checked; }
  void Focus(ui::Control) override {}
  ui::Animatable& AnimatableControl(ui::Control c) override { return At(c).geometry; }
  net::ProgressSink& Bar(ui::Control c) override {
    const int index = static_cast<int>(c) - static_cast<int>(ui::Control::sProgressBar1);
    return *bars_.at(static_cast<std::size_t>(index));
  }
  void SetTitleItemVisible(int, bool) override {}

  ui::Animatable& Window() override { return window_; }
  ui::Rect WindowBounds() const override { return window_.bounds; }
  int ClientWidth() const override { return window_.bounds.width - 5; }
  void SetCaption(std::string_view) override {}
  void SelectSkin(std::string_view) override {}
  void SetWindowEnabled(bool enabled) override { window_enabled_ = enabled; }
  bool WindowEnabled() const override { return window_enabled_; }
  void ShowWindow(bool) override {}
  int Alpha() const override { return alpha_; }
  void SetAlpha(int value) override { alpha_ = value; }
  ui::ScreenSize Screen() const override { return {1280, 1024}; }
  void SetTimerEnabled(ui::Timer timer, bool enabled) override {
    timers_[static_cast<std::size_t>(timer)] = enabled;
  }
  bool TimerEnabled(ui::Timer timer) const override {
    return timers_[static_cast<std::size_t>(timer)];
  }
  void StartWindowDrag() override {}
  void RequestClose() override {}
  // As the window does: about a millisecond's sleep, then the animation tick and queued work.
  void ProcessMessages() override {
    Sleep(1);
    ticks_.Tick();
    ui_.RunPending();
  }
  void EndApplication() override { ending_ = true; }
  bool AppEnding() const override { return ending_; }

 private:
  struct State {
    Geometry geometry;
    bool visible = true;
    bool enabled = true;
    std::string text;
    bool checked = false;
  };
  State& At(ui::Control c) { return controls_.at(static_cast<std::size_t>(c)); }
  const State& At(ui::Control c) const { return controls_.at(static_cast<std::size_t>(c)); }

  test::FakeTickSource& ticks_;
  test::ManualUiThread& ui_;
  std::array<State, ui::kMainLayout.size()> controls_;
  std::array<std::unique_ptr<HeadlessBar>, 5> bars_;
  std::array<bool, 3> timers_{};
  Geometry window_;
  bool window_enabled_ = true;
  int alpha_ = 255;
  bool ending_ = false;
};

class HeadlessDesktop : public ui::Desktop {
 public:
  explicit HeadlessDesktop(std::string appdata) : appdata_(std::move(appdata)) {}
  void CopyToClipboard(std::string_view) override {}
  void ExploreFolder(std::string_view) override {}
  void RunCommandLine(std::string_view command_line, int) override {
    std::fprintf(stderr, "asked to run: %s\n", std::string(command_line).c_str());
  }
  void OpenFile(std::string_view file, std::string_view) override {
    std::fprintf(stderr, "asked to open: %s\n", std::string(file).c_str());
  }
  std::string ProgramName() override { return "Veltrane Dravenna.exe"; }
  std::string ExpandEnvText(std::string_view text) override {
    std::string result(text);
    const std::string key = "%appdata%";
    if (const auto at = result.find(key); at != std::string::npos)
      result.replace(at, key.size(), appdata_);
    return result;
  }
  std::string ToAnsi(std::string_view text) override { return win32::ToAnsi(text); }
  std::string FromAnsi(std::string_view text) override { return win32::FromAnsi(text); }
  std::string DecimalSeparator() override { return ","; }
  // A box would stop the run in the real window, so the bench counts it as a failure.
  bool ShowMessage(std::string_view text, std::string_view, Buttons, Icon) override {
    ++messages;
    std::fprintf(stderr, "message box: %s\n", std::string(text).c_str());
    return true;
  }
  std::optional<std::string> BrowseForFolder(std::string_view) override { return std::nullopt; }
  std::uintptr_t FindTopWindow(std::string_view, std::string_view) override { return 0; }
  bool IsProcessRunning(std::string_view) override { return false; }
  void CloseGameWindow(std::uintptr_t, std::string_view) override {}

  int messages = 0;

 private:
  std::string appdata_;
};

class LocalClock : public ui::ConsoleClock {
 public:
  std::string LongTimeNow() const override {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return LongTime(now.wHour, now.wMinute, now.wSecond);
  }
};

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// Console lines carry "[time] " before a worker's text.
bool LineSays(const std::string& line, std::string_view prefix) {
  const auto at = line.find("] ");
  return at != std::string::npos && StartsWith(std::string_view(line).substr(at + 2), prefix);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: sync_bench check|turbo|sequential APPDATA GAME_FOLDER MISSING\n");
    return 2;
  }
  const std::string mode = win32::Narrow(argv[1]);
  const std::string appdata = win32::Narrow(argv[2]);
  const std::string game = win32::Narrow(argv[3]);
  const long expected_missing = std::wcstol(argv[4], nullptr, 10);
  if (mode != "check" && mode != "turbo" && mode != "sequential") {
    std::fprintf(stderr, "unknown mode %s\n", mode.c_str());
    return 2;
  }

  test::FakeTickSource ticks;
  ui::AnimationEngine engine(ticks);
  ui::SetAnimationEngine(&engine);
  test::ManualUiThread ui;
  HeadlessView view(ticks, ui);
  HeadlessDesktop desktop(appdata);
  LocalClock clock;
  win32::WinInetTransport transport;
  auto form = std::make_unique<ui::TProTarvoCompatibility>(
      view, desktop, ui, clock, transport,
      [](const std::string& path) -> std::unique_ptr<app::IniStore> {
        return std::make_unique<win32::ProfileIniStore>(path);
      });
  app::SharedState& state = form->State();

  // The window's start, as the player's first run has it: settings naming the game folder,
  // the extra tool off (the bench has nothing to open), the mode under test.
  form->FormCreate();
  form->FormShow();
  app::WriteText(*state.SettingsIni, app::kGameFolderKey, game);
  app::WriteFlag(*state.SettingsIni, app::kTurboKey, mode == "turbo");
  app::WriteFlag(*state.SettingsIni, app::kExtraOptionsKey, false);
  form->Timer1Timer();
  ticks.RunUntilStopped();
  if (!view.Visible(ui::Control::sGroupBox3)) {
    std::fprintf(stderr, "the game folder was not accepted: %s\n", game.c_str());
    return 1;
  }

  // The program has talked to the server before the player can click (its update check), so
  // WinInet's one-off set-up is kept out of the figures.
  const std::string warm = JoinPath(appdata, "warm-up.bin");
  if (!net::DownloadFile(transport, net::FileUrl(state.ServerUrl, net::kManifestPath), warm,
                         nullptr, desktop.ProgramName())) {
    std::fprintf(stderr, "the server did not answer\n");
    return 1;
  }
  DeleteFileAt(warm);

  const auto check_start = Clock::now();
  form->sButtonCheckClick();
  const double check_seconds = SecondsSince(check_start);
  ui.RunPending();
  ticks.RunUntilStopped();
  const auto missing = static_cast<long>(state.MissingMods.size());
  std::printf("check_seconds: %.3f\n", check_seconds);
  std::printf("mods: %d\n", static_cast<int>(state.ModCount));
  std::printf("missing: %ld\n", missing);
  if (expected_missing >= 0 && missing != expected_missing) {
    std::fprintf(stderr, "the check found %ld missing mods, expected %ld\n", missing,
                 expected_missing);
    return 1;
  }
  if (mode == "check") return 0;

  const std::size_t first_line = form->StatusLog().Lines().size();
  const auto closed = [&] {
    if (!view.WindowEnabled()) return false;
    const auto& lines = form->StatusLog().Lines();
    for (std::size_t i = first_line; i < lines.size(); ++i) {
      if (lines[i] == kRunSummary) return true;
    }
    return false;
  };

  const Peaks before = ReadPeaks();
  const auto run_start = Clock::now();
  auto next_watch = run_start + std::chrono::seconds(1);
  form->sButtonDownloadClick();
  // The window's message loop: the 1 ms dispatcher timer and the game folder's 1 s watch.
  while (!closed() && Clock::now() - run_start < kRunLimit) {
    view.ProcessMessages();
    if (view.TimerEnabled(ui::Timer::Timer6)) form->Timer6Timer();
    if (view.TimerEnabled(ui::Timer::Timer5) && Clock::now() >= next_watch) {
      form->Timer5Timer();
      next_watch += std::chrono::seconds(1);
    }
  }
  const double run_seconds = SecondsSince(run_start);
  const Peaks after = ReadPeaks();
  const bool ended = closed();

  int loaded = 0;
  int failed = 0;
  const auto& lines = form->StatusLog().Lines();
  for (std::size_t i = first_line; i < lines.size(); ++i) {
    loaded += LineSays(lines[i], kLoadedPrefix);
    failed += LineSays(lines[i], kFailedPrefix);
  }
  std::printf("run_closed: %s\n", ended ? "yes" : "no");
  std::printf("run_seconds: %.3f\n", run_seconds);
  std::printf("loaded: %d\n", loaded);
  std::printf("failed: %d\n", failed);
  std::printf("loaded_count: %d\n", static_cast<int>(state.LoadedCount));
  std::printf("message_boxes: %d\n", desktop.messages);
  std::printf("peak_working_set_growth: %llu\n",
              static_cast<unsigned long long>(Growth(before.working_set, after.working_set)));
  std::printf("peak_pagefile_growth: %llu\n",
              static_cast<unsigned long long>(Growth(before.pagefile, after.pagefile)));
  std::fflush(stdout);

  form.reset();
  ui::SetAnimationEngine(nullptr);
  return ended && loaded == missing && failed == 0 ? 0 : 1;
}
