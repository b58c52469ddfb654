#pragma once
// A user-interface thread for tests: the thread that constructs it is the UI thread; tasks
// posted from anywhere wait until that thread calls RunPending() or waits in RunUntil().
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>

#include "ui/ui_thread.h"

namespace veltrane::test {

class ManualUiThread : public ui::UiThread {
 public:
  bool IsCurrent() const override { return std::this_thread::get_id() == owner_; }

  void Post(std::function<void()> task) override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      tasks_.push_back(std::move(task));
    }
    posted_.notify_all();
  }

  bool RunUntil(const std::function<bool()>& done) override {
    for (;;) {
      RunPending();
      if (done()) return true;
      if (quit_) return false;
      std::unique_lock<std::mutex> lock(mutex_);
      posted_.wait_for(lock, std::chrono::milliseconds(5), [&] { return !tasks_.empty(); });
    }
  }

  // As when a close has faded the window out: waits in RunUntil end from now on.
  void RequestQuit() { quit_ = true; }

  // Runs the queued tasks in order, including any they post themselves; returns how many ran.
  std::size_t RunPending() {
    std::size_t ran = 0;
    for (;;) {
      std::function<void()> task;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        if (tasks_.empty()) return ran;
        task = std::move(tasks_.front());
        tasks_.pop_front();
      }
      task();
      ++ran;
    }
  }

  std::size_t PendingCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return tasks_.size();
  }

 private:
  const std::thread::id owner_ = std::this_thread::get_id();
  mutable std::mutex mutex_;
  std::condition_variable posted_;
  std::deque<std::function<void()>> tasks_;
  std::atomic<bool> quit_{false};
};

}  // namespace veltrane::test
