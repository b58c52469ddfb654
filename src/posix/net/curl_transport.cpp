#include "net/curl_transport.h"

#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <stdexcept>
#include <string_view>
#include <utility>
#include <vector>

#include "base/ascii.h"

namespace veltrane::posix {
namespace {

// Bytes curl may hand over before it is paused until the reader has taken them.
constexpr std::size_t kHold = 1 << 20;
constexpr int kPollMs = 200;
// A read that has waited this long returns kWaiting, so that its caller can look at the time.
constexpr std::chrono::seconds kWaitingAfter{1};

bool StartsWithNoCase(std::string_view text, std::string_view head) {
  return AsciiEqualNoCase(text.substr(0, head.size()), head);
}

std::string_view TrimHeaderValue(std::string_view value) {
  while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) value.remove_prefix(1);
  while (!value.empty() && (value.back() == '\r' || value.back() == '\n' || value.back() == ' ' ||
                            value.back() == '\t')) {
    value.remove_suffix(1);
  }
  return value;
}

class CurlResponse final : public net::Response {
 public:
  explicit CurlResponse(const net::Cancel* cancel)
      : cancel_(cancel), multi_(curl_multi_init()), easy_(curl_easy_init()) {
    if (!multi_ || !easy_) throw std::runtime_error("libcurl: cannot start a transfer");
  }
  ~CurlResponse() override {
    if (added_) curl_multi_remove_handle(multi_, easy_);
    curl_easy_cleanup(easy_);
    curl_multi_cleanup(multi_);
    curl_slist_free_all(headers_);
  }
  CurlResponse(const CurlResponse&) = delete;
  CurlResponse& operator=(const CurlResponse&) = delete;

