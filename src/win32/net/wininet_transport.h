#pragma once
// The transport over WinInet. Every request goes to the server: the cache is neither read nor
// written, and certificate checks stay on for https.
#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "net/transport.h"

namespace veltrane::win32 {

class WinInetTransport : public net::Transport {
 public:
  std::unique_ptr<net::Response> Open(const std::string& url,
                                      const std::optional<std::string>& agent) override;
  bool IsConnected() override;
  void Pause(std::chrono::milliseconds span) override;
};

// The running program's file name without its folder; DownloadFile sends it as user agent.
std::string OwnExeName();

}  // namespace veltrane::win32
