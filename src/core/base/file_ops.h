#pragma once
// Reading a whole file, file sizes and moves, as the check, the download runs and the manifest's
// readers need them.
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

namespace veltrane {

// A file that exists but cannot be opened or read to its end.
class FileReadError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The file's bytes; nullopt when it cannot be opened or read to its end.
std::optional<std::string> ReadWholeFile(const std::string& utf8_path);

// The byte count found by reading the file through, in bounded chunks. 0 when nothing or a
// folder is at the path. Throws FileReadError when the file cannot be opened or read.
std::int64_t FileSizeOf(const std::string& utf8_path);

// Moves a file. An existing target is kept (result false) when `keep_existing` is set, else
// deleted first; the move itself never overwrites. Works across volumes. Never throws.
bool MoveFileTo(const std::string& utf8_source, const std::string& utf8_target,
                bool keep_existing) noexcept;

}  // namespace veltrane
