#pragma once
// Reading the manifest (the server's Update.ini): the newest release, the mod pack and the
// names the server wants removed.
//
// How a list is read. `Count` is a signed 32-bit integer (text that is not a number, or a
// negative value, gives 0); entries are numbered 1 .. `Count` by the keys "mod"+i,
// "mod"+i+"size" and "mod"+i+"sha256", and keys above `Count` are never read. An index up to
// `Count` without any of them is a gap: it reads as an entry with an empty name. A damaged `Count`
// far above the keys present would turn into millions of such entries, so gaps are believed only
// while there are at most kGapBudget of them; with more, the list is bounded: it holds the entries
// that have keys, in index order, and nothing else. Either way the work is bounded by the keys
// the file holds plus kGapBudget, never by `Count` itself.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/ini_store.h"
#include "net/transfer.h"

namespace veltrane::net {

struct ManifestEntry {
  std::int32_t index = 0;  // the i of "mod"+i
  std::string name;        // as written, possibly empty
  std::int32_t size = 0;   // published size; 0 when absent or not a number (dellist: always 0)
  bool plain = false;      // IsPlainFileName(name): only such names may become local files
  // The published SHA-256 ("mod"+i+"sha256", modlist only), as PublishedSha256 gives it.
  std::optional<std::string> sha256;
};

// A published hash as the program holds it: nullopt when the value is empty (none published);
// 64 lower-case hex characters when it is 64 hex characters in either case; otherwise the value
// as written, which no file's hash (always 64 lower-case hex) equals, so the file it stands for
// is never accepted.
std::optional<std::string> PublishedSha256(std::string value);

// A bare file name that stays inside its folder: not empty, not "." or "..", no \ / : or
// control characters, and not a device name (CON, PRN, AUX, NUL, COM1-9, LPT1-9, in any case,
// with or without an extension).
bool IsPlainFileName(std::string_view name);

// The newest release the server announces; `own_version` when the manifest does not say.
std::string ReadLastVersion(const app::IniStore& manifest, std::string_view own_version);

// What the manifest vouches for of the single files the server holds beside the mods, from
// section `Update` in one read of the file: each file's hash as PublishedSha256 gives it (nullopt
// when its key is absent) and, only beside a hash, its published size as the most its body may
// hold (-1 when no positive size is published).
struct ServedFiles {
  ExpectedBody update;         // updatesha256, updatesize: the program update, "/Update.exe"
  ExpectedBody settings_tool;  // settingssha256, settingssize: the extra settings tool
  ExpectedBody forge;          // forgesha256, forgesize: the Forge installer
};
ServedFiles ReadServedFiles(const app::IniStore& manifest);

inline constexpr std::int32_t kGapBudget = 10000;

struct ManifestList {
  std::vector<ManifestEntry> entries;
  std::int32_t count = 0;  // `Count` as read: 0 when absent, not a number or negative
  bool bounded = false;    // more gaps than kGapBudget: only the entries with keys are listed
};

// The mod pack, with names and published sizes.
ManifestList ReadModList(const app::IniStore& manifest);
// The names the server no longer wants in the mods folder.
ManifestList ReadDelList(const app::IniStore& manifest);

}  // namespace veltrane::net
