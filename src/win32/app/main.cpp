// Entry point: start-up (single copy, update check), then the two windows and the event loop.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include <optional>
#include <utility>

#include "app/application_window.h"
#include "app/startup.h"
#include "app/startup_services.h"
#include "base/error_boundary.h"
#include "base/scope_exit.h"
#include "sync/cleanup_dialog.h"
#include "sync/cleanup_form.h"
#include "ui/animation_engine.h"
#include "ui/main_window.h"
#include "ui/ui_host.h"

namespace {

using namespace veltrane;

void RunProgram(win32::UiHost& host) {
  // What start-up verified of the manifest is the form's from its start.
  std::optional<net::ServedFiles> verified;
  {
    win32::Win32StartupServices startup;
    if (app::RunStartup(startup, &verified) == app::StartupResult::kExit) return;
  }

  ui::AnimationEngine animations(host);
  ui::SetAnimationEngine(&animations);
  const ScopeExit uninstall([] { ui::SetAnimationEngine(nullptr); });
  const HWND application = win32::CreateApplicationWindow();
  win32::MainWindow window(host, animations);
  window.Form().State().VerifiedFiles = std::move(verified);
  // Without its main window the program has nothing to offer; the error box has said why.
  if (!RunGuarded([&] { window.Create(application); })) return;
  // The cleanup dialog exists from the start, hidden, until the program ends. Without it the
  // runs keep the removable files and give the window back at once.
  win32::CleanupDialog dialog;
  const bool has_dialog = RunGuarded([&] { dialog.Create(); });
  sync::TProTarvoCompatibility2 cleanup(dialog, window.Form().Seat(),
                                        window.Form().CleanupSources());
  const ScopeExit detach([&] { dialog.Attach(nullptr); });
  if (has_dialog) {
    dialog.Attach(&cleanup);
    window.Form().SetCleanupOpener([&cleanup] { sync::OpenCleanupDialog(cleanup); });
  }
  ShowWindow(window.hwnd(), SW_SHOW);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  {
    win32::UiHost host;
    win32::InstallErrorBox(host);
    RunGuarded([&] { RunProgram(host); });
    SetErrorReporter({});
  }
  ExitProcess(0);
}
