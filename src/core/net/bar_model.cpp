#include "net/bar_model.h"

#include <algorithm>
#include <limits>

namespace veltrane::net {

void BarModel::Begin(std::int64_t length) {
  done_ = 0;
  shift_ = 0;
  view_ = BarView{};
  if (length < 0) {
    length_ = -1;
    view_.indeterminate = true;
    return;
  }
  length_ = length;
  constexpr std::int64_t kLimit = std::numeric_limits<std::int32_t>::max();
  while ((length >> shift_) > kLimit) ++shift_;
  view_.maximum = static_cast<std::int32_t>(length >> shift_);
}

bool BarModel::Advance(std::int64_t bytes) {
  if (bytes <= 0) return false;
  done_ = bytes > std::numeric_limits<std::int64_t>::max() - done_
              ? std::numeric_limits<std::int64_t>::max()
              : done_ + bytes;
  if (view_.indeterminate) return false;
  const auto position = static_cast<std::int32_t>(std::min(done_, length_) >> shift_);
  if (position == view_.position) return false;
  view_.position = position;
  return true;
}

BarView SharedBarModel::Begin(std::int64_t length) {
  const std::lock_guard<std::mutex> lock(mutex_);
  model_.Begin(length);
  return model_.View();
}

std::optional<BarView> SharedBarModel::Advance(std::int64_t bytes) {
  const std::lock_guard<std::mutex> lock(mutex_);
  if (!model_.Advance(bytes)) return std::nullopt;
  return model_.View();
}

}  // namespace veltrane::net
