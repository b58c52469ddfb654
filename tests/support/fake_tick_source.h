#pragma once
// A timer the test fires by hand, one tick at a time.
#include <functional>
#include <utility>

#include "ui/animation_engine.h"

namespace veltrane::test {

class FakeTickSource : public ui::TickSource {
 public:
  void Start(unsigned id, unsigned interval_ms, std::function<void()> on_tick) override {
    ++starts;
    running = true;
    restarted_ = true;
    started_id = id;
    started_interval_ms = interval_ms;
    on_tick_ = std::move(on_tick);
  }

  void Stop(unsigned id) override {
    ++stops;
    if (id == started_id) running = false;
  }

  // Delivers one tick if the timer runs; false when it does not.
  bool Tick() {
    if (!running) return false;
    // A copy, because the callback may stop the timer and replace on_tick_ while it runs.
    std::function<void()> callback = on_tick_;
    callback();
    return true;
  }

  // Delivers one tick the way a platform timer that a (re)start resets does: one started since
  // the previous call first waits out a full period and does not tick this time.
  bool TickIfDue() {
    if (restarted_) {
      restarted_ = false;
      return false;
    }
    return Tick();
  }

  // Ticks until the timer stops or `limit` ticks have been delivered; returns the count.
  int RunUntilStopped(int limit = 100000) {
    int ticks = 0;
    while (ticks < limit && Tick()) ++ticks;
    return ticks;
  }

  // Delivers the callback even though the timer was stopped, as a message already queued
  // before the stop would be.
  void DeliverStaleTick() {
    if (on_tick_) on_tick_();
  }

  bool running = false;
  int starts = 0;
  int stops = 0;
  unsigned started_id = 0;
  unsigned started_interval_ms = 0;

 private:
  std::function<void()> on_tick_;
  bool restarted_ = false;
};

}  // namespace veltrane::test
