#include "net/manifest.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <map>
#include <optional>
#include <string>
#include <utility>

#include "base/ascii.h"
#include "base/number_text.h"
#include "net/crypto.h"
#include "net/server_paths.h"

namespace veltrane::net {
namespace {

bool IsDeviceName(std::string_view name) {
  // Windows treats these as devices whatever extension follows, and ignores trailing blanks.
  std::string_view stem = name.substr(0, name.find('.'));
  while (!stem.empty() && stem.back() == ' ') stem.remove_suffix(1);
  static constexpr std::array<std::string_view, 4> kPlain = {"CON", "PRN", "AUX", "NUL"};
  for (const auto device : kPlain) {
    if (AsciiEqualNoCase(stem, device)) return true;
  }
  if (stem.size() == 4 && stem[3] >= '1' && stem[3] <= '9') {
    const std::string_view head = stem.substr(0, 3);
    return AsciiEqualNoCase(head, "COM") || AsciiEqualNoCase(head, "LPT");
  }
  return false;
}

// Which value of an entry a key holds.
enum class Field { kName, kSize, kSha256 };

// A key "mod"+i, "mod"+i+"size" or "mod"+i+"sha256" as the reader would write it (no sign, no
// leading zero).
struct EntryKeyParts {
  std::int64_t index = 0;
  Field field = Field::kName;
};

bool CutSuffix(std::string_view& key, std::string_view suffix) {
  if (key.size() <= suffix.size() ||
      !AsciiEqualNoCase(key.substr(key.size() - suffix.size()), suffix))
    return false;
  key.remove_suffix(suffix.size());
  return true;
}

std::optional<EntryKeyParts> ParseEntryKey(std::string_view key) {
  if (key.size() <= kEntryStem.size() ||
      !AsciiEqualNoCase(key.substr(0, kEntryStem.size()), kEntryStem))
    return std::nullopt;
  key.remove_prefix(kEntryStem.size());
  EntryKeyParts parts;
  if (CutSuffix(key, kSizeSuffix)) {
    parts.field = Field::kSize;
  } else if (CutSuffix(key, kSha256Suffix)) {
    parts.field = Field::kSha256;
  }
  if (key.empty() || key.front() == '0' || key.size() > 10) return std::nullopt;
  for (const char c : key) {
    if (c < '0' || c > '9') return std::nullopt;
    parts.index = parts.index * 10 + (c - '0');
  }
  return parts;
}

// One value of an entry, with where it stood in the file.
struct EntryValue {
  std::int32_t index = 0;
  Field field = Field::kName;
  std::string text;
};

ManifestList ReadList(const app::IniStore& manifest, std::string_view name, bool mod_list) {
  ManifestList list;
  std::vector<EntryValue> values;
  bool count_seen = false;
  // The first of a repeated name counts, as a read of that one key would have it.
  for (auto& [key, value] : manifest.ReadSection(name)) {
    if (!count_seen && AsciiEqualNoCase(key, kCountKey)) {
      count_seen = true;
      list.count = std::max<std::int32_t>(ParseInt32(value).value_or(0), 0);
    } else if (const auto parts = ParseEntryKey(key)) {
      if (parts->index <= std::numeric_limits<std::int32_t>::max())
        values.push_back({static_cast<std::int32_t>(parts->index), parts->field, std::move(value)});
    }
  }
  std::erase_if(values, [&](const EntryValue& v) { return v.index > list.count; });
  std::stable_sort(values.begin(), values.end(),
                   [](const EntryValue& a, const EntryValue& b) { return a.index < b.index; });

  // The entries that have keys, in index order.
  std::vector<ManifestEntry> keyed;
  for (std::size_t i = 0; i < values.size();) {
    ManifestEntry entry;
    entry.index = values[i].index;
    bool named = false;
    bool sized = false;
    bool hashed = false;
    for (; i < values.size() && values[i].index == entry.index; ++i) {
      EntryValue& value = values[i];
      if (value.field == Field::kName && !named) {
        named = true;
        entry.name = std::move(value.text);
      } else if (value.field == Field::kSize && !sized) {
        sized = true;
        if (mod_list) entry.size = ParseInt32(value.text).value_or(0);
      } else if (value.field == Field::kSha256 && !hashed) {
        hashed = true;
        if (mod_list) entry.sha256 = PublishedSha256(std::move(value.text));
      }
    }
    keyed.push_back(std::move(entry));
  }

  const std::int64_t gaps = static_cast<std::int64_t>(list.count) - std::ssize(keyed);
  list.bounded = gaps > kGapBudget;
  if (list.bounded) {
    list.entries = std::move(keyed);
  } else {
    list.entries.resize(static_cast<std::size_t>(list.count));
    for (std::size_t i = 0; i < list.entries.size(); ++i) {
      list.entries[i].index = static_cast<std::int32_t>(i + 1);
    }
    for (ManifestEntry& entry : keyed) {
      const auto at = static_cast<std::size_t>(entry.index - 1);
      list.entries[at] = std::move(entry);
    }
  }
  for (ManifestEntry& entry : list.entries) entry.plain = IsPlainFileName(entry.name);
  return list;
}

}  // namespace

bool IsPlainFileName(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F || c == '\\' || c == '/' || c == ':') return false;
  }
  return !IsDeviceName(name);
}

