#include "ui/ui_host.h"

#include <memory>

#include "base/error_boundary.h"

namespace veltrane::win32 {
namespace {

constexpr wchar_t kHostClass[] = L"VeltraneUiHost";

}  // namespace

UiHost::UiHost() : thread_id_(GetCurrentThreadId()) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = &UiHost::Proc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = kHostClass;
  RegisterClassExW(&wc);
  hwnd_ =
      CreateWindowExW(0, kHostClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, this);
}

UiHost::~UiHost() {
  for (const auto& timer : timers_) KillTimer(hwnd_, timer.first);
  // Tasks still queued are dropped unrun: what they would work on may be gone.
  MSG msg;
  while (PeekMessageW(&msg, hwnd_, kRunTask, kRunTask, PM_REMOVE)) {
    delete reinterpret_cast<std::function<void()>*>(msg.lParam);
  }
  if (hwnd_) DestroyWindow(hwnd_);
}

bool UiHost::IsCurrent() const {
  return GetCurrentThreadId() == thread_id_;
}

void UiHost::Post(std::function<void()> task) {
  auto* heap = new std::function<void()>(std::move(task));
  if (!PostMessageW(hwnd_, kRunTask, 0, reinterpret_cast<LPARAM>(heap))) delete heap;
}

bool UiHost::RunUntil(const std::function<bool()>& done) {
  MSG msg;
  while (!done()) {
    // Waits for the next message; the work waited for posts one when it ends.
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == -1) return false;
    if (got == 0) {
      // Kept for the main loop, which ends the program.
      PostQuitMessage(static_cast<int>(msg.wParam));
      return false;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return true;
}

void UiHost::Start(unsigned id, unsigned interval_ms, std::function<void()> on_tick) {
  timers_[id] = std::move(on_tick);
  SetTimer(hwnd_, id, interval_ms, nullptr);
}

void UiHost::Stop(unsigned id) {
  KillTimer(hwnd_, id);
  timers_.erase(id);
}

LRESULT CALLBACK UiHost::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lp);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<UiHost*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (msg == kRunTask) {
    std::unique_ptr<std::function<void()>> task(reinterpret_cast<std::function<void()>*>(lp));
    RunGuarded(*task);
    return 0;
  }
  if (msg == WM_TIMER && self) {
    const auto it = self->timers_.find(wp);
    if (it != self->timers_.end()) {
      // A copy: the tick may stop this timer and so destroy the stored callback.
      const std::function<void()> tick = it->second;
      RunGuarded(tick);
    }
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace veltrane::win32
