#pragma once
// The program's one error boundary. The program's entry, every worker thread's entry, the window
// procedures and the creation of the windows run their work through RunGuarded: an exception
// that would leave them goes to the one process-wide reporter instead of std::terminate. The
// Win32 shell installs a reporter that shows the standard error box on the UI thread.
#include <functional>
#include <string>
#include <utility>

namespace veltrane {

// Called with the error's text, on the thread where the error was caught, so it must be safe
// to call from any thread.
using ErrorReporter = std::function<void(const std::string& message)>;

// Installs the reporter; an empty one restores the default, which writes to stderr.
void SetErrorReporter(ErrorReporter reporter);

// Hands the exception being handled (call it inside a catch block) to the reporter. Never
// throws, whatever the exception or the reporter does.
void ReportCurrentError() noexcept;

// Runs `work`; false when it raised, which has then been reported.
template <typename Work>
bool RunGuarded(Work&& work) noexcept {
  try {
    std::forward<Work>(work)();
    return true;
  } catch (...) {
    ReportCurrentError();
  }
  return false;
}

}  // namespace veltrane
