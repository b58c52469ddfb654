#pragma once
// The turbo run's workers: up to five transfers at once, one per worker slot and progress bar.
// A worker's thread gets copies of all it reads and hands its result to the user-interface
// thread; its owner joins it.
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

#include "net/cancel.h"
#include "net/transport.h"
#include "sync/mod_fetch.h"
#include "ui/ui_thread.h"

namespace veltrane::sync {

inline constexpr int kWorkerSlots = 5;

// Starts a thread running `body`; throws std::system_error when it cannot.
using ThreadStarter = std::function<std::thread(std::function<void()> body)>;
std::thread StartThread(std::function<void()> body);

// One worker: fetches one mod on a thread of its own and posts `done` with the result to the
// user-interface thread, also when the body raised (the error then goes to the error boundary
// and the mod counts as failed). Destroying it stops the transfer and waits for the thread.
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
  // Ends the transfer at once (its file is not kept); does not wait.
  void Stop() { cancel_.Trigger(); }

  const std::string FFromInet;
  const std::string FSaveTo;
  const std::int32_t FNumber;

 private:
  void Execute(const ModTransfer& mod, net::Transport& transport, ui::UiThread& ui,
               const Done& done);

  const int slot_;
  net::Cancel cancel_;
  std::thread thread_;
};

// The five slots' workers are one class; the slot is a number.
using TFlow1 = TFlow;
using TFlow2 = TFlow;
using TFlow3 = TFlow;
using TFlow4 = TFlow;
using TFlow5 = TFlow;

}  // namespace veltrane::sync
