#pragma once
// A fresh folder for one test, removed with everything in it when the test ends.
#include <filesystem>
#include <string>

namespace veltrane::test {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // UTF-8 text of path() / name, in the platform's own syntax.
  std::string Sub(const std::string& name) const;
  // Writes `bytes` to path() / name, creating folders on the way; returns the UTF-8 path.
  std::string Write(const std::string& name, const std::string& bytes) const;

 private:
  std::filesystem::path path_;
};

// Reads a whole file as bytes; empty when it cannot be read.
std::string ReadFileBytes(const std::string& utf8_path);

}  // namespace veltrane::test
