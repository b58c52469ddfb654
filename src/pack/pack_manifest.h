#pragma once
// The manifest as the pack tool makes it: which names it lists in which order, and the file
// itself, written through the portable INI store so that the tool and the client agree on
// the format.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/portable_ini.h"

namespace veltrane::pack {

using Fold = std::function<std::string(std::string_view)>;

// What an existing manifest said, as far as the next one builds on it.
struct PreviousManifest {
  std::optional<std::string> last_version;
  std::vector<std::string> mods;
  std::vector<std::string> removed;
  std::vector<std::string> mirrors;  // as the client reads them
  std::size_t unusable_mirrors = 0;  // listed but passed over by the client
  std::int64_t serial = 0;           // as the client reads it: 0 for none
};

struct ManifestPlan {
  std::optional<std::string> last_version;
  std::vector<std::string> mods;     // modlist order
  std::vector<std::string> removed;  // dellist order
};

// The order and the removal list of the next manifest. Mods the previous manifest listed keep
// their order and new ones follow in byte order of their names. The removal list is the
// previous one, then every previous mod that `present` no longer holds, without names that are
// present again and without repeats; names are compared as `fold` compares them (as Windows
// does), except for the order, which follows the exact names. `version` replaces the previous
// last version when given.
ManifestPlan PlanManifest(const PreviousManifest& previous, std::vector<std::string> present,
                          const std::optional<std::string>& version, const Fold& fold);

// The codec of manifests without a byte-order mark: code page 1251 (what the client's reader
// assumes on the players' Windows).
app::IniCodec Cp1251Codec();

// Reads what build keeps of the manifest at `path`; an absent file gives an empty one.
PreviousManifest ReadPreviousManifest(const std::string& path);

struct ManifestSection {
  std::string name;
  std::vector<std::pair<std::string, std::string>> entries;
};

enum class ManifestEncoding { kCp1251, kUtf16Le };

// Code page 1251 when every value fits it, else UTF-16LE with a byte-order mark.
ManifestEncoding ChooseEncoding(const std::vector<ManifestSection>& sections);

// Writes a new file at `path` holding the sections in order. Throws app::IniWriteError.
void WriteManifestFile(const std::string& path, const std::vector<ManifestSection>& sections,
                       ManifestEncoding encoding);

}  // namespace veltrane::pack
