#include "app/game_folder.h"

#include <filesystem>
#include <stdexcept>

#include "app/launcher_config.h"
#include "app/settings.h"
#include "base/ascii.h"
#include "base/file_ops.h"
#include "base/paths.h"
#include "base/scope_exit.h"
#include "base/u8path.h"
#include "ui/size_modes.h"

namespace veltrane::app {
namespace {

using ui::Control;
using ui::Timer;

constexpr char kValidText[] = "Правильная директория!";
constexpr char kInvalidText[] = "Неправильный путь к папке с игрой!";
constexpr int kSetFolderWide = 369;
constexpr int kSetFolderNarrow = 329;
constexpr char kCopyTLTask[] = "CopyTL";
constexpr char kGameWindowClass[] = "LWJGL";
constexpr char kGameProcess[] = "javaw.exe";
constexpr char kWarningCaption[] = "Предупреждение";
constexpr char kRunningGameWarning[] =
    "Пожалуйста не запускайте игру\r\nкогда открыт Veltrane Dravenna.\r\nЭто может привести к "
    "непоправимым ошибкам!\r\n\r\nСохраните все данные в игре и закройте её, т.к.\r\nпосле "
    "нажатия \"ОК\" она будет закрыта автоматически!";

std::string ReadCopiedFile(const std::string& path) {
  auto bytes = ReadWholeFile(path);
  if (!bytes) throw std::runtime_error("Cannot open file \"" + path + "\".");
  return std::move(*bytes);
}

}  // namespace

GameFolderController::GameFolderController(const ui::FormContext& context)
    : view_(context.view),
      desktop_(context.desktop),
      state_(context.state),
      console_(context.console) {}

void GameFolderController::Timer1Timer() {
  view_.SetTimerEnabled(Timer::Timer1, false);
  // The watch starts even when loading the settings fails (the error is shown meanwhile).
  const ScopeExit start_watch([this] { view_.SetTimerEnabled(Timer::Timer5, true); });
  LoadSettings();
  console_.Console("   Добро пожаловать :)\r\n   Для начала нажмите «" +
                   view_.Text(Control::sButtonCheck) + "»,\r\nа затем «" +
                   view_.Text(Control::sButtonDownload) +
                   "», чтобы синхронизировать\r\nваш клиент Minecraft с сервером Dravenna " +
                   state_.GameVersion + ".");
  ValidateGameFolder();
}

void GameFolderController::Timer5Timer() {
  ValidateGameFolder();
  if (state_.MainWindowTag == 1 &&
      view_.WindowBounds().width == ui::WideWidth(ui::LayoutOf(view_))) {
    state_.MainWindowTag = 0;
  }
}

void GameFolderController::LoadSettings() {
  const IniStore& ini = *state_.SettingsIni;
  bool from_launcher = false;
  if (ReadLauncherConfig()) {
    // A stored empty (or absent) folder gives way to the launcher's.
    from_launcher = ReadText(ini, kGameFolderKey).empty();
    if (from_launcher) state_.GameFolder = state_.LauncherGameFolder;
  }
  if (!from_launcher) {
    state_.GameFolder =
        ReadText(ini, kGameFolderKey, JoinPath(desktop_.ExpandEnvText("%appdata%"), ".minecraft"));
  }
  view_.SetText(Control::sEdit1, state_.GameFolder);
  folder_dialog_start_ = state_.GameFolder;
  view_.SetChecked(Control::sCheckBox1, ReadFlag(ini, kTurboKey, kTurboDefault));
  view_.SetChecked(Control::sCheckBox2, ReadFlag(ini, kExtraOptionsKey, kExtraOptionsDefault));
}

void GameFolderController::SaveSettings() {
  IniStore& ini = *state_.SettingsIni;
  WriteText(ini, kGameFolderKey, state_.GameFolder);
  WriteFlag(ini, kTurboKey, view_.Checked(Control::sCheckBox1));
  WriteFlag(ini, kExtraOptionsKey, view_.Checked(Control::sCheckBox2));
}

bool GameFolderController::ReadLauncherConfig() {
  const std::string source =
      JoinPath(JoinPath(desktop_.ExpandEnvText("%appdata%"), ".tlauncher"), "legacy.properties");
  if (!FileExists(source)) return false;
  const std::string copy = JoinPath(state_.DataFolder, "legacy.properties");
  std::error_code ignored;
  std::filesystem::copy_file(U8Path(source), U8Path(copy),
                             std::filesystem::copy_options::overwrite_existing, ignored);
  const std::string text = desktop_.FromAnsi(ReadCopiedFile(copy));
  DeleteFileAt(copy);
  // A file without the key names no folder: the stored or default folder stays in use.
  const auto folder = LauncherFolderFromLines(SplitFileLines(text));
  if (!folder) return false;
  state_.LauncherGameFolder = *folder;
  state_.CopyTLButtonTag = 1;
  return true;
}

void GameFolderController::ValidateGameFolder() {
  view_.SetText(Control::sEdit1, state_.GameFolder);
  DeriveModsFolders(state_);
  const std::string& folder = state_.GameFolder;
  std::string verdict = kValidText;
  if (!DirectoryExists(JoinPath(folder, "versions")) ||
      !DirectoryExists(JoinPath(folder, "assets"))) {
    verdict = kInvalidText;
  } else if (!DirectoryExists(JoinPath(JoinPath(folder, "versions"), state_.GameVersion))) {
    verdict = "Версия " + state_.GameVersion + " отсутствует!";
  }
  const bool valid = verdict == kValidText;
  view_.SetText(Control::sLabel1, verdict);
  view_.SetEnabled(Control::sGroupBox3, valid);
  view_.SetVisible(Control::sGroupBox3, valid);
  view_.SetTitleItemVisible(0, valid);
  view_.SetTitleItemVisible(1, valid);
  const ui::WindowLayout layout = ui::LayoutOf(view_);
  const bool returning = state_.MainWindowTag == 1;
  const auto target =
      valid ? ui::GrowToActionsTarget(view_.WindowBounds(), layout, view_.Screen(), returning)
            : ui::ShrinkToCompactTarget(view_.WindowBounds(), layout, view_.Screen(), returning);
  if (target) ui::AnimateControl(&view_.Window(), *target);

  const bool offer_tl = state_.CopyTLButtonTag == 1 && !state_.LauncherGameFolder.empty() &&
                        AsciiLower(state_.LauncherGameFolder) != AsciiLower(state_.GameFolder);
  view_.SetEnabled(Control::sButtonCopyTL, offer_tl);
  view_.SetVisible(Control::sButtonCopyTL, offer_tl);
  const int width = offer_tl ? kSetFolderNarrow : kSetFolderWide;
  if (view_.Bounds(Control::sButtonSetFolder).width != width) {
    ui::AnimateControl(&view_.AnimatableControl(Control::sButtonSetFolder), ui::kKeep, ui::kKeep,
                       width, ui::kKeep, ui::kSizeMultiplier, kCopyTLTask);
  }
  WatchForRunningGame();
}

void GameFolderController::WatchForRunningGame() {
  const std::uintptr_t game =
      desktop_.FindTopWindow(kGameWindowClass, "Minecraft " + state_.GameVersion);
  if (game == 0 || !desktop_.IsProcessRunning(kGameProcess)) return;
  view_.SetTimerEnabled(Timer::Timer5, false);
  const ScopeExit restart_watch([this] { view_.SetTimerEnabled(Timer::Timer5, true); });
  desktop_.ShowMessage(kRunningGameWarning, kWarningCaption, ui::Desktop::Buttons::Ok,
                       ui::Desktop::Icon::Warning);
  // Only the game's own process: the window's owner must be the game's program.
  desktop_.CloseGameWindow(game, kGameProcess);
}

void GameFolderController::sButtonSetFolderClick() {
  if (const auto chosen = desktop_.BrowseForFolder(folder_dialog_start_)) {
    if (DirectoryExists(*chosen)) folder_dialog_start_ = *chosen;
  }
  state_.GameFolder = folder_dialog_start_;
  SaveSettings();
  ValidateGameFolder();
}

void GameFolderController::sButtonCopyTLClick() {
  ReadLauncherConfig();
  state_.GameFolder = state_.LauncherGameFolder;
  view_.SetText(Control::sEdit1, state_.GameFolder);
  folder_dialog_start_ = state_.GameFolder;
  ValidateGameFolder();
  SaveSettings();
}

}  // namespace veltrane::app
