#include "base/file_ops.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>
#include <vector>

#include "base/u8path.h"

namespace veltrane {
namespace {

namespace fs = std::filesystem;

}  // namespace

std::optional<std::string> ReadWholeFile(const std::string& utf8_path) {
  std::ifstream in(U8Path(utf8_path), std::ios::binary);
  if (!in) return std::nullopt;
  std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (in.bad()) return std::nullopt;
  return bytes;
}

std::int64_t FileSizeOf(const std::string& utf8_path) {
  const fs::path path = U8Path(utf8_path);
  std::error_code ec;
  const fs::file_status status = fs::status(path, ec);
  if (ec || !fs::exists(status) || fs::is_directory(status)) return 0;

  std::ifstream in(path, std::ios::binary);
  if (!in) throw FileReadError("cannot open " + utf8_path);
  // Read through in chunks: the size is what can be read, and a file of any size costs
  // one buffer.
  std::vector<char> chunk(256 * 1024);
  std::int64_t total = 0;
  while (in) {
    in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
    total += in.gcount();
  }
  if (in.bad() || !in.eof()) throw FileReadError("cannot read " + utf8_path);
  return total;
}

bool MoveFileTo(const std::string& utf8_source, const std::string& utf8_target,
                bool keep_existing) noexcept {
  try {
    const fs::path source = U8Path(utf8_source);
    const fs::path target = U8Path(utf8_target);
    std::error_code ec;
    if (fs::exists(target, ec)) {
      if (keep_existing) return false;
      fs::remove(target, ec);  // the outcome shows in the next test
    }
    // A plain move never replaces: std::filesystem::rename would.
    if (fs::exists(fs::symlink_status(target, ec))) return false;
    if (!fs::exists(fs::symlink_status(source, ec))) return false;
    fs::rename(source, target, ec);
    if (!ec) return true;
    if (ec != std::errc::cross_device_link) return false;
    // Another volume: copy, then remove the original; undo the copy if that fails, so a
    // failure leaves things as they were.
    if (!fs::copy_file(source, target, fs::copy_options::none, ec) || ec) {
      fs::remove(target, ec);
      return false;
    }
    if (!fs::remove(source, ec) || ec) {
      fs::remove(target, ec);
      return false;
    }
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace veltrane
