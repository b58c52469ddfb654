#include "sync/hash_cache.h"

#include <charconv>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <utility>
#include <vector>

#include "base/u8path.h"
#include "net/crypto.h"

namespace veltrane::sync {
namespace {

namespace fs = std::filesystem;

// A file changed again within the file system's time resolution (two seconds on FAT) would keep
// its recorded time; so a file this young is hashed but not recorded until it has aged.
constexpr auto kSettled = std::chrono::seconds(3);

struct Stamp {
  std::uintmax_t size = 0;
  fs::file_time_type time;
  bool operator==(const Stamp&) const = default;
};

std::optional<Stamp> StampOf(const fs::path& path) {
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) return std::nullopt;
  Stamp stamp;
  stamp.size = fs::file_size(path, ec);
  if (ec) return std::nullopt;
  stamp.time = fs::last_write_time(path, ec);
  if (ec) return std::nullopt;
  return stamp;
}

std::int64_t Ticks(fs::file_time_type time) {
  return static_cast<std::int64_t>(time.time_since_epoch().count());
}

template <typename Number>
bool ParseNumber(std::string_view text, Number& value) {
  const char* end = text.data() + text.size();
  const auto [at, error] = std::from_chars(text.data(), end, value);
  return error == std::errc() && at == end && !text.empty();
}

bool IsLowerHex(std::string_view text) {
  for (const char c : text) {
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  return true;
}

bool Storable(std::string_view path) {
  return path.find_first_of("\t\r\n") == std::string_view::npos;
}

}  // namespace

HashCache::HashCache(std::string cache_file) : file_(std::move(cache_file)) {
  std::ifstream in(U8Path(file_), std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    std::string_view rest(line);
    std::string_view fields[3];
    bool whole = true;
    for (auto& field : fields) {
      const auto tab = rest.find('\t');
      if (tab == std::string_view::npos) {
        whole = false;
        break;
      }
      field = rest.substr(0, tab);
      rest.remove_prefix(tab + 1);
    }
    Entry entry;
    if (!whole || rest.empty() || !Storable(rest) || fields[0].size() != 64 ||
        !IsLowerHex(fields[0]) || !ParseNumber(fields[1], entry.size) ||
        !ParseNumber(fields[2], entry.time))
      continue;
    entry.sha256 = fields[0];
    entries_.insert_or_assign(std::string(rest), std::move(entry));
  }
}

std::optional<std::string> HashCache::HashOf(const std::string& folder, const std::string& name) {
  const fs::path path = U8Path(folder) / U8Path(name);
  const std::string key = PathText(path);
  const auto before = StampOf(path);
  if (!before) {
    entries_.erase(key);
    return std::nullopt;
  }
  const auto found = entries_.find(key);
  if (found != entries_.end() && found->second.size == before->size &&
      found->second.time == Ticks(before->time)) {
    return found->second.sha256;
  }
  const auto sha256 = net::Sha256OfFile(key);
  // Recorded only when the file held still while it was read and has had time to settle.
  const bool settled = before->time < fs::file_time_type::clock::now() - kSettled;
  if (sha256 && settled && StampOf(path) == before && Storable(key)) {
    entries_.insert_or_assign(key, Entry{*sha256, before->size, Ticks(before->time)});
  } else {
    entries_.erase(key);
  }
  return sha256;
}

bool HashCache::Save() {
  std::string text;
  for (const auto& [path, entry] : entries_) {
    std::error_code ec;
    if (!fs::exists(U8Path(path), ec) || ec) continue;
    text += entry.sha256 + '\t' + std::to_string(entry.size) + '\t' + std::to_string(entry.time) +
            '\t' + path + '\n';
  }
  const fs::path target = U8Path(file_);
  const fs::path temporary = U8Path(file_ + ".new");
  std::error_code ec;
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    if (!out) {
      fs::remove(temporary, ec);
      return false;
    }
  }
  fs::rename(temporary, target, ec);
  if (ec) {
    fs::remove(temporary, ec);
    return false;
  }
  return true;
}

}  // namespace veltrane::sync
