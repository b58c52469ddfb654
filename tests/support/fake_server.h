#pragma once
// A transport that answers from a table of URLs, the way the loopback server answers from a
// folder: a missing URL is a 404 with a short error body. It records what was asked, and its
// pauses between tries take no time.
#include <algorithm>
#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "net/transport.h"

namespace veltrane::test {

class FakeServer : public net::Transport {
 public:
  struct Answer {
    int status = 200;
    std::string body;
    bool read_throws = false;  // the platform raises an error in the middle of the body
  };

  void Put(const std::string& url, std::string body, int status = 200) {
    std::lock_guard<std::mutex> lock(mutex_);
    answers_[url] = Answer{status, std::move(body)};
  }
  void PutRaising(const std::string& url) {
    std::lock_guard<std::mutex> lock(mutex_);
    answers_[url] = Answer{200, "body", true};
  }

  std::unique_ptr<net::Response> Open(const std::string& url,
                                      const std::optional<std::string>&) override {
    std::lock_guard<std::mutex> lock(mutex_);
    opened_.push_back(url);
    const auto it = answers_.find(url);
    return std::make_unique<FixedResponse>(it != answers_.end() ? it->second
                                                                : Answer{404, "404: Not Found"});
  }
  bool IsConnected() override { return connected; }
  void Pause(std::chrono::milliseconds) override {}

  std::vector<std::string> Opened() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return opened_;
  }

  bool connected = true;

 private:
  class FixedResponse : public net::Response {
   public:
    explicit FixedResponse(Answer answer) : answer_(std::move(answer)) {}
    int Status() const override { return answer_.status; }
    std::optional<std::string> ContentLengthText() const override {
      return std::to_string(answer_.body.size());
    }
    std::int64_t Read(char* buffer, std::size_t size) override {
      if (answer_.read_throws) throw std::runtime_error("connection reset");
      const std::size_t count = std::min(size, answer_.body.size() - offset_);
      std::copy_n(answer_.body.data() + offset_, count, buffer);
      offset_ += count;
      return static_cast<std::int64_t>(count);
    }

   private:
    Answer answer_;
    std::size_t offset_ = 0;
  };

  mutable std::mutex mutex_;
  std::map<std::string, Answer> answers_;
  std::vector<std::string> opened_;
};

}  // namespace veltrane::test
