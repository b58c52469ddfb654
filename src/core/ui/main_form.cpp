#include "ui/main_form.h"

#include <fstream>
#include <stdexcept>

#include "base/paths.h"
#include "base/u8path.h"
#include "ui/texts.h"

namespace veltrane::ui {

TProTarvoCompatibility::TProTarvoCompatibility(MainView& view, Desktop& desktop, UiThread& ui,
                                               const ConsoleClock& clock, net::Transport& transport,
                                               app::IniOpener open_ini)
    : view_(view),
      desktop_(desktop),
      open_ini_(std::move(open_ini)),
      console_(ui, clock),
      context_{view, desktop, transport, state_, console_},
      folder_(context_),
      check_(context_, open_ini_),
      extras_(context_),
      runs_(context_, ui, clock,
            sync::RunHooks{[this] { return check_.conecteon(); },
                           [this] { extras_.StartSetupsPlus(); },
                           [this] { return OpenCleanup(); }}) {}

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
  // Once a close was asked for the timer fades the window out; until then it drives the runs.
  if (state_.Timer6Tag == 1) {
    CloseTick();
    return;
  }
  runs_.Timer6Timer();
}

bool TProTarvoCompatibility::OpenCleanup() {
  if (!open_cleanup_) return false;
  open_cleanup_();
  return true;
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
