// The main window built in this process: its class, caption, controls, title items and hints.
#include "ui/main_window.h"

#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <thread>

#include "base/error_boundary.h"
#include "base/scope_exit.h"
#include "base/u8path.h"
#include "base/wide.h"
#include "system_helpers.h"
#include "temp_dir.h"
#include "ui/animation_engine.h"
#include "ui/layout.h"
#include "ui/skin/skin.h"
#include "ui/texts.h"
#include "ui/ui_host.h"

namespace veltrane::win32 {
namespace {

// Answers the first standard error box that appears, from a thread of its own, while the test's
// thread (the UI thread) runs its messages in Wait().
class ErrorBoxWatch {
 public:
  struct Seen {
    std::string text;
    DWORD thread = 0;  // the thread that showed the box
  };

  ErrorBoxWatch() : watcher_([this] { Watch(); }) {}

  Seen Wait() {
    while (!done_) {
      test::Pump();
      Sleep(5);
    }
    watcher_.join();
    return seen_;
  }

 private:
  void Watch() {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < limit) {
      if (const HWND box = FindWindowW(L"#32770", L"Dravenna Update")) {
        wchar_t text[512] = {};
        GetDlgItemTextW(box, 0xFFFF, text, 512);
        seen_.text = Narrow(text);
        seen_.thread = GetWindowThreadProcessId(box, nullptr);
        PostMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
        break;
      }
      Sleep(20);
    }
    done_ = true;
  }

  Seen seen_;
  std::atomic<bool> done_{false};
  std::jthread watcher_;  // joined on destruction too
};

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!GetEnvironmentVariableW(L"DISPLAY", nullptr, 0)) GTEST_SKIP() << "needs a display";
    engine = std::make_unique<ui::AnimationEngine>(host);
    ui::SetAnimationEngine(engine.get());
    window = std::make_unique<MainWindow>(host, *engine);
    window->Create();
  }
  void TearDown() override {
    window.reset();
    ui::SetAnimationEngine(nullptr);
  }

  UiHost host;
  std::unique_ptr<ui::AnimationEngine> engine;
  std::unique_ptr<MainWindow> window;
};

TEST_F(MainWindowTest, ClassCaptionAndCompactSize) {
  wchar_t name[64] = {};
  GetClassNameW(window->hwnd(), name, 64);
  EXPECT_STREQ(name, L"TProTarvoCompatibility");
  EXPECT_EQ(skin::TextOf(window->hwnd()), "Veltrane v1.2.6 - Dravenna 1.12.2");
  EXPECT_EQ(test::OuterSize(window->hwnd()), (std::pair<LONG, LONG>(406, 133)));
  EXPECT_EQ(window->ClientWidth(), 401);
}

TEST_F(MainWindowTest, EveryControlKeepsItsLayout) {
  for (const ui::ControlLayout& entry : ui::kMainLayout) {
    const HWND hwnd = window->ControlHwnd(entry.control);
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(window->Bounds(entry.control), entry.rect) << entry.text;
    EXPECT_EQ(window->Visible(entry.control), entry.visible) << entry.text;
    EXPECT_EQ(window->Enabled(entry.control), entry.enabled) << entry.text;
    EXPECT_EQ(GetDlgCtrlID(hwnd), kControlIdBase + static_cast<int>(entry.control));
    if (entry.control != ui::Control::sMemo2 && entry.control != ui::Control::sEdit1) {
      EXPECT_EQ(skin::TextOf(hwnd), entry.text);
    }
  }
  EXPECT_TRUE(window->Checked(ui::Control::sCheckBox1));
  EXPECT_TRUE(window->Checked(ui::Control::sCheckBox2));
  EXPECT_EQ(window->Text(ui::Control::sMemo2), ui::kChangeLog);
}

TEST_F(MainWindowTest, EachControlShowsItsOwnHint) {
  for (const ui::Hint& hint : ui::kHints) {
    EXPECT_EQ(skin::HintOf(window->ControlHwnd(hint.control)), hint.text);
  }
}

