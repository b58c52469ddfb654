#pragma once
// A progress bar as a transfer sees it. The window binds it to one of its bars; the binding
// carries calls made on a worker thread over to the user-interface thread, and on the
// user-interface thread it lets pending window messages run after each step.
#include <cstdint>

namespace veltrane::net {

class ProgressSink {
 public:
  virtual ~ProgressSink() = default;
  // A transfer starts: position 0; `length` is the body's size, -1 when the server did not state
  // it.
  virtual void Begin(std::int64_t length) = 0;
  // `bytes` more have been written.
  virtual void Advance(std::int64_t bytes) = 0;
};

}  // namespace veltrane::net
