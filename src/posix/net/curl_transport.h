#pragma once
// The transport over libcurl, for the native builds. Each Open is one transfer of its own;
// nothing is cached. The body is pulled: Read drives curl until bytes are there, and curl is
// paused while the reader falls behind, so memory stays small whatever the body's size.
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "net/transport.h"

namespace veltrane::posix {

class CurlTransport : public net::Transport {
 public:
  CurlTransport();
  std::unique_ptr<net::Response> Open(const net::Request& request) override;
  // There is no system-wide notion of being online here; a failed Open tells instead.
  bool IsConnected() override { return true; }
  void Pause(std::chrono::milliseconds span) override { std::this_thread::sleep_for(span); }
};

}  // namespace veltrane::posix
