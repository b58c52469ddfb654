#include "ui/window_commands.h"

#include <fstream>
#include <stdexcept>
#include <utility>

#include "base/paths.h"
#include "base/u8path.h"
#include "ui/size_modes.h"
#include "ui/texts.h"

namespace veltrane::ui {

WindowCommands::WindowCommands(const FormContext& context, std::function<void()> save_settings)
    : view_(context.view),
      desktop_(context.desktop),
      state_(context.state),
      console_(context.console),
      save_settings_(std::move(save_settings)) {}

void WindowCommands::sLabel1MouseDown() {
  if (IsAnimating()) return;
  view_.Focus(Control::Button1);
  view_.StartWindowDrag();
}

void WindowCommands::sEdit1DblClick() {
  desktop_.CopyToClipboard(view_.Text(Control::sEdit1));
  view_.SetText(Control::sLabel1, kCopiedText);
  // The next re-validation rewrites the label: give the message a full period.
  view_.SetTimerEnabled(Timer::Timer5, false);
  view_.SetTimerEnabled(Timer::Timer5, true);
}

void WindowCommands::sEdit1Enter() {
  view_.Focus(Control::Button1);
}

void WindowCommands::WriteAndOpenInNotepad(const char* file_name,
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

void WindowCommands::sMemo1DblClick() {
  WriteAndOpenInNotepad(kStatusFileName, console_.Lines());
}

void WindowCommands::sTitleBar1Items0Click() {
  WriteAndOpenInNotepad(kChangeLogFileName, SplitConsoleText(view_.Text(Control::sMemo2)));
}

void WindowCommands::sCheckBox1MouseUp() {
  view_.Focus(Control::Button1);
  console_.Console(kHeading, view_.Checked(Control::sCheckBox1) ? kTurboOnText : kTurboOffText);
  save_settings_();
}

void WindowCommands::sCheckBox2MouseUp() {
  view_.Focus(Control::Button1);
  console_.Console(kHeading, view_.Checked(Control::sCheckBox2) ? kSetupsOnText : kSetupsOffText);
  save_settings_();
}

void WindowCommands::sButtonOpenFolderClick() {
  if (DirectoryExists(state_.GameFolder)) desktop_.ExploreFolder(state_.GameFolder);
}

void WindowCommands::sButtonExitClick() {
  view_.RequestClose();
}

void WindowCommands::sGroupBox3MouseMove() {
  if (const auto target = WideningTarget(view_.WindowBounds(), LayoutOf(view_), view_.Screen())) {
    AnimateControl(&view_.Window(), *target);
  }
  view_.SetVisible(Control::sGroupBox1, true);
}

}  // namespace veltrane::ui
