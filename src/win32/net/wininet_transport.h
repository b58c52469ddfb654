#pragma once
// The transport over WinInet. Every request goes to the server: the cache is neither read nor
// written, and certificate checks stay on for https. A server silent for longer than the
// time-out fails the request, so every transfer ends.
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

  std::unique_ptr<net::Response> Open(const std::string& url,
                                      const std::optional<std::string>& agent) override;
  bool IsConnected() override;
  void Pause(std::chrono::milliseconds span) override;

 private:
  std::chrono::milliseconds silence_;
};

// The running program's file name without its folder; DownloadFile sends it as user agent.
std::string OwnExeName();

}  // namespace veltrane::win32
