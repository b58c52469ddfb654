#pragma once
// The batch file that puts a newer release in place of the running program: the names it
// accepts and its lines. No platform headers here; win32/app/self_replace.h writes and starts it.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace veltrane::app {

// A version text safe to put into a file name or a batch file: not empty, at most
// kMaxVersionLength characters (a file name holds 255 at most), only digits, Latin letters,
// dots and hyphens.
inline constexpr std::size_t kMaxVersionLength = 64;
bool IsPlainVersion(std::string_view text);

// Whether `name` can stand in double quotes in a batch file as a bare file name: not empty, no
// quotes, %, &, |, <, >, ^, wildcards, :, path separators or control characters.
bool IsBatchSafeName(std::string_view name);

inline constexpr std::string_view kNoFile = "-1";
inline constexpr std::string_view kReplaceBatchName = "delete.bat";
// How often, one second apart, the batch file tries to move or delete the old program file.
inline constexpr int kReplaceBatchTries = 30;
// The old program's name while the new one takes its own name: the downloaded name and this.
inline constexpr std::string_view kAsideSuffix = ".old";

// Lines (without line ends) of the batch file that puts `downloaded` in place of the running
// program `own_name` under the name `target` and starts it; "-1" means none for either name.
// The new file takes the target name first and the old program is deleted only then (when the
// target is the running program's own name, the old one is moved aside first); if the new file
// cannot take that name, the download is removed and the old program started again. Killed
// between any two lines, the batch leaves a whole program under a program's name. Empty when a
// name is unsafe for a batch file.
std::vector<std::string> ReplaceBatchLines(std::string_view own_name, std::string_view target,
                                           std::string_view downloaded);

}  // namespace veltrane::app
