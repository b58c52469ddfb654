#include "base/processes.h"

#include <windows.h>
#include <tlhelp32.h>

#include <stdexcept>

#include "base/process_names.h"
#include "base/scoped.h"
#include "base/system_error.h"
#include "base/wide.h"

namespace veltrane::win32 {

bool IsProcessRunning(std::string_view exe_name) {
  const ScopedHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPALL, 0));
  if (!snapshot) return false;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32FirstW(snapshot.get(), &entry); more;
       more = Process32NextW(snapshot.get(), &entry)) {
    if (ProcessNameMatches(Narrow(entry.szExeFile), exe_name)) return true;
  }
  return false;
}

void RunCommandLine(const std::string& command_line, int show) {
  if (command_line.empty()) throw std::invalid_argument("empty command line");
  // CreateProcessW may write into the command line.
  std::wstring buffer = Widen(command_line);
  buffer.push_back(L'\0');
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = static_cast<WORD>(show);
  PROCESS_INFORMATION process{};
  // A failure that sets no code of its own reports this one.
  SetLastError(ERROR_INVALID_PARAMETER);
  if (!CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE,
                      CREATE_DEFAULT_ERROR_MODE | CREATE_UNICODE_ENVIRONMENT, nullptr, nullptr,
                      &startup, &process)) {
    throw SystemError(GetLastError());
  }
  // Not waited for: both handles close here.
  const ScopedHandle child(process.hProcess);
  const ScopedHandle thread(process.hThread);
}

}  // namespace veltrane::win32
