#pragma once
// The main window's logic: what its creation sets up, what each of its events does. The window
// itself (controls, painting, timers) is behind MainView; this class decides.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/game_folder.h"
#include "app/shared_state.h"
#include "base/ini_store.h"
#include "extras/extras.h"
#include "net/transport.h"
#include "sync/compatibility_check.h"
#include "sync/download_run.h"
#include "ui/desktop.h"
#include "ui/form_context.h"
#include "ui/main_view.h"
#include "ui/size_modes.h"
#include "ui/status_console.h"
#include "ui/ui_thread.h"

namespace veltrane::ui {

inline constexpr char kStartSkin[] = "Emerald (internal)";
inline constexpr char kCopiedText[] = "Скопировано в буфер обмена";
// The close sequence fades by this much per tick of Timer6: 255 is 15 steps.
inline constexpr int kFadeStep = 17;
inline constexpr int kShowNormal = 5;

class TProTarvoCompatibility {
 public:
  // Everything passed in must outlive the form.
  TProTarvoCompatibility(MainView& view, Desktop& desktop, UiThread& ui, const ConsoleClock& clock,
                         net::Transport& transport, app::IniOpener open_ini);
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

  void FormCreate();
  void FormShow();
  // Every request to close is refused; the window fades out and ends by itself.
  bool FormCloseQuery();
  void Timer6Timer();

  void sLabel1MouseDown();
  void sEdit1DblClick();
  void sEdit1Enter();
  void sMemo1DblClick();
  void sButtonOpenFolderClick();
  void sButtonExitClick();
  void sGroupBox3MouseMove();

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

  // The compatibility check; not while the tool or the installer is being fetched, as it would
  // nest in that transfer.
  bool conecteon() { return check_.conecteon(); }
  void sButtonCheckClick() {
    if (!extras_.Busy()) check_.sButtonCheckClick();
  }

  // The option check boxes (after a mouse release has changed them) and the change log.
  void sCheckBox1MouseUp();
  void sCheckBox2MouseUp();
  void sTitleBar1Items0Click();

  // The download runs; not while the tool or the installer is being fetched (its transfer lets
  // messages run): a run nested in that transfer would lose its own size modes and the tool.
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

  // The cleanup dialog takes the window's place; the window's owner provides it.
  void SetCleanupOpener(std::function<void()> open) { open_cleanup_ = std::move(open); }

  // The size modes of ui/size_modes, over this window.
  void ChngSize(std::uint8_t SScript) { ui::ChngSize(view_, SScript); }

 private:
  void CloseTick();
  // The runs' way to the cleanup dialog: false when there is none.
  bool OpenCleanup();
  // Writes lines for Notepad (ANSI code page, CR LF) and opens them there.
  void WriteAndOpenInNotepad(const char* file_name, const std::vector<std::string>& lines);

  MainView& view_;
  Desktop& desktop_;
  app::IniOpener open_ini_;
  app::SharedState state_;
  StatusConsole console_;
  const FormContext context_;
  app::GameFolderController folder_;
  sync::CompatibilityCheck check_;
  extras::Extras extras_;
  std::function<void()> open_cleanup_;
  // Set once the close sequence has asked for the collapse, which must not be restarted.
  bool collapse_requested_ = false;
  // Last, so that it goes first: its turbo workers are stopped and joined before anything they
  // were given.
  sync::DownloadRun runs_;
};

}  // namespace veltrane::ui
