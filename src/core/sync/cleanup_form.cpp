#include "sync/cleanup_form.h"

#include <utility>
#include <vector>

#include "app/settings.h"
#include "base/paths.h"
#include "sync/whitelist.h"
#include "ui/size_modes.h"
#include "ui/status_console.h"

namespace veltrane::sync {

TProTarvoCompatibility2::TProTarvoCompatibility2(CleanupView& view,
                                                 ui::TProTarvoCompatibility& main_form,
                                                 ui::MainView& main_view,
                                                 std::function<void()> scroll_console)
    : view_(view),
      main_form_(main_form),
      main_view_(main_view),
      scroll_console_(std::move(scroll_console)) {}

std::string TProTarvoCompatibility2::ReadWhitelist() const {
  const app::SharedState& state = main_form_.State();
  if (!state.SettingsIni) return {};
  return app::ReadText(*state.SettingsIni, app::kWhiteListKey);
}

void TProTarvoCompatibility2::Show() {
  FormShow();
  view_.ShowWindow(true);
}

void TProTarvoCompatibility2::FormShow() {
  view_.ListClear();
  const std::string whitelist = ReadWhitelist();
  for (const std::string& name : main_form_.State().RemovableFiles) {
    const int index = view_.ListAdd(name);
    if (!IsKept(whitelist, name)) view_.ListSetChecked(index, true);
  }
}

void TProTarvoCompatibility2::sButtonDelClick() {
  app::SharedState& state = main_form_.State();

  std::vector<CleanupChoice> choices;
  const int count = view_.ListCount();
  for (int i = 0; i < count; ++i) choices.push_back({view_.ListText(i), view_.ListChecked(i)});

  // The choice is saved before anything is deleted: if it cannot be, nothing happens at all.
  if (state.SettingsIni) {
    const std::string whitelist = UpdateWhitelistOnDelete(ReadWhitelist(), choices);
    app::WriteText(*state.SettingsIni, app::kWhiteListKey, whitelist);
  }

  main_form_.Console(ui::kHeading, false, kCleanupHeadLine);
  int deleted = 0;
  for (const CleanupChoice& choice : choices) {
    if (!choice.checked) continue;
    const std::string& name = choice.name;
    if (DeleteFileAt(JoinPath(state.VersionModsFolder, name))) {
      ++deleted;
      main_form_.Console(false, std::string(kDeletedPrefix) + name);
    } else {
      main_form_.Console(false, std::string(kDeleteFailedPrefix) + name);
    }
  }
  if (deleted > 0) main_form_.Console(false, kCleanupDoneLine);
  main_form_.Console(false, std::string(kDeletedCountPrefix) + std::to_string(deleted));

  HandBack();
}

void TProTarvoCompatibility2::HandBack() {
  const ui::Rect dialog = view_.WindowBounds();
  ui::Animatable& window = main_view_.Window();
  window.SetLeft(dialog.left);
  window.SetTop(dialog.top);
  window.SetWidth(dialog.width);
  window.SetHeight(dialog.height);
  main_form_.State().MainWindowTag = 1;
  main_view_.SetWindowEnabled(true);
  main_view_.ShowWindow(true);
  view_.ShowWindow(false);

  ui::AnimateControl(&window,
                     ui::CleanupHandBackTarget(ui::LayoutOf(main_view_), main_view_.Screen()));
  if (scroll_console_) scroll_console_();
}

void TProTarvoCompatibility2::sGroupBox1MouseDown() {
  // A drag would fight the opening animation for the window's position.
  if (ui::IsAnimating()) return;
  view_.StartWindowDrag();
}

void OpenCleanupDialog(TProTarvoCompatibility2& dialog) {
  ui::MainView& main_view = dialog.MainWindowView();
  const ui::Rect main = main_view.WindowBounds();
  ui::Animatable& window = dialog.View().Window();
  window.SetLeft(main.left);
  window.SetTop(main.top);
  window.SetWidth(main.width);
  window.SetHeight(main.height);
  main_view.ShowWindow(false);
  dialog.Show();
  ui::AnimateControl(&window, ui::DialogHandOverTarget(main_view.Screen()));
}

}  // namespace veltrane::sync
