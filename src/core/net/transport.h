#pragma once
// What the server access needs of the platform: open a URL, read the answer, wait between tries,
// tell whether the system believes it is online. WinInet implements it on Windows, libcurl on
// Linux; tests use fakes.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "net/cancel.h"

namespace veltrane::net {

// One GET.
struct Request {
  std::string url;
  std::optional<std::string> agent;  // the user agent; nullopt: none
  // Headers sent beside the platform's own (a resumed transfer's Range and If-Range).
  std::vector<std::pair<std::string, std::string>> headers;
  // Once it is triggered, Open and Read give up at once, whatever the server does.
  const Cancel* cancel = nullptr;
};

// One opened request. Status and headers are known once Transport::Open has returned.
class Response {
 public:
  // Read's answers besides a count of bytes.
  static constexpr std::int64_t kFailed = -1;
  static constexpr std::int64_t kWaiting = -2;

  virtual ~Response() = default;
  // The HTTP status code, 0 when the platform could not tell (an answer cut off in its status
  // line).
  virtual int Status() const = 0;
  // The raw text of the response header `name` (matched without regard to case), nullopt when
  // the server sent none.
  virtual std::optional<std::string> Header(std::string_view name) const = 0;
  // Reads up to `size` bytes into `buffer` and returns as soon as any are there: the count
  // read, 0 at the end of the body, kFailed when the read failed (connection dropped, the server
  // fell silent for too long, the request was cancelled), or kWaiting when nothing arrived for
  // about a second while the body goes on, so that the caller can look at the time.
  virtual std::int64_t Read(char* buffer, std::size_t size) = 0;
};

class Transport {
 public:
  virtual ~Transport() = default;
  // Sends the request. nullptr when no answer came (bad address, refused or dropped
  // connection, a server silent for too long, the request cancelled), as opposed to an answer
  // with an error status. Never answers from a cache. Ending a response never reads what is
  // left of its body.
  virtual std::unique_ptr<Response> Open(const Request& request) = 0;
  // Whether the system reports an Internet connection; contacts no server.
  virtual bool IsConnected() = 0;
  // Blocks the calling thread for `span` before a transfer is tried again; tests only record it.
  virtual void Pause(std::chrono::milliseconds span) = 0;
  // The clock a transfer's pace is measured by; tests move their own.
  virtual std::chrono::steady_clock::time_point Now() { return std::chrono::steady_clock::now(); }
};

}  // namespace veltrane::net
