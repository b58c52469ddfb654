#include "base/paths.h"

#include <filesystem>
#include <system_error>

#include "base/u8path.h"

namespace veltrane {

bool FileExists(std::string_view path) {
  std::error_code error;
  return !path.empty() && std::filesystem::is_regular_file(U8Path(path), error);
}

bool DirectoryExists(std::string_view path) {
  std::error_code error;
  return !path.empty() && std::filesystem::is_directory(U8Path(path), error);
}

bool ForceDirectories(std::string_view path) {
  if (path.empty()) return false;
  std::error_code error;
  std::filesystem::create_directories(U8Path(path), error);
  return DirectoryExists(path);
}

bool DeleteFileAt(std::string_view path) {
  if (!FileExists(path)) return false;
  std::error_code error;
  std::filesystem::remove(U8Path(path), error);
  // Only a file that is gone counts: under Wine a read-only mount can report success while the
  // file stays.
  return !std::filesystem::exists(U8Path(path), error) && !error;
}

}  // namespace veltrane
