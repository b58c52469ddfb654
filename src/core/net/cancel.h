#pragma once
// Asking a transfer on another thread to give up: the owner triggers it, the transfer and the
// transport look at it between their steps and while they wait. A cancel may also carry a
// deadline, past which it counts as triggered by itself.
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>

namespace veltrane::net {

class Cancel {
 public:
  using Clock = std::chrono::steady_clock;

  Cancel() = default;
  explicit Cancel(Clock::time_point deadline) : deadline_(deadline) {}
  Cancel(const Cancel&) = delete;
  Cancel& operator=(const Cancel&) = delete;

  // Callable from any thread, any number of times.
  void Trigger() {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      triggered_ = true;
    }
    changed_.notify_all();
  }

  bool Triggered() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return triggered_ || (deadline_ && Clock::now() >= *deadline_);
  }

  // Waits up to `span`; true as soon as the cancel is triggered (or its deadline passes).
  bool WaitFor(std::chrono::milliseconds span) const {
    std::unique_lock<std::mutex> lock(mutex_);
    auto until = Clock::now() + span;
    if (deadline_ && *deadline_ < until) until = *deadline_;
    changed_.wait_until(lock, until, [&] { return triggered_; });
    return triggered_ || (deadline_ && Clock::now() >= *deadline_);
  }

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  bool triggered_ = false;
  std::optional<Clock::time_point> deadline_;
};

}  // namespace veltrane::net
