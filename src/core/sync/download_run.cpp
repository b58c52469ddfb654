// "Запуск синхронизации": the start of every run, the one-stream run and the close of a run.
#include <chrono>

#include "base/paths.h"
#include "base/scope_exit.h"
#include "base/size_text.h"
#include "net/manifest.h"
#include "net/transfer.h"
#include "sync/mod_fetch.h"
#include "ui/main_form.h"

namespace veltrane::ui {
namespace {

constexpr char kRunHeading[] = "============Загрузка============";
constexpr char kNotAllLoaded[] = "! Не все файлы были загружены !";

}  // namespace

void TProTarvoCompatibility::sButtonDownloadClick() {
  // Clicked while the tool or the installer is being fetched (its transfer lets messages run):
  // a run nested in that transfer would lose its own size modes and the tool.
  if (extras_.Busy()) return;
  if (!conecteon()) return;
  view_.SetEnabled(Control::sButtonDownload, false);
  view_.SetWindowEnabled(false);
  if (state_.MissingMods.empty()) {
    // Only removable files: the cleanup dialog hands the window back and enables it.
    if (!state_.RemovableFiles.empty() && open_cleanup_) {
      OpenCleanupDialog();
    } else {
      view_.SetWindowEnabled(true);
    }
    return;
  }
  // Whatever ends the run early, the window comes back enabled; a turbo run re-enables it
  // itself once its workers are done.
  bool handed_to_workers = false;
  const ScopeExit enable([&] {
    if (!handed_to_workers) view_.SetWindowEnabled(true);
  });
  Console(kHeading, false, kRunHeading);
  state_.LoadedSize = 0;
  state_.LoadedCount = 0;
  state_.StartTime = std::chrono::system_clock::now();
  if (view_.Checked(Control::sCheckBox1)) {
    ChngSize(2);
    state_.ModIndex = static_cast<std::int32_t>(state_.MissingMods.size());
    view_.SetTimerEnabled(Timer::Timer6, true);
    handed_to_workers = true;
    return;
  }
  RunSequentially();
}

void TProTarvoCompatibility::RunSequentially() {
  ChngSize(1);
  const auto count = static_cast<std::int32_t>(state_.MissingMods.size());
  for (state_.ModIndex = 1; state_.ModIndex <= count; ++state_.ModIndex) {
    const std::string& name = state_.MissingMods[static_cast<std::size_t>(state_.ModIndex - 1)];
    sync::ModTransfer mod = TransferOf(name, Control::sProgressBar1);
    if (net::IsPlainFileName(name)) mod.stray = JoinPath(state_.ModsFolder, name);
    TakeResult(name, sync::FetchMod(transport_, mod));
  }
  CloseRun();
}

sync::ModTransfer TProTarvoCompatibility::TransferOf(const std::string& name, Control bar) {
  if (agent_.empty()) agent_ = desktop_.ProgramName();
  sync::ModTransfer mod;
  mod.name = name;
  mod.FFromInet = state_.ServerUrl + state_.ServerModsPath + name;
  // An unsafe name gets no path at all; the transfer refuses it before looking at one.
  if (net::IsPlainFileName(name)) mod.FSaveTo = JoinPath(state_.VersionModsFolder, name);
  mod.agent = agent_;
  mod.bar = &view_.Bar(bar);
  return mod;
}

void TProTarvoCompatibility::TakeResult(const std::string& name, const sync::ModResult& result) {
  Console(sync::ModResultLine(name, result.outcome));
  if (result.outcome != sync::ModOutcome::kFailed) {
    app::AddLoadedFile(state_, static_cast<std::uint64_t>(result.size));
  }
}

void TProTarvoCompatibility::CloseRun() {
  if (view_.Checked(Control::sCheckBox2)) {
    StartSetupsPlus();
  } else {
    ChngSize(0);
  }
  const auto elapsed = std::chrono::duration_cast<std::chrono::seconds>(
                           std::chrono::system_clock::now() - state_.StartTime)
                           .count() %
                       86400;
  const auto total = static_cast<std::int32_t>(state_.MissingMods.size());
  const std::int32_t loaded = state_.LoadedCount;
  Console(false,
          "======Завершение загрузки=======\r\nПрошло времени: " +
              clock_.LongTime(static_cast<int>(elapsed / 3600), static_cast<int>(elapsed / 60 % 60),
                              static_cast<int>(elapsed % 60)) +
              "\r\nОбъем загруженых файлов(" + std::to_string(loaded) + " из " +
              std::to_string(total) +
              "): " + SizeToText(state_.LoadedSize, desktop_.DecimalSeparator()));
  if (loaded != total) Console(kHeading, false, kNotAllLoaded);
  if (!state_.RemovableFiles.empty()) OpenCleanupDialog();
  view_.SetWindowEnabled(true);
}

void TProTarvoCompatibility::OpenCleanupDialog() {
  if (open_cleanup_) open_cleanup_();
}

}  // namespace veltrane::ui
