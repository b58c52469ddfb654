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
#include "sync/mod_fetch.h"
#include "sync/turbo_worker.h"
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
  // Stops the turbo workers (StopWorkers) before anything they were given goes.
  ~TProTarvoCompatibility();
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

  // "Запуск синхронизации": fetches the missing mods, one after another or (Турбо) by up to five
  // workers, then sums up and hands over to the extra tool and the cleanup.
  void sButtonDownloadClick();
  // The turbo run: Timer6Timer hands the missing mods out, last first, to free worker slots. A
  // worker that cannot be started leaves its slot empty and its mod failed.
  void FlowRun(int slot, std::int32_t Numberr, const std::string& FromInet,
               const std::string& SaveTo);
  // Empties the slot once its worker's result is in; joins its thread.
  void FlowEnded(int slot);
  // Stops the workers' transfers at their next chunk (their files are not kept), waits for
  // their threads and empties their slots. Their results are not counted.
  void StopWorkers();
  void Flow1Run(std::int32_t n, const std::string& f, const std::string& s) { FlowRun(1, n, f, s); }
  void Flow2Run(std::int32_t n, const std::string& f, const std::string& s) { FlowRun(2, n, f, s); }
  void Flow3Run(std::int32_t n, const std::string& f, const std::string& s) { FlowRun(3, n, f, s); }
  void Flow4Run(std::int32_t n, const std::string& f, const std::string& s) { FlowRun(4, n, f, s); }
  void Flow5Run(std::int32_t n, const std::string& f, const std::string& s) { FlowRun(5, n, f, s); }
  void Flow1Ended() { FlowEnded(1); }
  void Flow2Ended() { FlowEnded(2); }
  void Flow3Ended() { FlowEnded(3); }
  void Flow4Ended() { FlowEnded(4); }
  void Flow5Ended() { FlowEnded(5); }
  bool FlowBusy(int slot) const { return flows_[static_cast<std::size_t>(slot - 1)] != nullptr; }
  // How the workers' threads are started (tests make it fail).
  void SetThreadStarter(sync::ThreadStarter start) { start_thread_ = std::move(start); }

  // The cleanup dialog takes the window's place; the window's owner provides it.
  void SetCleanupOpener(std::function<void()> open) { open_cleanup_ = std::move(open); }

  // The size modes of ui/size_modes, over this window.
  void ChngSize(std::uint8_t SScript) { ui::ChngSize(view_, SScript); }

 private:
  void CloseTick();
  void RunSequentially();
  // What a transfer of the mod named `name` needs, taken from the state now.
  sync::ModTransfer TransferOf(const std::string& name, Control bar);
  // Logs a mod's result and counts it when it is loaded.
  void TakeResult(const std::string& name, const sync::ModResult& result);
  // Closing a run, shared with the turbo workers' dispatcher.
  void CloseRun();
  void OpenCleanupDialog();
  // Writes lines for Notepad (ANSI code page, CR LF) and opens them there.
  void WriteAndOpenInNotepad(const char* file_name, const std::vector<std::string>& lines);

  MainView& view_;
  Desktop& desktop_;
  net::Transport& transport_;
  app::IniOpener open_ini_;
  app::SharedState state_;
  StatusConsole console_;
  const FormContext context_;
  app::GameFolderController folder_;
  sync::CompatibilityCheck check_;
  extras::Extras extras_;
  std::function<void()> open_cleanup_;
  const ConsoleClock& clock_;
  UiThread& ui_;
  // Set once the close sequence has asked for the collapse, which must not be restarted.
  bool collapse_requested_ = false;
  std::string agent_;
  sync::ThreadStarter start_thread_ = sync::StartThread;
  // Work posted to the UI thread holds this weakly and does nothing once the form is gone.
  std::shared_ptr<char> alive_ = std::make_shared<char>();
  // Which worker a slot holds, so that a result of one that was stopped is not taken for it.
  std::uint64_t flow_serial_ = 0;
  std::array<std::uint64_t, sync::kWorkerSlots> flow_serials_{};
  // Flow1 .. Flow5: the worker running in the slot. Touched on the UI thread only; last, so
  // that the workers are gone before anything they were given.
  std::array<std::unique_ptr<sync::TFlow>, sync::kWorkerSlots> flows_;
};

}  // namespace veltrane::ui
