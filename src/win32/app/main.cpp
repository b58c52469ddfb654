// Entry point: one copy of the program, its main window, the event loop.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include "Addons/Custom/AllInOne.h"
#include "ui/FutureAnimations.h"
#include "ui/main_window.h"
#include "ui/ui_host.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  using namespace veltrane;
  win32::ActivateRunningCopy("TProTarvoCompatibility");
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS |
                                                      ICC_BAR_CLASSES | ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);

  win32::UiHost host;
  ui::AnimationEngine animations(host);
  ui::SetAnimationEngine(&animations);
  {
    win32::MainWindow window(host, animations);
    window.Create();
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
