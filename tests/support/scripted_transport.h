#pragma once
// A transport that answers each request from a script: status, headers, a body handed out in
// pieces, optionally a failing read after it, and a clock that moves by a set step at each read
// (a line that trickles). It records every request.
#include <algorithm>
#include <chrono>
#include <cstddef>
#include <map>
#include <memory>
#include <numeric>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/ascii.h"
#include "net/progress.h"
#include "net/transport.h"

namespace veltrane::test {

struct Script {
  int status = 200;
  std::optional<std::string> length;  // Content-Length
  std::string body;
  std::size_t piece = 4096;
  bool fail_at_end = false;
  bool unreachable = false;
  // Further response headers (ETag, Last-Modified, Content-Range, Retry-After).
  std::vector<std::pair<std::string, std::string>> headers = {};
  // How far the transport's clock moves at each read.
  std::chrono::milliseconds per_read{0};
};

class ScriptedResponse : public net::Response {
 public:
  ScriptedResponse(Script script, std::chrono::steady_clock::time_point& clock)
      : script_(std::move(script)), clock_(clock) {}
  int Status() const override { return script_.status; }
  std::optional<std::string> Header(std::string_view name) const override {
    if (AsciiEqualNoCase(name, "Content-Length")) return script_.length;
    for (const auto& [key, value] : script_.headers) {
      if (AsciiEqualNoCase(key, name)) return value;
    }
    return std::nullopt;
  }
  std::int64_t Read(char* buffer, std::size_t size) override {
    clock_ += script_.per_read;
    if (offset_ == script_.body.size()) return script_.fail_at_end ? kFailed : 0;
    const std::size_t count = std::min({size, script_.piece, script_.body.size() - offset_});
    std::copy_n(script_.body.data() + offset_, count, buffer);
    offset_ += count;
    return static_cast<std::int64_t>(count);
  }

 private:
  Script script_;
  std::chrono::steady_clock::time_point& clock_;
  std::size_t offset_ = 0;
};

// Answers the first opens from `first`, then every one from `script`; or, for a URL in `by_url`,
// from that script.
class FakeTransport : public net::Transport {
 public:
  std::unique_ptr<net::Response> Open(const net::Request& request) override {
    const auto own = by_url.find(request.url);
    const Script& answer = own != by_url.end()            ? own->second
                           : opened.size() < first.size() ? first[opened.size()]
                                                          : script;
    opened.push_back(request.url);
    agents.push_back(request.agent);
    headers.push_back(request.headers);
    if (answer.unreachable) return nullptr;
    return std::make_unique<ScriptedResponse>(answer, now);
  }
  bool IsConnected() override { return true; }
  void Pause(std::chrono::milliseconds span) override {
    paused_after[opened.size()] += span;
    slices.push_back(span);
  }
  std::chrono::steady_clock::time_point Now() override { return now; }

  std::vector<Script> first;
  Script script;
  std::map<std::string, Script> by_url;
  std::vector<std::string> opened;
  std::vector<std::optional<std::string>> agents;
  std::vector<std::vector<std::pair<std::string, std::string>>> headers;  // of each request
  std::map<std::size_t, std::chrono::milliseconds> paused_after;  // by the opens made before
  std::vector<std::chrono::milliseconds> slices;
  std::chrono::steady_clock::time_point now{};
};

class RecordingBar : public net::ProgressSink {
 public:
  void Begin(std::int64_t length) override { begins.push_back(length); }
  void Advance(std::int64_t bytes) override { steps.push_back(bytes); }
  std::int64_t Total() const { return std::accumulate(steps.begin(), steps.end(), 0LL); }

  std::vector<std::int64_t> begins;
  std::vector<std::int64_t> steps;
};

}  // namespace veltrane::test
