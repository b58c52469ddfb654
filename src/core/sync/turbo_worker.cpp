#include "sync/turbo_worker.h"

#include <exception>
#include <stdexcept>
#include <utility>

#include "base/error_boundary.h"
#include "base/file_ops.h"
#include "base/paths.h"
#include "net/manifest.h"
#include "net/transfer.h"

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

std::int64_t SizeOrZero(const std::string& path) {
  try {
    return FileSizeOf(path);
  } catch (const std::exception&) {
    return 0;  // loaded all the same; its size just cannot be read now
  }
}

}  // namespace

ModResult FetchMod(net::Transport& transport, const ModTransfer& mod) {
  // An unsafe or empty name is never joined to a folder: its transfer simply fails.
  if (!net::IsPlainFileName(mod.name)) return {};
  try {
    if (!mod.stray.empty() && FileExists(mod.stray)) {
      MoveFileTo(mod.stray, mod.FSaveTo, false);
      return {ModOutcome::kMoved, SizeOrZero(mod.FSaveTo)};
    }
    if (net::DownloadFile(transport, mod.FFromInet, mod.FSaveTo, mod.bar, mod.agent)) {
      return {ModOutcome::kFetched, SizeOrZero(mod.FSaveTo)};
    }
  } catch (const std::exception&) {
    // A file that cannot be written or a transfer that raised: the mod failed, the run goes on.
  }
  return {};
}

std::string ModResultLine(const std::string& name, ModOutcome outcome) {
  switch (outcome) {
    case ModOutcome::kFetched:
      return "Успешно: " + name;
    case ModOutcome::kMoved:
      return "Уже существует: " + name;
    case ModOutcome::kFailed:
      break;
  }
  return " ! Ошибка загрузки: " + name;
}

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
