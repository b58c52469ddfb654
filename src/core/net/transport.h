#pragma once
// What the server access needs of the platform: open a URL, read the answer, tell whether the
// system believes it is online. WinInet implements it on Windows; tests use fakes.
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
  // The HTTP status code, 0 when the platform could not tell.
  virtual int Status() const = 0;
  // The raw Content-Length header text, nullopt when the server sent none.
  virtual std::optional<std::string> ContentLengthText() const = 0;
  // Reads up to `size` bytes into `buffer`: the count read, 0 at the end of the body,
  // -1 when the read failed.
  virtual std::int64_t Read(char* buffer, std::size_t size) = 0;
};

class Transport {
 public:
  virtual ~Transport() = default;
  // Sends a GET for `url` with `agent` as user agent (nullopt: none). nullptr when the URL
  // cannot be opened (bad address, refused connection, ...). Never answers from a cache.
  virtual std::unique_ptr<Response> Open(const std::string& url,
                                         const std::optional<std::string>& agent) = 0;
  // Whether the system reports an Internet connection; contacts no server.
  virtual bool IsConnected() = 0;
};

}  // namespace veltrane::net
