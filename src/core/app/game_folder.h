#pragma once
// The game folder: where it comes from (the settings, the launcher's configuration, the folder
// dialog, "TL"), whether it is valid and what the window offers accordingly, the settings file
// loaded and stored, and the watch for a running game.
#include <string>

#include "app/shared_state.h"
#include "ui/form_context.h"

namespace veltrane::app {

class GameFolderController {
 public:
  // Everything the context refers to must outlive the controller.
  explicit GameFolderController(const ui::FormContext& context);
  GameFolderController(const GameFolderController&) = delete;
  GameFolderController& operator=(const GameFolderController&) = delete;

  // The start-up tick: the settings, the welcome text and the first validation; then the watch.
  void Timer1Timer();
  // The watch: validates again every second.
  void Timer5Timer();
  void LoadSettings();
  void SaveSettings();
  // True when the launcher's configuration was found and names a folder.
  bool ReadLauncherConfig();
  void ValidateGameFolder();
  // "Указать" and "TL".
  void sButtonSetFolderClick();
  void sButtonCopyTLClick();

 private:
  void WatchForRunningGame();

  ui::MainView& view_;
  ui::Desktop& desktop_;
  SharedState& state_;
  ui::StatusConsole& console_;
  // Where the folder dialog opens: the loaded game folder or the one "TL" took.
  std::string folder_dialog_start_;
};

}  // namespace veltrane::app
