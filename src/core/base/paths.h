#pragma once
// Paths are joined by plain concatenation with the platform's separator, so a folder that ends
// in a separator gives a doubled one, which both platforms accept.
#include <string>
#include <string_view>

namespace veltrane {

#if defined(_WIN32)
inline constexpr char kPathSep = '\\';
#else
inline constexpr char kPathSep = '/';
#endif

inline std::string JoinPath(std::string_view folder, std::string_view name) {
  std::string path(folder);
  path += kPathSep;
  path += name;
  return path;
}

// Existence tests that follow links; a folder is not a file and a file is not a folder.
bool FileExists(std::string_view path);
bool DirectoryExists(std::string_view path);
// Creates the folder with any missing parents; false when it does not exist afterwards.
bool ForceDirectories(std::string_view path);
// Deletes a file; true only when it was there and is gone now.
bool DeleteFileAt(std::string_view path);

}  // namespace veltrane
