#include "ui/main_window.h"

#include <commctrl.h>

#include <stdexcept>
#include <string>

#include "app/profile_ini.h"
#include "base/error_boundary.h"
#include "base/wide.h"
#include "ui/layout.h"
#include "ui/skin/controls.h"
#include "ui/skin/skin.h"
#include "ui/texts.h"

namespace veltrane::win32 {
namespace {

using ui::Control;

UINT_PTR TimerId(ui::Timer timer) {
  switch (timer) {
    case ui::Timer::Timer1:
      return 1;
    case ui::Timer::Timer5:
      return 5;
    case ui::Timer::Timer6:
      return 6;
  }
  return 0;
}

UINT TimerInterval(ui::Timer timer) {
  return timer == ui::Timer::Timer5 ? 1000 : 1;
}

// Runs every pending message of this thread without waiting. A WM_QUIT met here is put back
// for the main loop and reported.
bool PumpMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      return false;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return true;
}

skin::FontSpec Comic(int points, bool bold = false) {
  return skin::FontSpec::Points("Comic Sans MS", points, bold);
}

// The main window, which owns the error box when no window of the UI thread is active.
HWND g_main_window = nullptr;

}  // namespace

void ShowErrorBox(HWND owner, std::string_view text) {
  MessageBoxW(owner, Widen(text).c_str(), Widen(kApplicationTitle).c_str(), MB_OK | MB_ICONERROR);
}

void InstallErrorBox(UiHost& host) {
  SetErrorReporter([&host](const std::string& message) {
    const auto show = [message] {
      const HWND active = GetActiveWindow();
      ShowErrorBox(active ? active : g_main_window, message);
    };
    if (host.IsCurrent()) {
      show();
    } else {
      host.Post(show);
    }
  });
}

ui::Rect HwndAnimatable::Bounds() const {
  RECT rc{};
  GetWindowRect(hwnd_, &rc);
  if (GetWindowLongW(hwnd_, GWL_STYLE) & WS_CHILD) {
    MapWindowPoints(HWND_DESKTOP, GetParent(hwnd_), reinterpret_cast<POINT*>(&rc), 2);
  }
  return {rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top};
}

void HwndAnimatable::Apply(const ui::Rect& r) {
  SetWindowPos(hwnd_, nullptr, r.left, r.top, r.width, r.height,
               SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
}

void HwndAnimatable::SetLeft(int left) {
  ui::Rect r = Bounds();
  r.left = left;
  Apply(r);
}
void HwndAnimatable::SetTop(int top) {
  ui::Rect r = Bounds();
  r.top = top;
  Apply(r);
}
void HwndAnimatable::SetWidth(int width) {
  ui::Rect r = Bounds();
  r.width = width;
  Apply(r);
}
void HwndAnimatable::SetHeight(int height) {
  ui::Rect r = Bounds();
  r.height = height;
  Apply(r);
}

void BarBinding::Begin(std::int64_t length) {
  Show(model_.Begin(length));
}

void BarBinding::Advance(std::int64_t bytes) {
  if (const auto view = model_.Advance(bytes)) Show(*view);
}

void BarBinding::Show(const net::BarView& view) {
  const auto apply = [bar = bar_, view] {
    SendMessageW(bar, PBM_SETMARQUEE, view.indeterminate ? TRUE : FALSE, 30);
    SendMessageW(bar, PBM_SETRANGE32, 0, view.maximum);
    SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(view.position), 0);
  };
  if (ui_.IsCurrent()) {
    apply();
  } else {
    // Tasks posted by one thread run in the order posted: a worker's updates arrive as sent.
    ui_.Post(apply);
  }
}

MainWindow::MainWindow(UiHost& host, ui::AnimationEngine& animations)
    : host_(host), animations_(animations) {
  form_ = std::make_unique<ui::TProTarvoCompatibility>(
      *this, desktop_, host_, clock_, transport_,
      [](const std::string& path) -> std::unique_ptr<app::IniStore> {
        return std::make_unique<ProfileIniStore>(path);
      });
}

MainWindow::~MainWindow() {
  if (g_main_window == hwnd()) g_main_window = nullptr;
  if (hwnd()) DestroyWindow(hwnd());
}

