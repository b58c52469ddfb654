#include "net/manifest.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <optional>
#include <unordered_map>

#include "base/number_text.h"
#include "net/server_paths.h"

namespace veltrane::net {
namespace {

char Upper(char c) {
  return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [](char x, char y) { return Upper(x) == Upper(y); });
}

bool IsDeviceName(std::string_view name) {
  // Windows treats these as devices whatever extension follows, and ignores trailing blanks.
  std::string_view stem = name.substr(0, name.find('.'));
  while (!stem.empty() && stem.back() == ' ') stem.remove_suffix(1);
  static constexpr std::array<std::string_view, 4> kPlain = {"CON", "PRN", "AUX", "NUL"};
  for (const auto device : kPlain) {
    if (EqualsNoCase(stem, device)) return true;
  }
  if (stem.size() == 4 && stem[3] >= '1' && stem[3] <= '9') {
    const std::string_view head = stem.substr(0, 3);
    return EqualsNoCase(head, "COM") || EqualsNoCase(head, "LPT");
  }
  return false;
}

// The i of a key "mod"+i or "mod"+i+"size" as the reader would write it (no sign, no leading
// zero), nullopt for any other key.
std::optional<std::int64_t> EntryIndex(std::string_view key) {
  if (key.size() <= kEntryStem.size() ||
      !EqualsNoCase(key.substr(0, kEntryStem.size()), kEntryStem))
    return std::nullopt;
  key.remove_prefix(kEntryStem.size());
  if (key.size() > kSizeSuffix.size() &&
      EqualsNoCase(key.substr(key.size() - kSizeSuffix.size()), kSizeSuffix)) {
    key.remove_suffix(kSizeSuffix.size());
  }
  if (key.empty() || key.front() == '0' || key.size() > 10) return std::nullopt;
  std::int64_t value = 0;
  for (const char c : key) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

// One section of the manifest, read from the file once. Names are looked up without regard to
// case, and the first of a repeated name counts, as ReadString has it.
class Section {
 public:
  Section(const app::IniStore& manifest, std::string_view section) {
    for (auto& [key, value] : manifest.ReadSection(section)) {
      if (const auto index = EntryIndex(key)) highest_ = std::max(highest_, *index);
      values_.emplace(Fold(key), std::move(value));
    }
  }

  std::string Text(std::string_view key) const {
    const auto found = values_.find(Fold(key));
    return found == values_.end() ? std::string() : found->second;
  }
  // An integer as the manifest's integers are read: not a number gives `def`.
  std::int32_t Integer(std::string_view key, std::int32_t def) const {
    return ParseInt32(Text(key)).value_or(def);
  }
  // The highest i of a key "mod"+i or "mod"+i+"size"; 0 when there is none.
  std::int64_t HighestIndex() const { return highest_; }

 private:
  static std::string Fold(std::string_view key) {
    std::string folded(key);
    for (char& c : folded) c = Upper(c);
    return folded;
  }

  std::unordered_map<std::string, std::string> values_;
  std::int64_t highest_ = 0;
};

std::int32_t EffectiveCount(const Section& section) {
  const std::int32_t count = section.Integer(kCountKey, 0);
  if (count <= 0) return 0;
  return static_cast<std::int32_t>(std::min<std::int64_t>(count, section.HighestIndex()));
}

std::vector<ManifestEntry> ReadList(const app::IniStore& manifest, std::string_view name,
                                    bool with_sizes) {
  const Section section(manifest, name);
  const std::int32_t count = EffectiveCount(section);
  std::vector<ManifestEntry> entries;
  entries.reserve(static_cast<std::size_t>(count));
  for (std::int32_t i = 1; i <= count; ++i) {
    ManifestEntry entry;
    entry.index = i;
    entry.name = section.Text(EntryKey(i));
    if (with_sizes) entry.size = section.Integer(EntrySizeKey(i), 0);
    entry.plain = IsPlainFileName(entry.name);
    entries.push_back(std::move(entry));
  }
  return entries;
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

std::string ReadLastVersion(const app::IniStore& manifest, std::string_view own_version) {
  return manifest.ReadString(kUpdateSection, kLastVersionKey, own_version);
}

std::int32_t EffectiveCount(const app::IniStore& manifest, std::string_view section) {
  return EffectiveCount(Section(manifest, section));
}

std::vector<ManifestEntry> ReadModList(const app::IniStore& manifest) {
  return ReadList(manifest, kModListSection, true);
}

std::vector<ManifestEntry> ReadDelList(const app::IniStore& manifest) {
  return ReadList(manifest, kDelListSection, false);
}

}  // namespace veltrane::net
