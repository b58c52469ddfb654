#pragma once
// "Запуск синхронизации": the start of every run, the one-stream run, the turbo run's
// dispatcher with its five worker slots (Flow1 .. Flow5), and the close of a run.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "sync/mod_fetch.h"
#include "sync/turbo_worker.h"
#include "ui/form_context.h"
#include "ui/status_console.h"
#include "ui/ui_thread.h"

namespace veltrane::sync {

// What a run needs of the rest of the window; all three must be set.
struct RunHooks {
  // The connectivity guard: false (having said so) when the run must not start.
  std::function<bool()> connected;
  // Fetches and starts the extra-settings tool, when the option "Setups" is ticked.
  std::function<void()> start_extra_tool;
  // Lets the cleanup dialog take the window's place; false when there is no dialog.
  std::function<bool()> open_cleanup;
};

class DownloadRun {
 public:
  // Everything the context refers to and `clock` (which writes the run's time) must outlive the
  // run.
  DownloadRun(const ui::FormContext& context, const ui::ConsoleClock& clock, RunHooks hooks);
  // Stops the workers (StopWorkers) before anything they were given goes.
  ~DownloadRun();
  DownloadRun(const DownloadRun&) = delete;
  DownloadRun& operator=(const DownloadRun&) = delete;

  // Fetches the missing mods, one after another or (Турбо) by up to five workers, then sums up
  // and hands over to the extra tool and the cleanup. A one-stream run fetches each mod on a
  // thread of its own while the window goes on answering; when the program is asked to end
  // meanwhile, the transfer is stopped (its file is not kept) and the run ends there, unsummed.
  void sButtonDownloadClick();
  // A tick of the turbo run's dispatcher: hands the missing mods out, last first, to free
  // worker slots, and closes the run once every mod is handed out and every slot is free.
  void Timer6Timer();
  // Starts the worker of a slot (1 to 5). A worker that cannot be started leaves its slot empty
  // and its mod failed.
  void FlowRun(int slot, std::int32_t Numberr, const std::string& FromInet,
               const std::string& SaveTo);
  // Empties the slot once its worker's result is in; joins its thread.
  void FlowEnded(int slot);
  // Stops the workers' transfers at their next chunk (their files are not kept), waits for
  // their threads and empties their slots. Their results are not counted.
  void StopWorkers();
  bool FlowBusy(int slot) const { return flows_[static_cast<std::size_t>(slot - 1)] != nullptr; }
  // How the workers' threads are started (tests make it fail).
  void SetThreadStarter(ThreadStarter start) { start_thread_ = std::move(start); }

 private:
  void RunSequentially();
  // What a transfer of the mod named `name` needs, taken from the state now.
  ModTransfer TransferOf(const std::string& name, ui::Control bar);
  // Logs a mod's result and counts it when it is loaded.
  void TakeResult(const std::string& name, const ModResult& result);
  // Closing a run, shared by the one-stream run and the dispatcher.
  void CloseRun();

  ui::MainView& view_;
  ui::Desktop& desktop_;
  net::Transport& transport_;
  app::SharedState& state_;
  ui::StatusConsole& console_;
  // A build with a key fetches only mods the verified manifest publishes a hash for.
  const bool hashes_required_;
  ui::UiThread& ui_;
  const ui::ConsoleClock& clock_;
  RunHooks hooks_;
  std::string agent_;
  ThreadStarter start_thread_ = StartThread;
  // Work posted to the UI thread holds this weakly and does nothing once the run is gone.
  std::shared_ptr<char> alive_ = std::make_shared<char>();
  // Which worker a slot holds, so that a result of one that was stopped is not taken for it.
  std::uint64_t flow_serial_ = 0;
  std::array<std::uint64_t, kWorkerSlots> flow_serials_{};
  // Flow1 .. Flow5: the worker running in the slot. Touched on the UI thread only; last, so
  // that the workers are gone before anything they were given.
  std::array<std::unique_ptr<TFlow>, kWorkerSlots> flows_;
};

}  // namespace veltrane::sync
