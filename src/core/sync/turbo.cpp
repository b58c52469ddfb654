#include "sync/turbo.h"

#include <exception>
#include <memory>
#include <thread>

#include "Addons/Custom/AllInOne.h"
#include "base/paths.h"
#include "net/FutureDownloads.h"
#include "net/manifest.h"
#include "ui/Unit1.h"

namespace veltrane::sync {

void TFlow::Start(std::unique_ptr<TFlow> worker, ui::TProTarvoCompatibility& form,
                  std::function<void()> ended) {
  std::thread([worker = std::move(worker), &form, ended = std::move(ended)] {
    worker->Execute(form);
    // Posted after the body's console lines, through the same queue: the slot empties only
    // once they are in.
    form.UiQueue().Post(ended);
  }).detach();
}

void TFlow::Execute(ui::TProTarvoCompatibility& form) {
  app::SharedState& state = form.State();
  const std::string name = state.MissingMods[static_cast<std::size_t>(FNumber - 1)];
  bool fetched = false;
  // An unsafe or empty name is never joined to a folder: its transfer simply fails.
  if (net::IsPlainFileName(name)) {
    try {
      fetched = net::DownloadFile(form.ServerTransport(), FFromInet, FSaveTo,
                                  &form.View().Bar(ui::ProgressBarControl(slot_)), form.Agent());
    } catch (const std::exception&) {
      // Reported below like any failed transfer.
    }
  }
  if (!fetched) {
    form.Console(" ! Ошибка загрузки: " + name);
    return;
  }
  form.Console("Успешно: " + name);
  std::int64_t size = 0;
  try {
    size = custom::FileSizeOf(JoinPath(state.VersionModsFolder, name));
  } catch (const std::exception&) {
    // Loaded all the same; its size just cannot be read now.
  }
  app::AddLoadedFile(state, static_cast<std::uint64_t>(size));
}

}  // namespace veltrane::sync
