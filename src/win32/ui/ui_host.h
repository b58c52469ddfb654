#pragma once
// The user-interface thread's own message-only window: work posted from any thread and the
// animation engine's timer both arrive here as messages, so they run in the thread's one queue
// (and therefore also inside modal loops and the program's own message waits).
#include <windows.h>

#include <functional>
#include <map>

#include "base/app_messages.h"
#include "ui/animation_engine.h"
#include "ui/ui_thread.h"

namespace veltrane::win32 {

class UiHost : public ui::UiThread, public ui::TickSource {
 public:
  UiHost();
  ~UiHost() override;
  UiHost(const UiHost&) = delete;
  UiHost& operator=(const UiHost&) = delete;

  bool IsCurrent() const override;
  void Post(std::function<void()> task) override;
  bool RunUntil(const std::function<bool()>& done) override;
  void Start(unsigned id, unsigned interval_ms, std::function<void()> on_tick) override;
  void Stop(unsigned id) override;

  HWND hwnd() const { return hwnd_; }

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

  HWND hwnd_ = nullptr;
  DWORD thread_id_ = 0;
  std::map<UINT_PTR, std::function<void()>> timers_;
};

}  // namespace veltrane::win32
