#include "test_server.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "base/u8path.h"

namespace veltrane::test {
namespace {

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::string(value) : std::string();
}

}  // namespace

std::string TestServerUrl() {
  return Environment("VELTRANE_TEST_SERVER");
}

std::string LinuxPathToWine(const std::string& linux_path) {
  std::string path = "Z:" + linux_path;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

std::string TestServerRoot() {
  const std::string root = Environment("VELTRANE_TEST_SERVER_ROOT");
#ifdef _WIN32
  if (!root.empty() && root.front() == '/') return LinuxPathToWine(root);
#endif
  return root;
}

std::string ServeFile(const std::string& name, const std::string& bytes) {
  const auto target = U8Path(TestServerRoot()) / U8Path(name);
  std::filesystem::create_directories(target.parent_path());
  std::ofstream out(target, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  return PathText(target);
}

}  // namespace veltrane::test
