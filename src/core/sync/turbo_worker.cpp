#include "sync/turbo_worker.h"

#include <utility>

#include "base/error_boundary.h"

namespace veltrane::sync {

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
    own.cancel = &cancel_;
    result = FetchMod(transport, own);
  });
  // Also after an error: the slot must empty so that the run can close.
  RunGuarded([&] { ui.Post([done, result] { done(result); }); });
}

}  // namespace veltrane::sync
