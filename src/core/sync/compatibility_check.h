#pragma once
// The compatibility check: a fresh manifest, the mods brought into the version folder, and the
// two lists the download run and the cleanup work from.
#include <string>

#include "base/ini_store.h"
#include "ui/form_context.h"

namespace veltrane::sync {

class CompatibilityCheck {
 public:
  // Everything the context refers to must outlive the check. `open_ini` opens the manifest
  // again when the state holds none.
  CompatibilityCheck(const ui::FormContext& context, app::IniOpener open_ini);
  CompatibilityCheck(const CompatibilityCheck&) = delete;
  CompatibilityCheck& operator=(const CompatibilityCheck&) = delete;

  // The connectivity guard of the check and the download run: false (and two lines) offline.
  bool conecteon();
  // "Проверить совместимость": fetches the manifest (in a build with a key, only a signed one
  // is taken) beside the window, brings the mods into the version folder, removes what broken
  // transfers left that no run would continue, and rebuilds both lists.
  void sButtonCheckClick();

 private:
  // The walk over the manifest once the window is disabled; false when it stopped.
  bool CheckModsAgainstManifest();
  // The manifest's store, opened when the state holds none.
  const app::IniStore& Manifest();

  ui::MainView& view_;
  ui::Desktop& desktop_;
  net::Transport& transport_;
  app::SharedState& state_;
  ui::StatusConsole& console_;
  ui::UiThread& ui_;
  const std::string pack_key_;
  app::IniOpener open_ini_;
};

}  // namespace veltrane::sync
