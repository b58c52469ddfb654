#pragma once
// Runs an action when the scope ends, also when an error leaves it: handlers use it so that an
// error never leaves the window disabled or a timer stopped.
#include <utility>

namespace veltrane {

template <typename Action>
class ScopeExit {
 public:
  explicit ScopeExit(Action action) : action_(std::move(action)) {}
  ~ScopeExit() { action_(); }
  ScopeExit(const ScopeExit&) = delete;
  ScopeExit& operator=(const ScopeExit&) = delete;

 private:
  Action action_;
};

}  // namespace veltrane
