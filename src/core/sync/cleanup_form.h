#pragma once
// The cleanup dialog's logic: it lists the files the server no longer wants, deletes the ones
// left checked, remembers the unchecked ones in the whitelist and hands the screen back to the
// main window. The window itself is behind CleanupView.
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/ini_store.h"
#include "sync/mod_fetch.h"
#include "ui/animation_engine.h"
#include "ui/geometry.h"
#include "ui/main_window_seat.h"
#include "ui/status_console.h"

namespace veltrane::sync {

inline constexpr char kCleanupHeadLine[] = "======Удаление лишних модов=====";
inline constexpr char kCleanupDoneLine[] = "=======Завершение удаления======";
inline constexpr char kDeletedPrefix[] = "Удален мод: ";
inline constexpr char kDeletedCountPrefix[] = "Кол-во удаленных файлов: ";

// The dialog window as its logic sees it.
class CleanupView {
 public:
  virtual ~CleanupView() = default;

  // sCheckListBoxDel: one item per removable file, in list order.
  virtual void ListClear() = 0;
  // Adds an unchecked item; returns its index.
  virtual int ListAdd(std::string_view text) = 0;
  virtual int ListCount() const = 0;
  virtual std::string ListText(int index) const = 0;
  virtual bool ListChecked(int index) const = 0;
  virtual void ListSetChecked(int index, bool checked) = 0;

  // The dialog window; its rectangle is the outer one, in screen coordinates.
  virtual ui::Animatable& Window() = 0;
  virtual ui::Rect WindowBounds() const = 0;
  virtual void ShowWindow(bool visible) = 0;
  virtual bool WindowVisible() const = 0;
  // Releases the mouse and starts the system's move of the dialog by its caption.
  virtual void StartWindowDrag() = 0;
};

// What the dialog works on, all of it the main window's and read each time it is used.
struct CleanupSources {
  // The files the last check found removable, in the version mods folder.
  const std::vector<std::string>& removable_files;
  // The settings file, which keeps the whitelist; none: nothing is remembered.
  const std::unique_ptr<app::IniStore>& whitelist_store;
  const std::string& version_mods_folder;
  ui::StatusConsole& console;
};

class TProTarvoCompatibility2 {
 public:
  // Everything passed in must outlive the dialog. `scroll_console` brings the main window's
  // console to its last line once the window is back (may be empty).
  TProTarvoCompatibility2(CleanupView& view, ui::MainWindowSeat& seat, CleanupSources sources,
                          std::function<void()> scroll_console = {});

  CleanupView& View() { return view_; }
  ui::MainWindowSeat& Seat() { return seat_; }

  // Fills the list and shows the dialog.
  void Show();

  void FormShow();
  // Throws app::IniWriteError when the whitelist cannot be saved; nothing has happened then.
  void sButtonDelClick();
  void sGroupBox1MouseDown();

 private:
  std::string ReadWhitelist() const;
  void HandBack();

  CleanupView& view_;
  ui::MainWindowSeat& seat_;
  const CleanupSources sources_;
  std::function<void()> scroll_console_;
};

// The dialog takes the main window's place and grows or shrinks to its own size, centred.
void OpenCleanupDialog(TProTarvoCompatibility2& dialog);

}  // namespace veltrane::sync
