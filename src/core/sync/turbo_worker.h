#pragma once
// Fetching one mod, shared by both download runs, and the turbo run's workers: up to five
// transfers at once, one per worker slot and progress bar. A worker's thread gets copies of all
// it reads and hands its result to the user-interface thread; its owner joins it.
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

#include "net/progress.h"
#include "net/transport.h"
#include "ui/ui_thread.h"

namespace veltrane::sync {

inline constexpr int kWorkerSlots = 5;

// Everything one mod's transfer reads, by value.
struct ModTransfer {
  std::string name;       // as the manifest lists it
  std::string FFromInet;  // its URL
  std::string FSaveTo;    // its target in the version mods folder
  // Where a stray copy is looked for first (the one-stream run); empty: always fetched.
  std::string stray;
  std::string agent;
  // The window's bar, safe to use from any thread; nullptr for none.
  net::ProgressSink* bar = nullptr;
};

enum class ModOutcome { kFetched, kMoved, kFailed };

struct ModResult {
  ModOutcome outcome = ModOutcome::kFailed;
  std::int64_t size = 0;  // of the file at the target, for a loaded mod
};

// Brings one mod into its target: moves the stray copy when there is one, otherwise fetches it.
// A name that is not a plain file name, a failed transfer and a file error are all kFailed;
// the size of a loaded mod that cannot be read counts as 0. Any other error is raised.
ModResult FetchMod(net::Transport& transport, const ModTransfer& mod);

// The console line for a mod's result (timed by the caller).
std::string ModResultLine(const std::string& name, ModOutcome outcome);

// Starts a thread running `body`; throws std::system_error when it cannot.
using ThreadStarter = std::function<std::thread(std::function<void()> body)>;
std::thread StartThread(std::function<void()> body);

// One worker: fetches one mod on a thread of its own and posts `done` with the result to the
// user-interface thread, also when the body raised (the error then goes to the error boundary
// and the mod counts as failed). Destroying it stops the transfer at its next chunk and waits
// for the thread.
class TFlow {
 public:
  using Done = std::function<void(const ModResult&)>;

  // Throws std::system_error when the thread cannot be started. `transport` and `ui` must
  // outlive the worker.
  TFlow(int slot, std::int32_t Numberr, ModTransfer mod, net::Transport& transport,
        ui::UiThread& ui, Done done, const ThreadStarter& start = StartThread);
  ~TFlow();
  TFlow(const TFlow&) = delete;
  TFlow& operator=(const TFlow&) = delete;

  int Slot() const { return slot_; }
  // Ends the transfer at its next chunk; does not wait.
  void Stop() { stop_ = true; }

  const std::string FFromInet;
  const std::string FSaveTo;
  const std::int32_t FNumber;

 private:
  void Execute(const ModTransfer& mod, net::Transport& transport, ui::UiThread& ui,
               const Done& done);

  const int slot_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// The five slots' workers are one class; the slot is a number.
using TFlow1 = TFlow;
using TFlow2 = TFlow;
using TFlow3 = TFlow;
using TFlow4 = TFlow;
using TFlow5 = TFlow;

}  // namespace veltrane::sync
