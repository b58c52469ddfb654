#pragma once
// The SHA-256 of local files, kept between checks in a small file in the data folder, so that a
// repeated check reads only the files that changed since. A file counts as unchanged while its
// size and modification time are those recorded with its hash (what rsync and git trust too).
//
// Format: UTF-8 text, one file a line, four fields separated by tabs:
//   <sha256: 64 lower-case hex> <size in bytes> <modification time: file clock ticks> <path>
// The path is the file's full path, so one cache serves every folder and a file is never taken
// for another folder's file of the same name; a path holds no tab or line break on Windows (one
// that does is hashed but never recorded). A line that does not have this form is ignored.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace veltrane::sync {

// The cache's file in the data folder.
inline constexpr std::string_view kHashCacheFileName = "Hashes.txt";

class HashCache {
 public:
  // Reads `cache_file`. A missing or unreadable file is an empty cache.
  explicit HashCache(std::string cache_file);

  // SHA-256 of the file `name` in `folder`, as 64 lower-case hex characters: the recorded one
  // when the file's size and modification time are unchanged, else read through the whole
  // file and recorded. Nullopt when the file cannot be read (absent, a folder, a read error).
  std::optional<std::string> HashOf(const std::string& folder, const std::string& name);

  // Writes the cache without the entries of files that no longer exist: a temporary file
  // beside it first, then renamed over it, so a crash leaves the old cache or the new one.
  // False when it cannot be written; the old file is then left as it was.
  bool Save();

 private:
  struct Entry {
    std::string sha256;
    std::uintmax_t size = 0;
    std::int64_t time = 0;
  };

  std::string file_;
  std::map<std::string, Entry> entries_;  // by full path
};

}  // namespace veltrane::sync
