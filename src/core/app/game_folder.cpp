// The main window's game-folder handlers: where the folder comes from, whether it is valid, and
// what the window offers accordingly.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "app/launcher_config.h"
#include "app/settings.h"
#include "base/ascii.h"
#include "base/paths.h"
#include "base/scope_exit.h"
#include "base/u8path.h"
#include "ui/main_form.h"

namespace veltrane::ui {
namespace {

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

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(U8Path(path), std::ios::binary);
  if (!in) throw std::runtime_error("Cannot open file \"" + path + "\".");
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

void TProTarvoCompatibility::Timer1Timer() {
  view_.SetTimerEnabled(Timer::Timer1, false);
  // The watch starts even when loading the settings fails (the error is shown meanwhile).
  const ScopeExit start_watch([this] { view_.SetTimerEnabled(Timer::Timer5, true); });
  LoadSettings();
  Console("   Добро пожаловать :)\r\n   Для начала нажмите «" + view_.Text(Control::sButtonCheck) +
          "»,\r\nа затем «" + view_.Text(Control::sButtonDownload) +
          "», чтобы синхронизировать\r\nваш клиент Minecraft с сервером Dravenna " +
          state_.GameVersion + ".");
  ValidateGameFolder();
}

void TProTarvoCompatibility::Timer5Timer() {
  ValidateGameFolder();
  if (state_.MainWindowTag == 1 && view_.WindowBounds().width == WideWidth(LayoutOf(view_))) {
    state_.MainWindowTag = 0;
  }
}

void TProTarvoCompatibility::LoadSettings() {
  const app::IniStore& ini = *state_.SettingsIni;
  bool from_launcher = false;
  if (ReadLauncherConfig()) {
    // A stored empty (or absent) folder gives way to the launcher's.
    from_launcher = app::ReadText(ini, app::kGameFolderKey).empty();
    if (from_launcher) state_.GameFolder = state_.LauncherGameFolder;
  }
  if (!from_launcher) {
    state_.GameFolder = app::ReadText(ini, app::kGameFolderKey,
                                      JoinPath(desktop_.ExpandEnvText("%appdata%"), ".minecraft"));
  }
  view_.SetText(Control::sEdit1, state_.GameFolder);
  folder_dialog_start_ = state_.GameFolder;
  view_.SetChecked(Control::sCheckBox1, app::ReadFlag(ini, app::kTurboKey, app::kTurboDefault));
  view_.SetChecked(Control::sCheckBox2,
                   app::ReadFlag(ini, app::kExtraOptionsKey, app::kExtraOptionsDefault));
}

void TProTarvoCompatibility::SaveSettings() {
  app::IniStore& ini = *state_.SettingsIni;
  app::WriteText(ini, app::kGameFolderKey, state_.GameFolder);
  app::WriteFlag(ini, app::kTurboKey, view_.Checked(Control::sCheckBox1));
  app::WriteFlag(ini, app::kExtraOptionsKey, view_.Checked(Control::sCheckBox2));
}

bool TProTarvoCompatibility::ReadLauncherConfig() {
  const std::string source =
      JoinPath(JoinPath(desktop_.ExpandEnvText("%appdata%"), ".tlauncher"), "legacy.properties");
  if (!FileExists(source)) return false;
  const std::string copy = JoinPath(state_.DataFolder, "legacy.properties");
  std::error_code ignored;
  std::filesystem::copy_file(U8Path(source), U8Path(copy),
                             std::filesystem::copy_options::overwrite_existing, ignored);
  const std::string text = desktop_.FromAnsi(ReadWholeFile(copy));
  DeleteFileAt(copy);
  // A file without the key names no folder: the stored or default folder stays in use.
  const auto folder = app::LauncherFolderFromLines(app::SplitFileLines(text));
  if (!folder) return false;
  state_.LauncherGameFolder = *folder;
  state_.CopyTLButtonTag = 1;
  return true;
}

void TProTarvoCompatibility::ValidateGameFolder() {
  view_.SetText(Control::sEdit1, state_.GameFolder);
  app::DeriveModsFolders(state_);
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
  const WindowLayout layout = LayoutOf(view_);
  const bool returning = state_.MainWindowTag == 1;
  const auto target =
      valid ? GrowToActionsTarget(view_.WindowBounds(), layout, view_.Screen(), returning)
            : ShrinkToCompactTarget(view_.WindowBounds(), layout, view_.Screen(), returning);
  if (target) AnimateControl(&view_.Window(), *target);

  const bool offer_tl = state_.CopyTLButtonTag == 1 && !state_.LauncherGameFolder.empty() &&
                        AsciiLower(state_.LauncherGameFolder) != AsciiLower(state_.GameFolder);
  view_.SetEnabled(Control::sButtonCopyTL, offer_tl);
  view_.SetVisible(Control::sButtonCopyTL, offer_tl);
  const int width = offer_tl ? kSetFolderNarrow : kSetFolderWide;
  if (view_.Bounds(Control::sButtonSetFolder).width != width) {
    AnimateControl(&view_.AnimatableControl(Control::sButtonSetFolder), kKeep, kKeep, width, kKeep,
                   kSizeMultiplier, kCopyTLTask);
  }
  WatchForRunningGame();
}

void TProTarvoCompatibility::WatchForRunningGame() {
  const std::uintptr_t game =
      desktop_.FindTopWindow(kGameWindowClass, "Minecraft " + state_.GameVersion);
  if (game == 0 || !desktop_.IsProcessRunning(kGameProcess)) return;
  view_.SetTimerEnabled(Timer::Timer5, false);
  const ScopeExit restart_watch([this] { view_.SetTimerEnabled(Timer::Timer5, true); });
  desktop_.ShowMessage(kRunningGameWarning, kWarningCaption, Desktop::Buttons::Ok,
                       Desktop::Icon::Warning);
  // Only the game's own process: the window's owner must be the game's program.
  desktop_.CloseGameWindow(game, kGameProcess);
}

void TProTarvoCompatibility::sButtonSetFolderClick() {
  if (const auto chosen = desktop_.BrowseForFolder(folder_dialog_start_)) {
    if (DirectoryExists(*chosen)) folder_dialog_start_ = *chosen;
  }
  state_.GameFolder = folder_dialog_start_;
  SaveSettings();
  ValidateGameFolder();
}

void TProTarvoCompatibility::sButtonCopyTLClick() {
  ReadLauncherConfig();
  state_.GameFolder = state_.LauncherGameFolder;
  view_.SetText(Control::sEdit1, state_.GameFolder);
  folder_dialog_start_ = state_.GameFolder;
  ValidateGameFolder();
  SaveSettings();
}

}  // namespace veltrane::ui
