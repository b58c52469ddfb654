#include "ui/main_form.h"

#include <fstream>
#include <stdexcept>
#include <system_error>

#include "base/paths.h"
#include "base/u8path.h"
#include "sync/turbo_worker.h"
#include "ui/texts.h"

namespace veltrane::ui {

TProTarvoCompatibility::TProTarvoCompatibility(MainView& view, Desktop& desktop, UiThread& ui,
                                               const ConsoleClock& clock, net::Transport& transport,
                                               app::IniOpener open_ini)
    : view_(view),
      desktop_(desktop),
      transport_(transport),
      open_ini_(std::move(open_ini)),
      console_(ui, clock),
      context_{view, desktop, transport, state_, console_},
      folder_(context_),
      check_(context_, open_ini_),
      extras_(context_),
      clock_(clock),
      ui_(ui) {}

TProTarvoCompatibility::~TProTarvoCompatibility() {
  StopWorkers();
}

void TProTarvoCompatibility::FormCreate() {
  const WindowLayout layout = LayoutOf(view_);
  view_.Window().SetWidth(CompactWidth(layout));
  view_.Window().SetHeight(CompactHeight(layout));
  view_.SelectSkin(kStartSkin);
  view_.SetCaption(app::WindowCaption());
  state_.DataFolder = app::DataFolderIn(desktop_.ExpandEnvText("%appdata%"));
  // A folder that cannot be made is not reported here: the first write to the settings fails.
  ForceDirectories(state_.DataFolder);
  state_.SettingsIni = open_ini_(app::SettingsIniPath(state_.DataFolder));
  state_.ManifestIni = open_ini_(app::ManifestIniPath(state_.DataFolder));
}

void TProTarvoCompatibility::FormShow() {
  view_.Focus(Control::Button1);
}

bool TProTarvoCompatibility::FormCloseQuery() {
  state_.Timer6Tag = 1;
  view_.SetTimerEnabled(Timer::Timer6, true);
  return false;
}

void TProTarvoCompatibility::Timer6Timer() {
  if (state_.Timer6Tag == 1) {
    CloseTick();
    return;
  }
  if (state_.ModIndex > 0) {
    for (int slot = 1; slot <= 5; ++slot) {
      if (state_.ModIndex <= 0 || FlowBusy(slot)) continue;
      const std::string& name = state_.MissingMods[static_cast<std::size_t>(state_.ModIndex - 1)];
      FlowRun(slot, state_.ModIndex, state_.ServerUrl + state_.ServerModsPath + name,
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

void TProTarvoCompatibility::FlowRun(int slot, std::int32_t Numberr, const std::string& FromInet,
                                     const std::string& SaveTo) {
  const auto index = static_cast<std::size_t>(slot - 1);
  const std::string name = state_.MissingMods[static_cast<std::size_t>(Numberr - 1)];
  --state_.ModIndex;
  sync::ModTransfer mod = TransferOf(name, ProgressBarControl(slot));
  mod.FFromInet = FromInet;
  mod.FSaveTo = SaveTo;
  const std::uint64_t serial = ++flow_serial_;
  flow_serials_[index] = serial;
  try {
    flows_[index] = std::make_unique<sync::TFlow>(
        slot, Numberr, std::move(mod), transport_, ui_,
        [this, alive = std::weak_ptr<char>(alive_), index, serial, slot,
         name](const sync::ModResult& result) {
          // Nothing when the form or this worker has gone meanwhile (StopWorkers).
          if (alive.expired() || !flows_[index] || flow_serials_[index] != serial) return;
          TakeResult(name, result);
          FlowEnded(slot);
        },
        start_thread_);
  } catch (const std::system_error&) {
    // No thread for it: the slot stays free and the mod counts as failed.
    TakeResult(name, sync::ModResult{});
  }
}

void TProTarvoCompatibility::FlowEnded(int slot) {
  flows_[static_cast<std::size_t>(slot - 1)].reset();
}

void TProTarvoCompatibility::StopWorkers() {
  // Each worker is told to stop before any is waited for.
  for (auto& flow : flows_) {
    if (flow) flow->Stop();
  }
  for (auto& flow : flows_) flow.reset();
}

void TProTarvoCompatibility::CloseTick() {
  const int alpha = view_.Alpha();
  if (alpha == 0) {
    view_.EndApplication();
    return;
  }
  // Asked for once only: a new request restarts the engine's timer, and a timer that fires
  // after this one every time (as under Wine) would then never let the engine take a step.
  if (!collapse_requested_) {
    collapse_requested_ = true;
    view_.SetTimerEnabled(Timer::Timer5, false);
    StopAnimations();
    AnimateControl(&view_.Window(), ClosingCollapseTarget(view_.WindowBounds()));
  }
  view_.SetAlpha(alpha <= kFadeStep ? 0 : alpha - kFadeStep);
}

void TProTarvoCompatibility::sLabel1MouseDown() {
  if (IsAnimating()) return;
  view_.Focus(Control::Button1);
  view_.StartWindowDrag();
}

void TProTarvoCompatibility::sEdit1DblClick() {
  desktop_.CopyToClipboard(view_.Text(Control::sEdit1));
  view_.SetText(Control::sLabel1, kCopiedText);
  // The next re-validation rewrites the label: give the message a full period.
  view_.SetTimerEnabled(Timer::Timer5, false);
  view_.SetTimerEnabled(Timer::Timer5, true);
}

void TProTarvoCompatibility::sEdit1Enter() {
  view_.Focus(Control::Button1);
}

void TProTarvoCompatibility::WriteAndOpenInNotepad(const char* file_name,
                                                   const std::vector<std::string>& lines) {
  const std::string bytes =
      StatusFileBytes(lines, [this](std::string_view line) { return desktop_.ToAnsi(line); });
  {
    std::ofstream file(U8Path(file_name), std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    file.close();
    if (!file) throw std::runtime_error(std::string("Cannot create file \"") + file_name + "\"");
  }
  desktop_.RunCommandLine(std::string("notepad.exe \"") + file_name + "\"", kShowNormal);
}

void TProTarvoCompatibility::sMemo1DblClick() {
  WriteAndOpenInNotepad(kStatusFileName, console_.Lines());
}

void TProTarvoCompatibility::sTitleBar1Items0Click() {
  WriteAndOpenInNotepad(kChangeLogFileName, SplitConsoleText(view_.Text(Control::sMemo2)));
}

void TProTarvoCompatibility::sCheckBox1MouseUp() {
  view_.Focus(Control::Button1);
  Console(kHeading, view_.Checked(Control::sCheckBox1) ? kTurboOnText : kTurboOffText);
  folder_.SaveSettings();
}

void TProTarvoCompatibility::sCheckBox2MouseUp() {
  view_.Focus(Control::Button1);
  Console(kHeading, view_.Checked(Control::sCheckBox2) ? kSetupsOnText : kSetupsOffText);
  folder_.SaveSettings();
}

void TProTarvoCompatibility::sButtonOpenFolderClick() {
  if (DirectoryExists(state_.GameFolder)) desktop_.ExploreFolder(state_.GameFolder);
}

void TProTarvoCompatibility::sButtonExitClick() {
  view_.RequestClose();
}

void TProTarvoCompatibility::sGroupBox3MouseMove() {
  if (const auto target = WideningTarget(view_.WindowBounds(), LayoutOf(view_), view_.Screen())) {
    AnimateControl(&view_.Window(), *target);
  }
  view_.SetVisible(Control::sGroupBox1, true);
}

}  // namespace veltrane::ui