void MainWindow::Create(HWND owner) {
  skin::FrameOptions options;
  options.class_name = kMainWindowClass;
  options.content_width = 817 + 8;
  options.content_height = 281 + 8;
  options.close_button = true;
  options.visible = false;
  options.icon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1));
  options.owner = owner;
  frame_ = skin::Frame::Create(options);
  if (!frame_) {
    throw std::runtime_error("Unable to create the main window, error " +
                             std::to_string(GetLastError()));
  }
  if (owner) {
    // The owner's taskbar button stands for the program.
    const LONG_PTR ex = GetWindowLongPtrW(frame_->hwnd(), GWL_EXSTYLE);
    SetWindowLongPtrW(frame_->hwnd(), GWL_EXSTYLE, ex & ~static_cast<LONG_PTR>(WS_EX_APPWINDOW));
  }
  window_geometry_.Attach(frame_->hwnd());
  g_main_window = frame_->hwnd();

  skin::TitleItemDesc setups{"Setups+", 49, false, skin::CursorKind::Help,
                             std::string(ui::kSetupsPlusHint)};
  skin::TitleItemDesc forge{"Forge Install", 70, true, skin::CursorKind::Default, ""};
  skin::TitleItemDesc changelog{"ChangeLog", 67, false, skin::CursorKind::Default, ""};
  frame_->AddTitleItem(setups);
  frame_->AddTitleItem(forge);
  frame_->AddTitleItem(changelog);

  desktop_.SetOwner(frame_->hwnd());
  BuildControls();
  WireEvents();
  form_->FormCreate();
  // The start-up tick runs once the event loop has started.
  SetTimerEnabled(ui::Timer::Timer1, true);

  // Centred on the screen when first shown, at the size the creation step gave it.
  const ui::Rect window = WindowBounds();
  const ui::ScreenSize screen = Screen();
  SetWindowPos(hwnd(), nullptr, (screen.width - window.width) / 2,
               (screen.height - window.height) / 2, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void MainWindow::BuildControls() {
  for (const ui::ControlLayout& entry : ui::kMainLayout) {
    skin::ControlDesc desc;
    desc.left = entry.rect.left;
    desc.top = entry.rect.top;
    desc.width = entry.rect.width;
    desc.height = entry.rect.height;
    desc.text = std::string(entry.text);
    desc.visible = entry.visible;
    desc.enabled = entry.enabled;
    desc.id = kControlIdBase + static_cast<int>(entry.control);
    desc.font = Comic(12);
    const HWND parent = entry.parent ? controls_[Index(*entry.parent)] : frame_->content();
    HWND hwnd = nullptr;
    switch (entry.control) {
      case Control::sGroupBox1:
      case Control::sGroupBox2:
      case Control::sGroupBox3:
        desc.font = Comic(8, true);
        desc.text_color = skin::kLightText;
        hwnd = skin::CreateGroupBox(parent, desc);
        break;
      case Control::sEdit1:
        desc.font = Comic(8, true);
        desc.text_color = skin::kLightText;
        hwnd = skin::CreateReadOnlyEdit(parent, desc);
        break;
      case Control::sLabel1:
        desc.text_color = RGB(239, 239, 239);
        hwnd = skin::CreateLabel(parent, desc);
        break;
      case Control::sCheckBox1:
      case Control::sCheckBox2:
        desc.font = Comic(8, true);
        desc.text_color = skin::kLightText;
        hwnd = skin::CreateCheckBox(parent, desc, true, true);
        break;
      case Control::sMemo1:
        desc.font = skin::FontSpec::Points("Tahoma", 8, true);
        desc.text_color = skin::kLightText;
        hwnd = skin::CreateMemo(parent, desc);
        break;
      case Control::sMemo2:
        desc.font = skin::FontSpec::Points("Tahoma", 8);
        hwnd = skin::CreateMemo(parent, desc);
        break;
      case Control::sProgressBar1:
      case Control::sProgressBar2:
      case Control::sProgressBar3:
      case Control::sProgressBar4:
      case Control::sProgressBar5:
        hwnd = skin::CreateProgressBar(parent, desc);
        break;
      case Control::sButtonInstF:
        desc.font = Comic(10, true);
        hwnd = skin::CreateButton(parent, desc);
        break;
      case Control::Button1:
        desc.font = skin::FontSpec::Points("Tahoma", 8);
        hwnd = skin::CreatePlainButton(parent, desc);
        break;
      default:
        hwnd = skin::CreateButton(parent, desc);
        break;
    }
    controls_[Index(entry.control)] = hwnd;
    control_geometry_[Index(entry.control)].Attach(hwnd);
  }
  for (int bar = 1; bar <= 5; ++bar) {
    const Control control = ui::ProgressBarControl(bar);
    bars_[control] = std::make_unique<BarBinding>(ControlHwnd(control), host_);
  }
  for (const ui::Hint& hint : ui::kHints) skin::SetHint(ControlHwnd(hint.control), hint.text);
  skin::SetCursorKind(ControlHwnd(Control::sEdit1), skin::CursorKind::Arrow);
  skin::SetCursorKind(ControlHwnd(Control::sMemo1), skin::CursorKind::Arrow);
  skin::SetCursorKind(ControlHwnd(Control::sCheckBox1), skin::CursorKind::Help);
  skin::SetCursorKind(ControlHwnd(Control::sCheckBox2), skin::CursorKind::Help);
  const HWND console = ControlHwnd(Control::sMemo1);
  form_->StatusLog().SetLineListener(
      [console](const std::string& line) { skin::MemoAppendLine(console, line); });
}

void MainWindow::WireEvents() {
  auto& form = *form_;
  const auto drag = [&form](skin::MouseButton, POINT) {
    RunGuarded([&] { form.sLabel1MouseDown(); });
  };
  skin::SetOnMouseDown(frame_->content(), drag);
  for (Control c : {Control::sGroupBox1, Control::sMemo1, Control::sGroupBox2, Control::sLabel1,
                    Control::sEdit1, Control::sGroupBox3}) {
    skin::SetOnMouseDown(ControlHwnd(c), drag);
  }
  skin::SetOnDoubleClick(ControlHwnd(Control::sEdit1),
                         [&form] { RunGuarded([&] { form.sEdit1DblClick(); }); });
  skin::SetOnFocus(ControlHwnd(Control::sEdit1),
                   [&form] { RunGuarded([&] { form.sEdit1Enter(); }); });
  skin::SetOnDoubleClick(ControlHwnd(Control::sMemo1),
                         [&form] { RunGuarded([&] { form.sMemo1DblClick(); }); });
  skin::SetOnClick(ControlHwnd(Control::sButtonOpenFolder),
                   [&form] { RunGuarded([&] { form.sButtonOpenFolderClick(); }); });
  skin::SetOnClick(ControlHwnd(Control::sButtonCheck),
                   [&form] { RunGuarded([&] { form.sButtonCheckClick(); }); });
  skin::SetOnClick(ControlHwnd(Control::sButtonDownload),
                   [&form] { RunGuarded([&] { form.sButtonDownloadClick(); }); });
  skin::SetOnClick(ControlHwnd(Control::sButtonSetFolder),
                   [&form] { RunGuarded([&] { form.sButtonSetFolderClick(); }); });
  skin::SetOnClick(ControlHwnd(Control::sButtonCopyTL),
                   [&form] { RunGuarded([&] { form.sButtonCopyTLClick(); }); });
  skin::SetOnClick(ControlHwnd(Control::sButtonExit),
                   [&form] { RunGuarded([&] { form.sButtonExitClick(); }); });
  skin::SetOnMouseMove(ControlHwnd(Control::sGroupBox3),
                       [&form](POINT) { RunGuarded([&] { form.sGroupBox3MouseMove(); }); });
  // The title-bar commands run on the release of the left or the right button over them.
  const auto on_release = [](std::function<void()> command) {
    return [command](skin::MouseButton button, POINT) {
      if (button != skin::MouseButton::Middle) RunGuarded(command);
    };
  };
  skin::SetOnClick(frame_->TitleItem(2),
                   [&form] { RunGuarded([&] { form.sTitleBar1Items0Click(); }); });
  skin::SetOnMouseUp(ControlHwnd(Control::sCheckBox1), [&form](skin::MouseButton, POINT) {
    RunGuarded([&] { form.sCheckBox1MouseUp(); });
  });
  skin::SetOnMouseUp(ControlHwnd(Control::sCheckBox2), [&form](skin::MouseButton, POINT) {
    RunGuarded([&] { form.sCheckBox2MouseUp(); });
  });
  skin::SetOnMouseUp(frame_->TitleItem(0), on_release([&form] { form.sTitleBar1Items0MouseUp(); }));
  skin::SetOnMouseUp(frame_->TitleItem(1), on_release([&form] { form.sTitleBar1Items2MouseUp(); }));
  skin::SetOnClick(ControlHwnd(Control::sButtonInstF),
                   [&form] { RunGuarded([&] { form.sButtonInstFClick(); }); });
  frame_->SetMessageHook([this](HWND, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
    return OnMessage(msg, wp, lp, result);
  });
}

bool MainWindow::OnMessage(UINT msg, WPARAM wp, LPARAM, LRESULT* result) {
  switch (msg) {
    case WM_CLOSE:
      RunGuarded([&] { form_->FormCloseQuery(); });
      *result = 0;
      return true;
    case WM_QUERYENDSESSION:
      // Refused like any other close; the window fades out and ends by itself.
      RunGuarded([&] { form_->FormCloseQuery(); });
      *result = FALSE;
      return true;
    case WM_ENDSESSION:
      // The session ends all the same and the process with it once this returns: no worker is
      // handed more, and the running ones remove their half-written files first.
      if (wp) {
        RunGuarded([&] {
          form_->FormCloseQuery();
          form_->StopWorkers();
        });
      }
      *result = 0;
      return true;
    case WM_SHOWWINDOW:
      if (wp) RunGuarded([&] { form_->FormShow(); });
      return false;
    case WM_TIMER:
      if (wp == TimerId(ui::Timer::Timer1)) {
        RunGuarded([&] { form_->Timer1Timer(); });
      } else if (wp == TimerId(ui::Timer::Timer5)) {
        RunGuarded([&] { form_->Timer5Timer(); });
      } else if (wp == TimerId(ui::Timer::Timer6)) {
        RunGuarded([&] { form_->Timer6Timer(); });
      } else {
        return false;
      }
      *result = 0;
      return true;
    default:
      return false;
  }
}

ui::Rect MainWindow::Bounds(Control control) const {
  return control_geometry_[Index(control)].Bounds();
}

void MainWindow::SetWidth(Control control, int width) {
  control_geometry_[Index(control)].SetWidth(width);
}

bool MainWindow::Visible(Control control) const {
  return (GetWindowLongW(ControlHwnd(control), GWL_STYLE) & WS_VISIBLE) != 0;
}

void MainWindow::SetVisible(Control control, bool visible) {
  ::ShowWindow(ControlHwnd(control), visible ? SW_SHOWNA : SW_HIDE);
}

bool MainWindow::Enabled(Control control) const {
  return (GetWindowLongW(ControlHwnd(control), GWL_STYLE) & WS_DISABLED) == 0;
}

void MainWindow::SetEnabled(Control control, bool enabled) {
  EnableWindow(ControlHwnd(control), enabled ? TRUE : FALSE);
}

std::string MainWindow::Text(Control control) const {
  return skin::TextOf(ControlHwnd(control));
}

void MainWindow::SetText(Control control, std::string_view text) {
  skin::SetText(ControlHwnd(control), text);
}

bool MainWindow::Checked(Control control) const {
  return skin::IsChecked(ControlHwnd(control));
}

void MainWindow::SetChecked(Control control, bool checked) {
  skin::SetChecked(ControlHwnd(control), checked);
}

void MainWindow::Focus(Control control) {
  SetFocus(ControlHwnd(control));
}

ui::Animatable& MainWindow::AnimatableControl(Control control) {
  return control_geometry_[Index(control)];
}

net::ProgressSink& MainWindow::Bar(Control progress_bar) {
  return *bars_.at(progress_bar);
}

void MainWindow::SetTitleItemVisible(int index, bool visible) {
  frame_->SetTitleItemVisible(index, visible);
}

ui::Rect MainWindow::WindowBounds() const {
  return window_geometry_.Bounds();
}

int MainWindow::ClientWidth() const {
  RECT rc{};
  GetClientRect(frame_->content(), &rc);
  return rc.right - rc.left;
}

void MainWindow::SetCaption(std::string_view caption) {
  frame_->SetCaption(caption);
}

void MainWindow::SelectSkin(std::string_view name) {
  skin::SkinManager::Instance().Select(name);
}

void MainWindow::SetWindowEnabled(bool enabled) {
  EnableWindow(hwnd(), enabled ? TRUE : FALSE);
}

bool MainWindow::WindowEnabled() const {
  return IsWindowEnabled(hwnd()) != FALSE;
}

void MainWindow::ShowWindow(bool visible) {
  ::ShowWindow(hwnd(), visible ? SW_SHOW : SW_HIDE);
}

void MainWindow::SetAlpha(int alpha) {
  const LONG_PTR ex = GetWindowLongPtrW(hwnd(), GWL_EXSTYLE);
  if (!(ex & WS_EX_LAYERED)) SetWindowLongPtrW(hwnd(), GWL_EXSTYLE, ex | WS_EX_LAYERED);
  alpha_ = alpha;
  SetLayeredWindowAttributes(hwnd(), 0, static_cast<BYTE>(alpha), LWA_ALPHA);
}

ui::ScreenSize MainWindow::Screen() const {
  return {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
}

void MainWindow::SetTimerEnabled(ui::Timer timer, bool enabled) {
  timers_[timer] = enabled;
  if (enabled) {
    SetTimer(hwnd(), TimerId(timer), TimerInterval(timer), nullptr);
  } else {
    KillTimer(hwnd(), TimerId(timer));
  }
}

bool MainWindow::TimerEnabled(ui::Timer timer) const {
  const auto it = timers_.find(timer);
  return it != timers_.end() && it->second;
}

void MainWindow::StartWindowDrag() {
  skin::DragWindow(hwnd());
}

void MainWindow::RequestClose() {
  SendMessageW(hwnd(), WM_CLOSE, 0, 0);
}

void MainWindow::ProcessMessages() {
  Sleep(1);
  if (!PumpMessages()) ending_ = true;
}

void MainWindow::EndApplication() {
  ending_ = true;
  PostQuitMessage(0);
}

}  // namespace veltrane::win32