TEST_F(MainWindowTest, TitleItemsAtCreation) {
  auto* frame = skin::Frame::FromHwnd(window->hwnd());
  ASSERT_NE(frame, nullptr);
  ASSERT_EQ(frame->TitleItemCount(), 3);
  const char* captions[] = {"Setups+", "Forge Install", "ChangeLog"};
  const int widths[] = {49, 70, 67};
  const bool visible[] = {false, true, false};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(skin::TextOf(frame->TitleItem(i)), captions[i]);
    EXPECT_EQ(frame->TitleItemWidth(i), widths[i]);
    EXPECT_EQ(frame->TitleItemVisible(i), visible[i]);
  }
  EXPECT_EQ(skin::HintOf(frame->TitleItem(0)), ui::kSetupsPlusHint);
}

TEST_F(MainWindowTest, AnErrorOnAWorkerThreadIsShownInTheStandardBoxOnTheUiThread) {
  InstallErrorBox(host);
  const ScopeExit uninstall([] { SetErrorReporter({}); });
  ErrorBoxWatch watch;
  std::thread worker([] { RunGuarded([] { throw std::runtime_error("Сбой в потоке"); }); });
  worker.join();
  const ErrorBoxWatch::Seen box = watch.Wait();
  EXPECT_EQ(box.text, "Сбой в потоке");
  EXPECT_EQ(box.thread, GetCurrentThreadId());
}

TEST_F(MainWindowTest, AnErrorInAHandlerIsShownInTheStandardBoxAndTheWindowLives) {
  InstallErrorBox(host);
  const ScopeExit uninstall([] { SetErrorReporter({}); });
  test::TempDir temp;
  std::filesystem::create_directory(temp.path() / U8Path("Veltrane - Статус.txt"));
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(temp.path());
  const ScopeExit back([&] { std::filesystem::current_path(previous); });
  ErrorBoxWatch watch;
  // The status file cannot be written where a folder has its name.
  SendMessageW(window->ControlHwnd(ui::Control::sMemo1), WM_LBUTTONDBLCLK, MK_LBUTTON,
               MAKELPARAM(10, 10));
  const ErrorBoxWatch::Seen box = watch.Wait();
  EXPECT_NE(box.text.find("Veltrane - Статус.txt"), std::string::npos) << box.text;
  EXPECT_TRUE(IsWindow(window->hwnd()));
}

TEST_F(MainWindowTest, AWorkerThreadsBarChangesArriveOnTheUiThread) {
  net::ProgressSink& bar = window->Bar(ui::Control::sProgressBar3);
  std::thread worker([&] {
    bar.Begin(1000);
    bar.Advance(250);
    bar.Advance(250);
  });
  worker.join();
  const HWND hwnd = window->ControlHwnd(ui::Control::sProgressBar3);
  test::Pump();
  PBRANGE range{};
  SendMessageW(hwnd, PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
  const auto position = SendMessageW(hwnd, PBM_GETPOS, 0, 0);
  EXPECT_GT(range.iHigh, 0);
  EXPECT_EQ(position * 2, range.iHigh);
}

TEST_F(MainWindowTest, SizeModesInTheRealWindow) {
  // The wide window at the actions height, as after a check. No start-up tick: the validation of
  // whatever folder this prefix has would resize the window meanwhile.
  window->SetTimerEnabled(ui::Timer::Timer1, false);
  const HWND hwnd = window->hwnd();
  SetWindowPos(hwnd, nullptr, 100, 100, 830, 294, SWP_NOZORDER | SWP_NOACTIVATE);
  ShowWindow(hwnd, SW_SHOWNA);
  auto& form = window->Form();

  form.ChngSize(1);
  EXPECT_EQ(window->WindowBounds().height, 317);
  EXPECT_EQ(window->Bounds(ui::Control::sProgressBar1).width, 830 - 5 - 16);
  EXPECT_TRUE(window->Visible(ui::Control::sProgressBar1));
  EXPECT_FALSE(window->Visible(ui::Control::sProgressBar2));

  form.ChngSize(2);
  EXPECT_EQ(window->WindowBounds().height, 317);
  EXPECT_EQ(window->Bounds(ui::Control::sProgressBar1).width, 155);
  for (int bar = 1; bar <= 5; ++bar) {
    EXPECT_TRUE(window->Visible(ui::ProgressBarControl(bar))) << bar;
  }

  form.ChngSize(0);
  EXPECT_EQ(window->WindowBounds(), (ui::Rect{100, 100, 830, 294}));
  for (int bar = 1; bar <= 5; ++bar) {
    EXPECT_FALSE(window->Visible(ui::ProgressBarControl(bar))) << bar;
  }
}

}  // namespace
}  // namespace veltrane::win32
