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
};

}  // namespace veltrane::ui
