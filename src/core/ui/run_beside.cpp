#include "ui/run_beside.h"

#include <atomic>
#include <exception>
#include <memory>
#include <thread>

namespace veltrane::ui {

bool RunBeside(UiThread& ui, const std::function<void(const net::Cancel&)>& work) {
  net::Cancel cancel;
  // Shared with the wake-up task, which may run after this returns.
  const auto done = std::make_shared<std::atomic<bool>>(false);
  std::exception_ptr error;
  std::thread thread([&] {
    try {
      work(cancel);
    } catch (...) {
      error = std::current_exception();
    }
    done->store(true);
    ui.Post([done] {});
  });
  const bool finished = ui.RunUntil([&] { return done->load(); });
  if (!finished) cancel.Trigger();
  thread.join();
  if (error) std::rethrow_exception(error);
  return finished;
}

}  // namespace veltrane::ui
