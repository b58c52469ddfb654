#include "temp_dir.h"

#include <atomic>
#include <chrono>
#include <fstream>
#include <iterator>
#include <system_error>

#include "base/u8path.h"

namespace veltrane::test {

TempDir::TempDir() {
  static std::atomic<unsigned> counter{0};
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  path_ = std::filesystem::temp_directory_path() /
          ("veltrane-test-" + std::to_string(stamp) + "-" + std::to_string(counter++));
  std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::Sub(const std::string& name) const {
  return PathText(path_ / U8Path(name));
}

std::string TempDir::Write(const std::string& name, const std::string& bytes) const {
  const auto target = path_ / U8Path(name);
  std::filesystem::create_directories(target.parent_path());
  std::ofstream out(target, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return PathText(target);
}

std::string ReadFileBytes(const std::string& utf8_path) {
  std::ifstream in(U8Path(utf8_path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace veltrane::test
