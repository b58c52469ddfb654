#include "sync/turbo_worker.h"

#include <stdexcept>
#include <utility>

#include "base/error_boundary.h"

namespace veltrane::sync {
namespace {

class TransferStopped : public std::runtime_error {
 public:
  TransferStopped() : std::runtime_error("The transfer was stopped.") {}
};

// A worker's bar: passes progress on to the window's bar, and ends the transfer (the download
// removes its temporary file) once the worker's owner wants it to stop.
class StoppableBar : public net::ProgressSink {
 public:
  StoppableBar(net::ProgressSink* bar, const std::atomic<bool>& stop) : bar_(bar), stop_(stop) {}
  void Begin(std::int64_t length) override {
    Check();
    if (bar_) bar_->Begin(length);
  }
  void Advance(std::int64_t bytes) override {
    Check();
    if (bar_) bar_->Advance(bytes);
  }

 private:
  void Check() const {
    if (stop_.load()) throw TransferStopped();
  }
  net::ProgressSink* bar_;
  const std::atomic<bool>& stop_;
};

}  // namespace

std::thread StartThread(std::function<void()> body) {
  return std::thread(std::move(body));
}

TFlow::TFlow(int slot, std::int32_t Numberr, ModTransfer mod, net::Transport& transport,
             ui::UiThread& ui, Done done, const ThreadStarter& start)
    : FFromInet(mod.FFromInet), FSaveTo(mod.FSaveTo), FNumber(Numberr), slot_(slot) {
  thread_ = start([this, mod = std::move(mod), &transport, &ui, done = std::move(done)] {
    Execute(mod, transport, ui, done);
  });
}

TFlow::~TFlow() {
  Stop();
  if (thread_.joinable()) thread_.join();
}

void TFlow::Execute(const ModTransfer& mod, net::Transport& transport, ui::UiThread& ui,
                    const Done& done) {
  ModResult result;
  RunGuarded([&] {
    ModTransfer own = mod;
    StoppableBar bar(mod.bar, stop_);
    own.bar = &bar;
    result = FetchMod(transport, own);
  });
  // Also after an error: the slot must empty so that the run can close.
  RunGuarded([&] { ui.Post([done, result] { done(result); }); });
}

}  // namespace veltrane::sync
