#pragma once
// What every controller of the main window is built from: the window, the desktop services, the
// server, the state the window owns, its status console, the user-interface thread and the key
// the manifest is checked under. References only: the form owns the state and the console, and
// everything else outlives the form.
#include <string_view>

#include "app/shared_state.h"
#include "net/transport.h"
#include "ui/desktop.h"
#include "ui/main_view.h"
#include "ui/status_console.h"
#include "ui/ui_thread.h"

namespace veltrane::ui {

struct FormContext {
  MainView& view;
  Desktop& desktop;
  net::Transport& transport;
  app::SharedState& state;
  StatusConsole& console;
  // Where transfers wait beside the window (RunBeside) and workers post their results.
  UiThread& ui;
  // The manifest signer's public key (build::kPackKey unless a test says otherwise); empty: the
  // manifest is taken unsigned. Text with static storage.
  std::string_view pack_key;
};

}  // namespace veltrane::ui
