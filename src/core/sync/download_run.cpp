#include "sync/download_run.h"

#include <chrono>
#include <system_error>
#include <utility>

#include "base/paths.h"
#include "base/scope_exit.h"
#include "base/size_text.h"
#include "net/manifest.h"
#include "net/server_paths.h"
#include "net/transfer.h"
#include "ui/run_beside.h"
#include "ui/size_modes.h"

namespace veltrane::sync {
namespace {

using ui::Control;
using ui::Timer;

constexpr char kRunHeading[] = "============Загрузка============";
constexpr char kNotAllLoaded[] = "! Не все файлы были загружены !";

}  // namespace

DownloadRun::DownloadRun(const ui::FormContext& context, const ui::ConsoleClock& clock,
                         RunHooks hooks)
    : view_(context.view),
      desktop_(context.desktop),
      transport_(context.transport),
      state_(context.state),
      console_(context.console),
      hashes_required_(!context.pack_key.empty()),
      ui_(context.ui),
      clock_(clock),
      hooks_(std::move(hooks)) {}

DownloadRun::~DownloadRun() {
  StopWorkers();
}

void DownloadRun::sButtonDownloadClick() {
  if (!hooks_.connected()) return;
  view_.SetEnabled(Control::sButtonDownload, false);
  view_.SetWindowEnabled(false);
  if (state_.MissingMods.empty()) {
    // Only removable files: the cleanup dialog hands the window back and enables it.
    if (state_.RemovableFiles.empty() || !hooks_.open_cleanup()) view_.SetWindowEnabled(true);
    return;
  }
  // Whatever ends the run early, the window comes back enabled; a turbo run re-enables it
  // itself once its workers are done.
  bool handed_to_workers = false;
  const ScopeExit enable([&] {
    if (!handed_to_workers) view_.SetWindowEnabled(true);
  });
  console_.Console(ui::kHeading, false, kRunHeading);
  state_.LoadedSize = 0;
  state_.LoadedCount = 0;
  state_.StartTime = std::chrono::system_clock::now();
  if (view_.Checked(Control::sCheckBox1)) {
    ui::ChngSize(view_, 2);
    state_.ModIndex = static_cast<std::int32_t>(state_.MissingMods.size());
    view_.SetTimerEnabled(Timer::Timer6, true);
    handed_to_workers = true;
    return;
  }
  RunSequentially();
}

void DownloadRun::Timer6Timer() {
  if (state_.ModIndex > 0) {
    for (int slot = 1; slot <= 5; ++slot) {
      if (state_.ModIndex <= 0 || FlowBusy(slot)) continue;
      const std::string& name = state_.MissingMods[static_cast<std::size_t>(state_.ModIndex - 1)];
      FlowRun(slot, state_.ModIndex, net::FileUrl(state_.ServerUrl, net::ModPath(name)),
              JoinPath(state_.VersionModsFolder, name));
    }
    return;
  }
  for (int slot = 1; slot <= 5; ++slot) {
    if (FlowBusy(slot)) return;  // a later tick looks again
  }
  view_.SetTimerEnabled(Timer::Timer6, false);
  CloseRun();
}

void DownloadRun::FlowRun(int slot, std::int32_t Numberr, const std::string& FromInet,
                          const std::string& SaveTo) {
  const auto index = static_cast<std::size_t>(slot - 1);
  const std::string name = state_.MissingMods[static_cast<std::size_t>(Numberr - 1)];
  --state_.ModIndex;
  ModTransfer mod = TransferOf(name, ui::ProgressBarControl(slot));
  mod.FFromInet = FromInet;
  mod.FSaveTo = SaveTo;
  const std::uint64_t serial = ++flow_serial_;
  flow_serials_[index] = serial;
  try {
    flows_[index] = std::make_unique<TFlow>(
        slot, Numberr, std::move(mod), transport_, ui_,
        [this, alive = std::weak_ptr<char>(alive_), index, serial, slot,
         name](const ModResult& result) {
          // Nothing when the run or this worker has gone meanwhile (StopWorkers).
          if (alive.expired() || !flows_[index] || flow_serials_[index] != serial) return;
          TakeResult(name, result);
          FlowEnded(slot);
        },
        start_thread_);
  } catch (const std::system_error&) {
    // No thread for it: the slot stays free and the mod counts as failed.
    TakeResult(name, ModResult{});
  }
}

void DownloadRun::FlowEnded(int slot) {
  flows_[static_cast<std::size_t>(slot - 1)].reset();
}

void DownloadRun::StopWorkers() {
  // Each worker is told to stop before any is waited for.
  for (auto& flow : flows_) {
    if (flow) flow->Stop();
  }
  for (auto& flow : flows_) flow.reset();
}

void DownloadRun::RunSequentially() {
  ui::ChngSize(view_, 1);
  const auto count = static_cast<std::int32_t>(state_.MissingMods.size());
  for (state_.ModIndex = 1; state_.ModIndex <= count; ++state_.ModIndex) {
    const std::string& name = state_.MissingMods[static_cast<std::size_t>(state_.ModIndex - 1)];
    ModTransfer mod = TransferOf(name, Control::sProgressBar1);
    if (net::IsPlainFileName(name)) mod.stray = JoinPath(state_.ModsFolder, name);
    ModResult result;
    const bool finished = ui::RunBeside(ui_, [&](const net::Cancel& cancel) {
      mod.cancel = &cancel;
      result = FetchMod(transport_, mod);
    });
    if (!finished) return;  // the program ends: nothing more is fetched or said
    TakeResult(name, result);
  }
  CloseRun();
}

ModTransfer DownloadRun::TransferOf(const std::string& name, Control bar) {
  if (agent_.empty()) agent_ = desktop_.ProgramName();
  ModTransfer mod;
  mod.name = name;
  std::vector<std::string> urls =
      net::FileUrls(state_.ServerUrl, state_.Mirrors, net::ModPath(name));
  mod.FFromInet = urls.front();
  mod.mirror_urls.assign(urls.begin() + 1, urls.end());
  // An unsafe name gets no path at all; the transfer refuses it before looking at one.
  if (net::IsPlainFileName(name)) mod.FSaveTo = JoinPath(state_.VersionModsFolder, name);
  mod.agent = agent_;
  if (const auto hash = state_.MissingHashes.find(name); hash != state_.MissingHashes.end()) {
    mod.expected = hash->second;
  }
  mod.hash_required = hashes_required_;
  mod.bar = &view_.Bar(bar);
  return mod;
}

void DownloadRun::TakeResult(const std::string& name, const ModResult& result) {
  console_.Console(ModResultLine(name, result.outcome));
  if (result.outcome != ModOutcome::kFailed) {
    app::AddLoadedFile(state_, static_cast<std::uint64_t>(result.size));
  }
}

void DownloadRun::CloseRun() {
  if (view_.Checked(Control::sCheckBox2)) {
    hooks_.start_extra_tool();
    if (view_.AppEnding()) return;  // the program was asked to end while the tool came
  } else {
    ui::ChngSize(view_, 0);
  }
  const auto elapsed = std::chrono::duration_cast<std::chrono::seconds>(
                           std::chrono::system_clock::now() - state_.StartTime)
                           .count() %
                       86400;
  const auto total = static_cast<std::int32_t>(state_.MissingMods.size());
  const std::int32_t loaded = state_.LoadedCount;
  console_.Console(
      false,
      "======Завершение загрузки=======\r\nПрошло времени: " +
          clock_.LongTime(static_cast<int>(elapsed / 3600), static_cast<int>(elapsed / 60 % 60),
                          static_cast<int>(elapsed % 60)) +
          "\r\nОбъем загруженых файлов(" + std::to_string(loaded) + " из " + std::to_string(total) +
          "): " + SizeToText(state_.LoadedSize, desktop_.DecimalSeparator()));
  if (loaded != total) console_.Console(ui::kHeading, false, kNotAllLoaded);
  if (!state_.RemovableFiles.empty()) hooks_.open_cleanup();
  view_.SetWindowEnabled(true);
}

}  // namespace veltrane::sync
