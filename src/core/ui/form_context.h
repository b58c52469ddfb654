#pragma once
// What every controller of the main window is built from: the window, the desktop services, the
// server, the state the window owns and its status console. References only: the form owns the
// state and the console, and everything else outlives the form.
#include "app/shared_state.h"
#include "net/transport.h"
#include "ui/desktop.h"
#include "ui/main_view.h"
#include "ui/status_console.h"

namespace veltrane::ui {

struct FormContext {
  MainView& view;
  Desktop& desktop;
  net::Transport& transport;
  app::SharedState& state;
  StatusConsole& console;
};

}  // namespace veltrane::ui
