#pragma once
// Work that must not hold the window (a transfer above all) runs on a thread of its own while
// the user-interface thread goes on answering: the window repaints, its timers run, a close is
// seen. The work is cancelled when the program is asked to end meanwhile.
#include <functional>

#include "net/cancel.h"
#include "ui/ui_thread.h"

namespace veltrane::ui {

// On the user-interface thread: runs `work` on a new thread, handing it the cancel it must
// honour, and waits for it through ui.RunUntil. True when it ended by itself; false when the
// program was asked to end first, after triggering the cancel and waiting for the work to end.
// An exception the work raised is raised here, once its thread has ended.
[[nodiscard]] bool RunBeside(UiThread& ui, const std::function<void(const net::Cancel&)>& work);

}  // namespace veltrane::ui
