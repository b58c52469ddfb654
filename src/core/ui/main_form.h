#pragma once
// The main window's logic as the window sees it: what its creation sets up and, for each of its
// events, the controller that handles it. The form owns the shared state, the status console
// and one controller per subsystem (the game folder, the check, the runs, the extras, the
// window's own commands); the controllers know nothing of each other, and what one needs of
// another is handed to it here. The window itself (controls, painting, timers) is behind
// MainView.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "app/game_folder.h"
#include "app/shared_state.h"
#include "base/ini_store.h"
#include "build_config.h"
#include "extras/extras.h"
#include "net/transport.h"
#include "sync/cleanup_form.h"
#include "sync/compatibility_check.h"
#include "sync/download_run.h"
#include "ui/desktop.h"
#include "ui/form_context.h"
#include "ui/main_view.h"
#include "ui/main_window_seat.h"
#include "ui/size_modes.h"
#include "ui/status_console.h"
#include "ui/ui_thread.h"
#include "ui/window_commands.h"

namespace veltrane::ui {

inline constexpr char kStartSkin[] = "Emerald (internal)";
// The close sequence fades by this much per tick of Timer6: 255 is 15 steps.
inline constexpr int kFadeStep = 17;

class TProTarvoCompatibility {
 public:
  // Everything passed in must outlive the form; `pack_key` is text with static storage.
  TProTarvoCompatibility(MainView& view, Desktop& desktop, UiThread& ui, const ConsoleClock& clock,
                         net::Transport& transport, app::IniOpener open_ini,
                         std::string_view pack_key = build::kPackKey);
  TProTarvoCompatibility(const TProTarvoCompatibility&) = delete;
  TProTarvoCompatibility& operator=(const TProTarvoCompatibility&) = delete;

  app::SharedState& State() { return state_; }
  const StatusConsole& StatusLog() const { return console_; }
  StatusConsole& StatusLog() { return console_; }

  void Console(std::uint8_t IsHead, bool NdTime, std::string_view outt) {
    console_.Console(IsHead, NdTime, outt);
  }
  void Console(std::uint8_t IsHead, std::string_view outt) { console_.Console(IsHead, outt); }
  void Console(bool NdTime, std::string_view outt) { console_.Console(NdTime, outt); }
  void Console(std::string_view outt) { console_.Console(outt); }

  // The form's own: creation, showing and the close sequence.
  void FormCreate();
  void FormShow();
  // Every request to close is refused; the window fades out and ends by itself.
  bool FormCloseQuery();
  // The fade once a close was asked for; until then the turbo run's dispatcher.
  void Timer6Timer();

  // The window's own commands.
  void sLabel1MouseDown() { commands_.sLabel1MouseDown(); }
  void sEdit1DblClick() { commands_.sEdit1DblClick(); }
  void sEdit1Enter() { commands_.sEdit1Enter(); }
  void sMemo1DblClick() { commands_.sMemo1DblClick(); }
  void sButtonOpenFolderClick() { commands_.sButtonOpenFolderClick(); }
  void sButtonExitClick() { commands_.sButtonExitClick(); }
  void sGroupBox3MouseMove() { commands_.sGroupBox3MouseMove(); }
  void sCheckBox1MouseUp() { commands_.sCheckBox1MouseUp(); }
  void sCheckBox2MouseUp() { commands_.sCheckBox2MouseUp(); }
  void sTitleBar1Items0Click() { commands_.sTitleBar1Items0Click(); }

  // The game folder: settings, the launcher's configuration, validation and the game watch.
  app::GameFolderController& Folder() { return folder_; }
  void Timer1Timer() { folder_.Timer1Timer(); }
  void Timer5Timer() { folder_.Timer5Timer(); }
  void sButtonSetFolderClick() { folder_.sButtonSetFolderClick(); }
  void sButtonCopyTLClick() { folder_.sButtonCopyTLClick(); }

  // The extra-settings tool and the Forge installer, fetched into the game folder and opened.
  bool StartSetupsPlus() { return extras_.StartSetupsPlus(); }
  void sTitleBar1Items0MouseUp() { extras_.sTitleBar1Items0MouseUp(); }
  void sTitleBar1Items2MouseUp() { extras_.sTitleBar1Items2MouseUp(); }
  void sButtonInstFClick() {}

  // The check and the runs are refused while the tool or the installer is being fetched: its
  // transfer lets messages run, and they would nest in it.
  bool conecteon() { return check_.conecteon(); }
  void sButtonCheckClick() {
    if (!extras_.Busy()) check_.sButtonCheckClick();
  }
  sync::DownloadRun& Runs() { return runs_; }
  void sButtonDownloadClick() {
    if (!extras_.Busy()) runs_.sButtonDownloadClick();
  }
  void Flow1Run(std::int32_t n, const std::string& f, const std::string& s) {
    runs_.FlowRun(1, n, f, s);
  }
  void Flow2Run(std::int32_t n, const std::string& f, const std::string& s) {
    runs_.FlowRun(2, n, f, s);
  }
  void Flow3Run(std::int32_t n, const std::string& f, const std::string& s) {
    runs_.FlowRun(3, n, f, s);
  }
  void Flow4Run(std::int32_t n, const std::string& f, const std::string& s) {
    runs_.FlowRun(4, n, f, s);
  }
  void Flow5Run(std::int32_t n, const std::string& f, const std::string& s) {
    runs_.FlowRun(5, n, f, s);
  }
  void Flow1Ended() { runs_.FlowEnded(1); }
  void Flow2Ended() { runs_.FlowEnded(2); }
  void Flow3Ended() { runs_.FlowEnded(3); }
  void Flow4Ended() { runs_.FlowEnded(4); }
  void Flow5Ended() { runs_.FlowEnded(5); }
  void StopWorkers() { runs_.StopWorkers(); }

  // The cleanup dialog takes the window's place; the window's owner provides it, built from
  // the window's seat and what the dialog works on.
  void SetCleanupOpener(std::function<void()> open) { open_cleanup_ = std::move(open); }
  MainWindowSeat& Seat() { return seat_; }
  sync::CleanupSources CleanupSources() {
    return {state_.RemovableFiles, state_.SettingsIni, state_.VersionModsFolder, console_};
  }

  // The size modes of ui/size_modes, over this window.
  void ChngSize(std::uint8_t SScript) { ui::ChngSize(view_, SScript); }

 private:
  // The window's place as the cleanup dialog takes it and hands it back.
  class FormSeat final : public MainWindowSeat {
   public:
    FormSeat(MainView& view, app::SharedState& state) : view_(view), state_(state) {}
    Rect Bounds() const override { return view_.WindowBounds(); }
    ScreenSize Screen() const override { return view_.Screen(); }
    void Hide() override { view_.ShowWindow(false); }
    void TakeBack(const Rect& bounds) override;

   private:
    MainView& view_;
    app::SharedState& state_;
  };

  void CloseTick();
  // The runs' way to the cleanup dialog: false when there is none.
  bool OpenCleanup();

  MainView& view_;
  Desktop& desktop_;
  app::IniOpener open_ini_;
  app::SharedState state_;
  StatusConsole console_;
  std::function<void()> open_cleanup_;
  FormSeat seat_;
  // Set once the close sequence has asked for the collapse, which must not be restarted.
  bool collapse_requested_ = false;
  const FormContext context_;
  app::GameFolderController folder_;
  sync::CompatibilityCheck check_;
  extras::Extras extras_;
  WindowCommands commands_;
  // Last, so that it goes first: its turbo workers are stopped and joined before anything they
  // were given.
  sync::DownloadRun runs_;
};

}  // namespace veltrane::ui
