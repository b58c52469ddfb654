#include "sync/mod_fetch.h"

#include <exception>

#include "base/file_ops.h"
#include "base/paths.h"
#include "net/crypto.h"
#include "net/manifest.h"
#include "net/transfer.h"

namespace veltrane::sync {
namespace {

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
  if (mod.hash_required && !mod.expected.sha256) return {};
  try {
    // A stray copy that is not the published file stays where it is; the mod is fetched.
    if (!mod.stray.empty() && FileExists(mod.stray) &&
        (!mod.expected.sha256 || net::Sha256OfFile(mod.stray) == mod.expected.sha256)) {
      MoveFileTo(mod.stray, mod.FSaveTo, false);
      return {ModOutcome::kMoved, SizeOrZero(mod.FSaveTo)};
    }
    net::Download download{{mod.FFromInet}, mod.bar, mod.agent, mod.expected, mod.cancel};
    download.urls.insert(download.urls.end(), mod.mirror_urls.begin(), mod.mirror_urls.end());
    if (net::DownloadFile(transport, mod.FSaveTo, download)) {
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

}  // namespace veltrane::sync