std::optional<std::string> PublishedSha256(std::string value) {
  if (value.empty()) return std::nullopt;
  if (const auto digest = ParseHexArray<32>(value)) return ToHex(*digest);
  return value;
}

ExpectedBody PublishedBody(std::optional<std::string> sha256, std::int64_t size) {
  const bool bounded = sha256 && size > 0;
  return {std::move(sha256), bounded ? size : -1};
}

std::optional<std::string> MirrorBase(std::string_view value) {
  std::string base(value);
  const auto scheme_end = base.find("://");
  if (scheme_end == std::string::npos) return std::nullopt;
  const std::string scheme = base.substr(0, scheme_end);
  if (!AsciiEqualNoCase(scheme, "http") && !AsciiEqualNoCase(scheme, "https")) return std::nullopt;
  for (const char c : base) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte == 0x7F || c == '?' || c == '#') return std::nullopt;
  }
  if (!base.empty() && base.back() == '/') base.pop_back();
  if (base.size() <= scheme_end + 3) return std::nullopt;  // no host
  return base;
}

std::vector<std::string> FileUrls(std::string_view base, const std::vector<std::string>& mirrors,
                                  std::string_view path) {
  std::vector<std::string> urls{FileUrl(base, path)};
  for (const std::string& mirror : mirrors) urls.push_back(FileUrl(mirror, path));
  return urls;
}

std::string ReadLastVersion(const app::IniStore& manifest, std::string_view own_version) {
  return manifest.ReadString(kUpdateSection, kLastVersionKey, own_version);
}

ServedFiles ReadServedFiles(const app::IniStore& manifest) {
  struct Values {
    std::optional<std::string> sha256;
    std::optional<std::string> size;
  };
  std::array<Values, kServedFiles.size()> values;
  std::map<long long, std::string> mirrors;
  // The first of a repeated name counts, as a read of that one key would have it.
  for (auto& [key, value] : manifest.ReadSection(kUpdateSection)) {
    if (key.size() > kMirrorKeyStem.size() &&
        AsciiEqualNoCase(std::string_view(key).substr(0, kMirrorKeyStem.size()), kMirrorKeyStem)) {
      const auto index = ParseInt64(std::string_view(key).substr(kMirrorKeyStem.size()));
      // Only the index as MirrorKey writes it: "mirror01" is another key.
      if (index && *index > 0 && MirrorKey(*index).size() == key.size()) {
        mirrors.try_emplace(*index, value);
      }
    }
    for (std::size_t i = 0; i < kServedFiles.size(); ++i) {
      std::optional<std::string>* held = nullptr;
      if (AsciiEqualNoCase(key, kServedFiles[i].sha256_key)) held = &values[i].sha256;
      if (AsciiEqualNoCase(key, kServedFiles[i].size_key)) held = &values[i].size;
      if (held && !*held) *held = std::move(value);
    }
  }
  ServedFiles served;
  for (long long i = 1;; ++i) {
    const auto mirror = mirrors.find(i);
    if (mirror == mirrors.end() || mirror->second.empty()) break;
    // A mirror the program cannot use is passed over; the ones after it still count.
    if (auto base = MirrorBase(mirror->second)) served.mirrors.push_back(std::move(*base));
  }
  for (std::size_t i = 0; i < kServedFiles.size(); ++i) {
    const Values& file = values[i];
    served.*kServedFiles[i].published =
        PublishedBody(file.sha256 ? PublishedSha256(*file.sha256) : std::nullopt,
                      file.size ? ParseInt64(*file.size).value_or(-1) : -1);
  }
  return served;
}

ManifestList ReadModList(const app::IniStore& manifest) {
  return ReadList(manifest, kModListSection, true);
}

ManifestList ReadDelList(const app::IniStore& manifest) {
  return ReadList(manifest, kDelListSection, false);
}

}  // namespace veltrane::net
