#include "app/application_window.h"

#include "base/wide.h"
#include "ui/main_window.h"

namespace veltrane::win32 {

HWND CreateApplicationWindow() {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = DefWindowProcW;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hIcon = LoadIconW(wc.hInstance, MAKEINTRESOURCEW(1));
  wc.lpszClassName = kApplicationWindowClass;
  RegisterClassExW(&wc);
  // Visible but of no size, so that the taskbar button is the application's.
  return CreateWindowExW(WS_EX_APPWINDOW, kApplicationWindowClass, Widen(kApplicationTitle).c_str(),
                         WS_POPUP | WS_VISIBLE, 0, 0, 0, 0, nullptr, nullptr, wc.hInstance,
                         nullptr);
}

}  // namespace veltrane::win32
