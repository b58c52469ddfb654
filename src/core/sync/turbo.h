#pragma once
// The turbo run's workers: up to five transfers at once, one per worker slot and progress bar.
// A worker runs on its own thread, reports through the console (which carries its lines over to
// the user-interface thread) and the atomic run counters, and frees itself when it ends.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace veltrane::ui {
class TProTarvoCompatibility;
}

namespace veltrane::sync {

inline constexpr int kWorkerSlots = 5;

class TFlow {
 public:
  TFlow(int slot, std::int32_t Numberr, std::string FromInet, std::string SaveTo)
      : FFromInet(std::move(FromInet)), FSaveTo(std::move(SaveTo)), FNumber(Numberr), slot_(slot) {}
  virtual ~TFlow() = default;

  // Starts the body on a thread of its own. `ended` is handed to the user-interface thread once
  // the body has returned (normally or by an error), after every line the body logged.
  static void Start(std::unique_ptr<TFlow> worker, ui::TProTarvoCompatibility& form,
                    std::function<void()> ended);

  const std::string FFromInet;
  const std::string FSaveTo;
  const std::int32_t FNumber;

 protected:
  void Execute(ui::TProTarvoCompatibility& form);

 private:
  int slot_;
};

// The five worker classes differ only in their slot and bar.
template <int Slot>
class TFlowN : public TFlow {
 public:
  TFlowN(std::int32_t Numberr, std::string FromInet, std::string SaveTo)
      : TFlow(Slot, Numberr, std::move(FromInet), std::move(SaveTo)) {}
};
using TFlow1 = TFlowN<1>;
using TFlow2 = TFlowN<2>;
using TFlow3 = TFlowN<3>;
using TFlow4 = TFlowN<4>;
using TFlow5 = TFlowN<5>;

}  // namespace veltrane::sync
