#pragma once
// Free-standing routines shared by the whole program: size texts, file sizes and moves, random
// digits, name rules and the text of the self-replacement batch file. No platform headers here;
// the Win32 side (win32/Addons/Custom/AllInOne.h) adds what needs the system.
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace veltrane::custom {

// A file that exists but cannot be opened or read to its end.
class FileReadError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// "1,062 Кб" style text for a byte count; `decimal_separator` is the user's (UTF-8).
// 1024^9 bytes and more, and non-finite counts, give an empty text.
std::string SizeToText(double bytes, std::string_view decimal_separator);

// The byte count found by reading the file through, in bounded chunks. 0 when nothing or a
// folder is at the path. Throws FileReadError when the file cannot be opened or read.
std::int64_t FileSizeOf(const std::string& utf8_path);

// Moves a file. An existing target is kept (result false) when `keep_existing` is set, else
// deleted first; the move itself never overwrites. Works across volumes. Never throws.
bool MoveFileTo(const std::string& utf8_source, const std::string& utf8_target,
                bool keep_existing) noexcept;

// `count` decimal digits drawn from a generator seeded from the clock on every call.
std::string RandomDigits(std::uint8_t count);

// Case folding of the Latin letters A to Z only; every other byte stays as it is.
char AsciiUpper(char c);
char AsciiLower(char c);
std::string AsciiUpper(std::string_view text);
std::string AsciiLower(std::string_view text);

// Whether a process whose executable is `exe_path` (folder optional) counts as `wanted`: its
// file name cut to the length of `wanted`, compared with A to Z folded. Empty `wanted` matches.
bool ProcessNameMatches(std::string_view exe_path, std::string_view wanted);

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
// The old program's name while the new one takes its place: the downloaded name and this.
inline constexpr std::string_view kAsideSuffix = ".old";

// Lines (without line ends) of the batch file that puts `downloaded` in place of the running
// program `own_name` under the name `target` and starts it; "-1" means none for either name.
// The old program is moved aside first and deleted only once the new file holds the target
// name; if it cannot take that name, the old program is put back and started, and the
// download removed. Empty when a name is unsafe for a batch file.
std::vector<std::string> ReplaceBatchLines(std::string_view own_name, std::string_view target,
                                           std::string_view downloaded);

}  // namespace veltrane::custom
