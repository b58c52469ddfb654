#pragma once
// The one way onto the user-interface thread. Tasks posted by one thread run in the order they
// were posted; the Win32 side posts a worker's end notification through the same queue, so a
// worker's tasks always run before its end is seen.
#include <functional>

namespace veltrane::ui {

class UiThread {
 public:
  virtual ~UiThread() = default;
  // True when called on the user-interface thread itself.
  virtual bool IsCurrent() const = 0;
  // Runs `task` later on the user-interface thread; never waits for it. Callable from any thread.
  virtual void Post(std::function<void()> task) = 0;
  // On the user-interface thread: runs its messages and posted tasks (timers and clicks
  // included) until `done()` holds, looking again after each; a task posted from elsewhere wakes
  // it. True then; false as soon as the program is asked to end meanwhile, the request being kept
  // for the main loop.
  virtual bool RunUntil(const std::function<bool()>& done) = 0;
};

}  // namespace veltrane::ui
