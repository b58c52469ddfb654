#include "app/single_instance.h"

#include "base/wide.h"

namespace veltrane::win32 {

void RestoreAndActivate(HWND window) {
  // The owner is the running copy's application window when it has one.
  HWND owner = GetWindow(window, GW_OWNER);
  if (owner == nullptr) owner = window;
  // A hung first copy must not hang the second one as well.
  DWORD_PTR ignored = 0;
  SendMessageTimeoutW(owner, WM_SYSCOMMAND, SC_RESTORE, 0, SMTO_ABORTIFHUNG, 5000, &ignored);
  ShowWindow(owner, SW_SHOWNORMAL);
  SetForegroundWindow(window);
}

HWND FindAndActivate(const std::string& class_name) {
  HWND window = FindWindowW(Widen(class_name).c_str(), nullptr);
  if (window != nullptr) RestoreAndActivate(window);
  return window;
}

bool WaitAndActivate(const std::string& class_name, std::chrono::milliseconds patience) {
  const auto until = std::chrono::steady_clock::now() + patience;
  for (;;) {
    if (FindAndActivate(class_name)) return true;
    if (std::chrono::steady_clock::now() >= until) return false;
    Sleep(50);
  }
}

bool ActivateRunningCopy(const std::string& class_name) {
  if (FindAndActivate(class_name) == nullptr) return false;
  ExitProcess(0);
}

}  // namespace veltrane::win32
