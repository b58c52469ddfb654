#pragma once
// What the Win32 tests of files, processes and windows share.
#include <windows.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <utility>

#include "base/scoped.h"
#include "base/wide.h"

namespace veltrane::test {

// Polls `done` every 50 ms; false when it has not come true within `limit`.
inline bool WaitFor(const std::function<bool()>& done, std::chrono::seconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return true;
}

// Runs the messages waiting for this thread's windows.
inline void Pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
}

// A child window's rectangle in its parent's client coordinates.
inline RECT RectIn(HWND child, HWND parent) {
  RECT rc;
  GetWindowRect(child, &rc);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rc), 2);
  return rc;
}

// A window's outer width and height.
inline std::pair<LONG, LONG> OuterSize(HWND hwnd) {
  RECT rc;
  GetWindowRect(hwnd, &rc);
  return {rc.right - rc.left, rc.bottom - rc.top};
}

// A variable of the process environment; empty when it is not set.
inline std::string Environment(const wchar_t* name) {
  wchar_t buffer[1024] = {};
  const DWORD length = GetEnvironmentVariableW(name, buffer, 1024);
  return win32::Narrow(std::wstring_view(buffer, length));
}

// Opens a file so that nobody else may read, write or delete it while this object lives.
class ExclusiveLock {
 public:
  explicit ExclusiveLock(const std::string& path)
      : handle_(CreateFileW(win32::Widen(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr)) {}
  bool held() const { return static_cast<bool>(handle_); }
  void Release() { handle_.reset(); }

 private:
  win32::ScopedHandle handle_;
};

}  // namespace veltrane::test
