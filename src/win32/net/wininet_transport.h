#pragma once
// The transport over WinInet. Every request goes to the server: the cache is neither read nor
// written, and certificate checks stay on for https. A server silent for longer than the
// time-out fails the request, so every transfer ends. The system's proxy settings apply (the
// preconfigured access type). Each request's WinInet calls run on a thread of the request's
// own, so that a cancel frees its caller at once and a caller never waits inside WinInet.
#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "net/transport.h"

namespace veltrane::win32 {

class WinInetTransport : public net::Transport {
 public:
  // `silence`: how long connecting, sending or waiting for data may take before the request
  // fails.
  explicit WinInetTransport(std::chrono::milliseconds silence = std::chrono::seconds(30))
      : silence_(silence) {}

  std::unique_ptr<net::Response> Open(const net::Request& request) override;
  bool IsConnected() override;
  void Pause(std::chrono::milliseconds span) override;

 private:
  std::chrono::milliseconds silence_;
};

// The running program's file name without its folder; DownloadFile sends it as user agent.
std::string OwnExeName();

}  // namespace veltrane::win32
