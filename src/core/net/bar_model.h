#pragma once
// What a progress control shows for a transfer. The control counts in signed 32 bits from a
// minimum of 0, while a transfer's length is 64-bit and may be unknown (-1): a long length is
// scaled down by a power of two so that it fits, and an unknown one puts the bar into its
// indeterminate (marquee) state, since there is nothing to measure the position against.
#include <cstdint>
#include <mutex>
#include <optional>

namespace veltrane::net {

struct BarView {
  bool indeterminate = false;  // marquee; maximum and position are then 0
  std::int32_t maximum = 0;    // never below the minimum 0
  std::int32_t position = 0;   // 0 .. maximum
  bool operator==(const BarView&) const = default;
};

class BarModel {
 public:
  // A transfer starts; `length` is -1 (or any negative value) when unknown.
  void Begin(std::int64_t length);
  // `bytes` more were written. Returns whether the view changed, so a caller on another thread
  // can skip posting an update the control would not show. Bytes beyond the length are held at
  // the maximum.
  bool Advance(std::int64_t bytes);
  const BarView& View() const { return view_; }
  std::int64_t Done() const { return done_; }

 private:
  std::int64_t length_ = 0;
  std::int64_t done_ = 0;
  int shift_ = 0;
  BarView view_;
};

// One bar's model as its transfers report to it from any thread; each call takes the lock and
// answers with what the control should show, so the caller can carry that to the UI thread.
class SharedBarModel {
 public:
  BarView Begin(std::int64_t length);
  // Nothing when the view did not change.
  std::optional<BarView> Advance(std::int64_t bytes);

 private:
  std::mutex mutex_;
  BarModel model_;
};

}  // namespace veltrane::net
