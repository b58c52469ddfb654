// Entry point: start-up (single copy, update check), then the two windows and the event loop.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include "app/application_window.h"
#include "app/startup.h"
#include "app/startup_services.h"
#include "sync/Unit2.h"
#include "sync/cleanup_dialog.h"
#include "ui/FutureAnimations.h"
#include "ui/main_window.h"
#include "ui/ui_host.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  using namespace veltrane;
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  {
    win32::Win32StartupServices startup;
    if (app::RunStartup(startup) == app::StartupResult::kExit) ExitProcess(0);
  }

  win32::UiHost host;
  ui::AnimationEngine animations(host);
  ui::SetAnimationEngine(&animations);
  {
    const HWND application = win32::CreateApplicationWindow();
    win32::MainWindow window(host, animations);
    window.Create(application);
    // The cleanup dialog exists from the start, hidden, until the program ends.
    win32::CleanupDialog dialog;
    dialog.Create();
    sync::TProTarvoCompatibility2 cleanup(dialog, window.Form(), window);
    dialog.Attach(&cleanup);
    window.Form().SetCleanupOpener([&cleanup] { sync::OpenCleanupDialog(cleanup); });
    ShowWindow(window.hwnd(), SW_SHOW);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  ui::SetAnimationEngine(nullptr);
  ExitProcess(0);
}
