#pragma once
// Reading the manifest (the server's Update.ini): the newest release, the mod pack and the
// names the server wants removed.
//
// How many entries a list has: `Count` read as a signed 32-bit integer (text that is not a
// number, or a negative value, gives 0), but never more than the highest index i for which the
// section holds a key "mod"+i or "mod"+i+"size". Entries 1 .. that number are returned in
// order; an index inside that range with no name comes back with an empty name, and entries
// above `Count` are never read. So a huge `Count` costs only as much as the keys that exist.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/ini_store.h"

namespace veltrane::net {

struct ManifestEntry {
  std::int32_t index = 0;  // the i of "mod"+i
  std::string name;        // as written, possibly empty
  std::int32_t size = 0;   // published size; 0 when absent or not a number (dellist: always 0)
  bool plain = false;      // IsPlainFileName(name): only such names may become local files
};

// A bare file name that stays inside its folder: not empty, not "." or "..", no \ / : or
// control characters, and not a device name (CON, PRN, AUX, NUL, COM1-9, LPT1-9, in any case,
// with or without an extension).
bool IsPlainFileName(std::string_view name);

// The newest release the server announces; `own_version` when the manifest does not say.
std::string ReadLastVersion(const app::IniStore& manifest, std::string_view own_version);

// The number of entries a list yields, by the rule above.
std::int32_t EffectiveCount(const app::IniStore& manifest, std::string_view section);

// The mod pack, with names and published sizes.
std::vector<ManifestEntry> ReadModList(const app::IniStore& manifest);
// The names the server no longer wants in the mods folder.
std::vector<ManifestEntry> ReadDelList(const app::IniStore& manifest);

}  // namespace veltrane::net
