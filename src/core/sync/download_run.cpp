// "Запуск синхронизации": the start of every run, the one-stream run and the close of a run.
#include <chrono>
#include <exception>

#include "Addons/Custom/AllInOne.h"
#include "base/paths.h"
#include "base/scope_exit.h"
#include "net/FutureDownloads.h"
#include "net/manifest.h"
#include "ui/Unit1.h"

namespace veltrane::ui {
namespace {

constexpr char kRunHeading[] = "============Загрузка============";
constexpr char kNotAllLoaded[] = "! Не все файлы были загружены !";

}  // namespace

void TProTarvoCompatibility::sButtonDownloadClick() {
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
    LoadOne(state_.MissingMods[static_cast<std::size_t>(state_.ModIndex - 1)]);
  }
  CloseRun();
}

void TProTarvoCompatibility::LoadOne(const std::string& name) {
  // An unsafe or empty name is never joined to a folder: its transfer simply fails.
  if (!net::IsPlainFileName(name)) {
    Console(" ! Ошибка загрузки: " + name);
    return;
  }
  const std::string target = JoinPath(state_.VersionModsFolder, name);
  const std::string stray = JoinPath(state_.ModsFolder, name);
  try {
    if (FileExists(stray)) {
      custom::MoveFileTo(stray, target, false);
      Console("Уже существует: " + name);
      app::AddLoadedFile(state_, static_cast<std::uint64_t>(custom::FileSizeOf(target)));
      return;
    }
    if (net::DownloadFile(transport_, state_.ServerUrl + state_.ServerModsPath + name, target,
                          &view_.Bar(Control::sProgressBar1), desktop_.ProgramName())) {
      Console("Успешно: " + name);
      app::AddLoadedFile(state_, static_cast<std::uint64_t>(custom::FileSizeOf(target)));
      return;
    }
  } catch (const std::exception&) {
    // A file that cannot be written or read counts as failed; the run goes on.
  }
  Console(" ! Ошибка загрузки: " + name);
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
              "): " + custom::SizeToText(state_.LoadedSize, desktop_.DecimalSeparator()));
  if (loaded != total) Console(kHeading, false, kNotAllLoaded);
  if (!state_.RemovableFiles.empty()) OpenCleanupDialog();
  view_.SetWindowEnabled(true);
}

void TProTarvoCompatibility::OpenCleanupDialog() {
  if (open_cleanup_) open_cleanup_();
}

}  // namespace veltrane::ui
