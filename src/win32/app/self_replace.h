#pragma once
// Putting a newer release in place of the running program: the batch file's bytes, written
// beside the program and started. Its lines come from core/app/replace_batch.h.
#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

namespace veltrane::win32 {

// The bytes of "delete.bat" (ANSI code page, CR LF), or nothing when a name is unsafe in a
// batch file or cannot be written in the ANSI code page.
std::optional<std::string> ReplaceBatchText(std::string_view own_name, std::string_view target,
                                            std::string_view downloaded);
// Writes "delete.bat" into `folder` and returns its path. Throws std::runtime_error when there
// is no text for these names (see ReplaceBatchText) or the file cannot be written.
std::string WriteReplaceBatch(const std::string& folder, std::string_view own_name,
                              std::string_view target, std::string_view downloaded);
// Starts the batch file hidden, in `folder`. Returns its process handle for the caller to
// close, or nullptr when it could not be started.
HANDLE StartReplaceBatch(const std::string& batch_path, const std::string& folder);
// Writes and starts the batch file beside the running program, then ends the process. Returns
// false, with no batch file left behind, when it could not be written or started.
bool ReplaceSelfAndExit(std::string_view target, std::string_view downloaded);

}  // namespace veltrane::win32
