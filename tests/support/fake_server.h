#pragma once
// A transport that answers from a table of URLs, the way the loopback server answers from a
// folder: a missing URL is a 404 with a short error body. It records what was asked, and its
// pauses between tries take no time. Bodies can be held: their reads then wait, mid-transfer,
// until they are released or the request is cancelled.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "net/transport.h"

namespace veltrane::test {

class FakeServer : public net::Transport {
 public:
  // What a read of an answer raises; kOther is not a std::exception.
  enum class Raise { kNothing, kError, kOther };
  struct NotAnError {};

  struct Answer {
    int status = 200;
    std::string body;
    Raise read_raises = Raise::kNothing;  // the platform raises in the middle of the body
    std::size_t read_limit = 0;           // a slow line: at most this much per read, 1 ms each
  };

  void Put(const std::string& url, std::string body, int status = 200) {
    std::lock_guard<std::mutex> lock(mutex_);
    answers_[url] = Answer{status, std::move(body)};
  }
  void PutRaising(const std::string& url, Raise what = Raise::kError) {
    std::lock_guard<std::mutex> lock(mutex_);
    answers_[url] = Answer{200, "body", what};
  }
  void PutSlow(const std::string& url, std::string body, std::size_t per_read) {
    std::lock_guard<std::mutex> lock(mutex_);
    answers_[url] = Answer{200, std::move(body), Raise::kNothing, per_read};
  }

  // From now on every body's first read waits until ReleaseBodies().
  void HoldBodies() {
    std::lock_guard<std::mutex> lock(gate_->mutex);
    gate_->held = true;
  }
  void ReleaseBodies() {
    {
      std::lock_guard<std::mutex> lock(gate_->mutex);
      gate_->held = false;
    }
    gate_->changed.notify_all();
  }
  // Waits until `count` reads are waiting at the gate.
  void AwaitHeldReads(int count) {
    std::unique_lock<std::mutex> lock(gate_->mutex);
    gate_->changed.wait(lock, [&] { return gate_->waiting >= count; });
  }

  std::unique_ptr<net::Response> Open(const net::Request& request) override {
    std::lock_guard<std::mutex> lock(mutex_);
    opened_.push_back(request.url);
    const auto it = answers_.find(request.url);
    return std::make_unique<FixedResponse>(
        it != answers_.end() ? it->second : Answer{404, "404: Not Found"}, gate_, request.cancel);
  }
  bool IsConnected() override { return connected; }
  void Pause(std::chrono::milliseconds) override {}

  std::vector<std::string> Opened() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return opened_;
  }

  bool connected = true;

 private:
  struct Gate {
    std::mutex mutex;
    std::condition_variable changed;
    bool held = false;
    int waiting = 0;
  };

  class FixedResponse : public net::Response {
   public:
    FixedResponse(Answer answer, std::shared_ptr<Gate> gate, const net::Cancel* cancel)
        : answer_(std::move(answer)), gate_(std::move(gate)), cancel_(cancel) {}
    int Status() const override { return answer_.status; }
    std::optional<std::string> Header(std::string_view name) const override {
      if (name != "Content-Length") return std::nullopt;
      return std::to_string(answer_.body.size());
    }
    std::int64_t Read(char* buffer, std::size_t size) override {
      if (!passed_gate_ && !Pass()) return kFailed;
      if (answer_.read_raises == Raise::kError) throw std::runtime_error("connection reset");
      if (answer_.read_raises == Raise::kOther) throw NotAnError{};
      if (answer_.read_limit > 0) {
        size = std::min(size, answer_.read_limit);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
      const std::size_t count = std::min(size, answer_.body.size() - offset_);
      std::copy_n(answer_.body.data() + offset_, count, buffer);
      offset_ += count;
      return static_cast<std::int64_t>(count);
    }

   private:
    // False when the request was cancelled while its body was held.
    bool Pass() {
      passed_gate_ = true;
      std::unique_lock<std::mutex> lock(gate_->mutex);
      if (!gate_->held) return true;
      ++gate_->waiting;
      gate_->changed.notify_all();
      while (gate_->held && !(cancel_ && cancel_->Triggered())) {
        gate_->changed.wait_for(lock, std::chrono::milliseconds(5));
      }
      --gate_->waiting;
      return !gate_->held;
    }

    Answer answer_;
    std::shared_ptr<Gate> gate_;
    const net::Cancel* cancel_;
    std::size_t offset_ = 0;
    bool passed_gate_ = false;
  };

  std::shared_ptr<Gate> gate_ = std::make_shared<Gate>();
  mutable std::mutex mutex_;
  std::map<std::string, Answer> answers_;
  std::vector<std::string> opened_;
};

}  // namespace veltrane::test
