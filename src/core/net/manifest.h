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
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/ini_store.h"
#include "net/server_paths.h"
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

// What a published hash and size say of a file's body: the hash it must have and, only beside
// that hash and when positive, the size as the most it may hold. A size alone is not believed:
// hand-written manifests have long carried stale ones.
ExpectedBody PublishedBody(std::optional<std::string> sha256, std::int64_t size);

// A bare file name that stays inside its folder: not empty, not "." or "..", no \ / : or
// control characters, and not a device name (CON, PRN, AUX, NUL, COM1-9, LPT1-9, in any case,
// with or without an extension).
bool IsPlainFileName(std::string_view name);

// The newest release the server announces; `own_version` when the manifest does not say.
std::string ReadLastVersion(const app::IniStore& manifest, std::string_view own_version);

// What the manifest vouches for of the single files the server holds beside the mods, from
// section `Update` in one read of the file: for each, PublishedBody of its hash as
// PublishedSha256 gives it (nullopt when its key is absent) and its published size.
struct ServedFiles {
  ExpectedBody update;         // the program update, "/Update.exe"
  ExpectedBody settings_tool;  // the extra settings tool
  ExpectedBody forge;          // the Forge installer
  // Base URLs that serve the same files as the server (never the manifest), as MirrorBase takes
  // them, in the order they are to be tried.
  std::vector<std::string> mirrors;
};

// A mirror's base URL as the program uses it: http or https, no blanks or control characters,
// without a trailing slash (one is dropped); nullopt for anything else.
std::optional<std::string> MirrorBase(std::string_view value);

// The URLs of `path` on the server `base` and then on each mirror.
std::vector<std::string> FileUrls(std::string_view base, const std::vector<std::string>& mirrors,
                                  std::string_view path);
ServedFiles ReadServedFiles(const app::IniStore& manifest);

// Each of those files: served at "/" + `name`, published under the two keys, read into
// `published`. The pack tool writes what the client reads from this one table.
struct ServedFile {
  std::string_view name;
  std::string_view sha256_key;
  std::string_view size_key;
  ExpectedBody ServedFiles::*published;
};
inline constexpr std::array<ServedFile, 3> kServedFiles = {{
    {kUpdatePath.substr(1), kUpdateSha256Key, kUpdateSizeKey, &ServedFiles::update},
    {kSettingsToolName, kSettingsToolSha256Key, kSettingsToolSizeKey, &ServedFiles::settings_tool},
    {kForgeInstallerName, kForgeSha256Key, kForgeSizeKey, &ServedFiles::forge},
}};

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
