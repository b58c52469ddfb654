#pragma once
// How much one read of a transfer asks for. A blocking read returns only when it has all it
// asked for, so a fixed large read holds the progress bar (and, in a one-stream run, the
// window) for seconds on a slow line, while small reads cost a system call each and fall far
// behind on a fast one. The size follows the line: it doubles while reads come back at once
// and halves while they keep the caller waiting.
#include <chrono>
#include <cstddef>

namespace veltrane::net {

class ReadPacing {
 public:
  static constexpr std::size_t kSmallest = 8 * 1024;
  static constexpr std::size_t kFirst = 16 * 1024;
  static constexpr std::size_t kLargest = 1024 * 1024;
  // A read quicker than this may ask for more; one slower than the second asks for less.
  static constexpr std::chrono::milliseconds kQuick{25};
  static constexpr std::chrono::milliseconds kSlow{100};

  std::size_t Size() const { return size_; }

  // Takes how long the last read of Size() bytes took; a read cut short by the end of the
  // body says nothing about the line and should not be reported.
  void Took(std::chrono::steady_clock::duration elapsed) {
    if (elapsed < kQuick && size_ < kLargest) size_ *= 2;
    if (elapsed > kSlow && size_ > kSmallest) size_ /= 2;
  }

 private:
  std::size_t size_ = kFirst;
};

}  // namespace veltrane::net
