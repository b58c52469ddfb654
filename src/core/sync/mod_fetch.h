#pragma once
// Fetching one mod: the one routine both download runs use, the one-stream run on the
// user-interface thread and the turbo run on its workers.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "net/progress.h"
#include "net/transfer.h"
#include "net/transport.h"

namespace veltrane::sync {

// Everything one mod's transfer reads, by value.
struct ModTransfer {
  std::string name;       // as the manifest lists it
  std::string FFromInet;  // its URL
  // Its URLs on the mirrors, tried in turn when the server's fails.
  std::vector<std::string> mirror_urls;
  std::string FSaveTo;  // its target in the version mods folder
  // Where a stray copy is looked for first (the one-stream run); empty: always fetched.
  std::string stray;
  std::string agent;
  // What the manifest publishes for it: the SHA-256 the body must have, and so must a stray copy
  // to be taken, and the size beside that hash, which the body may not pass.
  net::ExpectedBody expected;
  // Set in a build with a key: a mod the verified manifest publishes no hash for is refused.
  bool hash_required = false;
  // The window's bar, safe to use from any thread; nullptr for none.
  net::ProgressSink* bar = nullptr;
  // Once triggered, the transfer ends and leaves nothing; nullptr: it cannot be stopped.
  const net::Cancel* cancel = nullptr;
};

// A mod file that could not be deleted: the cleanup's line, and the check's for a damaged or
// outdated mod that stays.
inline constexpr char kDeleteFailedPrefix[] = "Ошибка удаления мода: ";

enum class ModOutcome { kFetched, kMoved, kFailed };

struct ModResult {
  ModOutcome outcome = ModOutcome::kFailed;
  std::int64_t size = 0;  // of the file at the target, for a loaded mod
};

// Brings one mod into its target: moves the stray copy when there is one (and has the published
// hash, when there is one), otherwise fetches it.
// A name that is not a plain file name, a hash required but not published (nothing is asked of
// the server then), a failed transfer and a file error are all kFailed;
// the size of a loaded mod that cannot be read counts as 0. Any other error is raised.
ModResult FetchMod(net::Transport& transport, const ModTransfer& mod);

// The console line for a mod's result (timed by the caller).
std::string ModResultLine(const std::string& name, ModOutcome outcome);

}  // namespace veltrane::sync
