#include "sync/cleanup_form.h"

#include <utility>
#include <vector>

#include "app/settings.h"
#include "base/paths.h"
#include "sync/whitelist.h"
#include "ui/size_modes.h"

namespace veltrane::sync {

TProTarvoCompatibility2::TProTarvoCompatibility2(CleanupView& view, ui::MainWindowSeat& seat,
                                                 CleanupSources sources,
                                                 std::function<void()> scroll_console)
    : view_(view), seat_(seat), sources_(sources), scroll_console_(std::move(scroll_console)) {}

std::string TProTarvoCompatibility2::ReadWhitelist() const {
  if (!sources_.whitelist_store) return {};
  return app::ReadText(*sources_.whitelist_store, app::kWhiteListKey);
}

void TProTarvoCompatibility2::Show() {
  FormShow();
  view_.ShowWindow(true);
}

void TProTarvoCompatibility2::FormShow() {
  view_.ListClear();
  const std::string whitelist = ReadWhitelist();
  for (const std::string& name : sources_.removable_files) {
    const int index = view_.ListAdd(name);
    if (!IsKept(whitelist, name)) view_.ListSetChecked(index, true);
  }
}

void TProTarvoCompatibility2::sButtonDelClick() {
  std::vector<CleanupChoice> choices;
  const int count = view_.ListCount();
  for (int i = 0; i < count; ++i) choices.push_back({view_.ListText(i), view_.ListChecked(i)});

  // The choice is saved before anything is deleted: if it cannot be, nothing happens at all.
  if (sources_.whitelist_store) {
    const std::string whitelist = UpdateWhitelistOnDelete(ReadWhitelist(), choices);
    app::WriteText(*sources_.whitelist_store, app::kWhiteListKey, whitelist);
  }

  ui::StatusConsole& console = sources_.console;
  console.Console(ui::kHeading, false, kCleanupHeadLine);
  int deleted = 0;
  for (const CleanupChoice& choice : choices) {
    if (!choice.checked) continue;
    const std::string& name = choice.name;
    if (DeleteFileAt(JoinPath(sources_.version_mods_folder, name))) {
      ++deleted;
      console.Console(false, std::string(kDeletedPrefix) + name);
    } else {
      console.Console(false, std::string(kDeleteFailedPrefix) + name);
    }
  }
  if (deleted > 0) console.Console(false, kCleanupDoneLine);
  console.Console(false, std::string(kDeletedCountPrefix) + std::to_string(deleted));

  HandBack();
}

void TProTarvoCompatibility2::HandBack() {
  seat_.TakeBack(view_.WindowBounds());
  view_.ShowWindow(false);
  if (scroll_console_) scroll_console_();
}

void TProTarvoCompatibility2::sGroupBox1MouseDown() {
  // A drag would fight the opening animation for the window's position.
  if (ui::IsAnimating()) return;
  view_.StartWindowDrag();
}

void OpenCleanupDialog(TProTarvoCompatibility2& dialog) {
  ui::MainWindowSeat& seat = dialog.Seat();
  const ui::Rect main = seat.Bounds();
  ui::Animatable& window = dialog.View().Window();
  window.SetLeft(main.left);
  window.SetTop(main.top);
  window.SetWidth(main.width);
  window.SetHeight(main.height);
  seat.Hide();
  dialog.Show();
  ui::AnimateControl(&window, ui::DialogHandOverTarget(seat.Screen()));
}

}  // namespace veltrane::sync
