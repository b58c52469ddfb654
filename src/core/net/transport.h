#pragma once
// What the server access needs of the platform: open a URL, read the answer, wait between tries,
// tell whether the system believes it is online. WinInet implements it on Windows; tests use
// fakes.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace veltrane::net {

// One opened request. Status and headers are known once Transport::Open has returned.
class Response {
 public:
  virtual ~Response() = default;
  // The HTTP status code, 0 when the platform could not tell (an answer cut off in its status
  // line).
  virtual int Status() const = 0;
  // The raw Content-Length header text, nullopt when the server sent none.
  virtual std::optional<std::string> ContentLengthText() const = 0;
  // Reads up to `size` bytes into `buffer`: the count read, 0 at the end of the body,
  // -1 when the read failed (connection dropped, the server fell silent for too long).
  virtual std::int64_t Read(char* buffer, std::size_t size) = 0;
};

class Transport {
 public:
  virtual ~Transport() = default;
  // Sends a GET for `url` with `agent` as user agent (nullopt: none). nullptr when no answer
  // came (bad address, refused or dropped connection, a server silent for too long), as
  // opposed to an answer with an error status. Never answers from a cache.
  virtual std::unique_ptr<Response> Open(const std::string& url,
                                         const std::optional<std::string>& agent) = 0;
  // Whether the system reports an Internet connection; contacts no server.
  virtual bool IsConnected() = 0;
  // Blocks the calling thread for `span` before a transfer is tried again; tests only record it.
  virtual void Pause(std::chrono::milliseconds span) = 0;
};

}  // namespace veltrane::net