  // Sends the request and waits for the first body bytes or the end. False when no answer
  // came at all (bad address, refused connection) or the request was cancelled first.
  bool Start(const net::Request& request) {
    curl_easy_setopt(easy_, CURLOPT_URL, request.url.c_str());
    if (request.agent) curl_easy_setopt(easy_, CURLOPT_USERAGENT, request.agent->c_str());
    for (const auto& [name, value] : request.headers) {
      headers_ = curl_slist_append(headers_, (name + ": " + value).c_str());
    }
    if (headers_) curl_easy_setopt(easy_, CURLOPT_HTTPHEADER, headers_);
    // A proxy named by http_proxy, https_proxy or ALL_PROXY is used as curl itself uses it; a
    // CA bundle named by CURL_CA_BUNDLE is trusted as the curl tool trusts it.
    if (const char* bundle = std::getenv("CURL_CA_BUNDLE"); bundle && *bundle) {
      curl_easy_setopt(easy_, CURLOPT_CAINFO, bundle);
    }
    // As WinInet does by default.
    curl_easy_setopt(easy_, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(easy_, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy_, CURLOPT_BUFFERSIZE, 512L * 1024);
    curl_easy_setopt(easy_, CURLOPT_WRITEFUNCTION, &CurlResponse::OnBody);
    curl_easy_setopt(easy_, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(easy_, CURLOPT_HEADERFUNCTION, &CurlResponse::OnHeader);
    curl_easy_setopt(easy_, CURLOPT_HEADERDATA, this);
    if (curl_multi_add_handle(multi_, easy_) != CURLM_OK) return false;
    added_ = true;
    while (Available() == 0 && !done_ && !Cancelled()) Step();
    return !Cancelled() && Status() != 0;
  }

  int Status() const override {
    long code = 0;
    curl_easy_getinfo(easy_, CURLINFO_RESPONSE_CODE, &code);
    return static_cast<int>(code);
  }

  std::optional<std::string> Header(std::string_view name) const override {
    for (const auto& [key, value] : headers_received_) {
      if (AsciiEqualNoCase(key, name)) return value;
    }
    return std::nullopt;
  }

  std::int64_t Read(char* buffer, std::size_t size) override {
    if (Available() == 0 && size > 0) {
      // What curl hands over while this read waits goes straight into the caller's buffer.
      direct_ = buffer;
      direct_room_ = size;
      direct_got_ = 0;
      const auto started = std::chrono::steady_clock::now();
      while (!HasData() && !done_) {
        if (Cancelled()) {
          direct_ = nullptr;
          return kFailed;
        }
        if (std::chrono::steady_clock::now() - started > kWaitingAfter) {
          direct_ = nullptr;
          return kWaiting;
        }
        if (paused_) {
          paused_ = false;
          curl_easy_pause(easy_, CURLPAUSE_CONT);  // may hand over the held bytes at once
          continue;
        }
        Step();
      }
      direct_ = nullptr;
      if (direct_got_ > 0) return static_cast<std::int64_t>(direct_got_);
    }
    if (Available() == 0) return result_ == CURLE_OK ? 0 : kFailed;
    const std::size_t count = std::min(size, Available());
    std::memcpy(buffer, pending_.data() + taken_, count);
    taken_ += count;
    return static_cast<std::int64_t>(count);
  }

 private:
  std::size_t Available() const { return pending_.size() - taken_; }
  bool HasData() const { return Available() > 0 || direct_got_ > 0; }
  bool Cancelled() const { return cancel_ && cancel_->Triggered(); }

  void Step() {
    int running = 0;
    curl_multi_perform(multi_, &running);
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(multi_, &left)) {
      if (message->msg == CURLMSG_DONE) {
        done_ = true;
        result_ = message->data.result;
      }
    }
    if (!done_ && !HasData() && !paused_) {
      curl_multi_poll(multi_, nullptr, 0, kPollMs, nullptr);
    }
  }

  static std::size_t OnBody(char* data, std::size_t, std::size_t count, void* user) {
    auto* self = static_cast<CurlResponse*>(user);
    std::size_t used = 0;
    if (self->direct_) {
      used = std::min(count, self->direct_room_ - self->direct_got_);
      std::memcpy(self->direct_ + self->direct_got_, data, used);
      self->direct_got_ += used;
    } else if (self->Available() >= kHold) {
      self->paused_ = true;
      return CURL_WRITEFUNC_PAUSE;
    }
    if (used < count) {
      if (self->taken_ > 0) {
        self->pending_.erase(0, self->taken_);
        self->taken_ = 0;
      }
      self->pending_.append(data + used, count - used);
    }
    return count;
  }

  static std::size_t OnHeader(char* data, std::size_t, std::size_t count, void* user) {
    auto* self = static_cast<CurlResponse*>(user);
    const std::string_view line(data, count);
    // A new status line (after a redirect or a 100 Continue) starts a new set of headers.
    if (StartsWithNoCase(line, "http/")) self->headers_received_.clear();
    const auto colon = line.find(':');
    if (colon != std::string_view::npos) {
      self->headers_received_.emplace_back(std::string(line.substr(0, colon)),
                                           std::string(TrimHeaderValue(line.substr(colon + 1))));
    }
    return count;
  }

  const net::Cancel* cancel_;
  CURLM* multi_;
  CURL* easy_;
  curl_slist* headers_ = nullptr;
  bool added_ = false;
  bool done_ = false;
  bool paused_ = false;
  CURLcode result_ = CURLE_OK;
  std::string pending_;
  std::size_t taken_ = 0;
  char* direct_ = nullptr;  // the waiting Read's buffer
  std::size_t direct_room_ = 0;
  std::size_t direct_got_ = 0;
  std::vector<std::pair<std::string, std::string>> headers_received_;
};

}  // namespace

CurlTransport::CurlTransport() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

std::unique_ptr<net::Response> CurlTransport::Open(const net::Request& request) {
  auto response = std::make_unique<CurlResponse>(request.cancel);
  if (!response->Start(request)) return nullptr;
  return response;
}

}  // namespace veltrane::posix
