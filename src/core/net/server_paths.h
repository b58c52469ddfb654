#pragma once
// The server's web directory: a few static files at fixed paths below one base URL, and the
// names inside the manifest. Every request's URL is made by FileUrl, which percent-encodes the
// path as UTF-8, so that a name reaches any web server as the bytes it has on the server's disk.
#include <string>
#include <string_view>

namespace veltrane::net {

inline constexpr std::string_view kManifestPath = "/Update";
inline constexpr std::string_view kUpdatePath = "/Update.exe";
inline constexpr std::string_view kModsPath = "/mods3/";
inline constexpr std::string_view kSettingsToolName = "Settingss.exe";
inline constexpr std::string_view kForgeInstallerName =
    "forge-1.12.2-14.23.2.2629-installer-win.exe";
// The manifest's local copy in the data folder.
inline constexpr std::string_view kManifestFileName = "Update.ini";

inline constexpr std::string_view kUpdateSection = "Update";
inline constexpr std::string_view kLastVersionKey = "lastversion";
// What a signed manifest says of itself: its serial (higher in each release of the pack) and the
// last day, in UTC as YYYY-MM-DD, it may be taken for a self-update.
inline constexpr std::string_view kSerialKey = "serial";
inline constexpr std::string_view kExpiresKey = "expires";
// Where a program built with a key keeps the highest serial it has taken, in its data folder.
inline constexpr std::string_view kAcceptedSerialFileName = "Update.serial";
inline constexpr std::string_view kModListSection = "modlist";
inline constexpr std::string_view kDelListSection = "dellist";
inline constexpr std::string_view kCountKey = "Count";
// Both lists number their entries with this stem: mod1, mod1size, mod2, ...
inline constexpr std::string_view kEntryStem = "mod";
inline constexpr std::string_view kSizeSuffix = "size";
// SHA-256 of the served files as 64 lower-case hex characters: "mod"+i+"sha256" in modlist, and
// the keys below in the Update section, each present only when the server holds that file, with
// the file's size beside it.
inline constexpr std::string_view kSha256Suffix = "sha256";
inline constexpr std::string_view kUpdateSha256Key = "updatesha256";
inline constexpr std::string_view kUpdateSizeKey = "updatesize";
inline constexpr std::string_view kSettingsToolSha256Key = "settingssha256";
inline constexpr std::string_view kSettingsToolSizeKey = "settingssize";
inline constexpr std::string_view kForgeSha256Key = "forgesha256";
inline constexpr std::string_view kForgeSizeKey = "forgesize";
// Mirror base URLs, in the order they are tried: mirror1, mirror2, ... up to the first absent.
inline constexpr std::string_view kMirrorKeyStem = "mirror";
inline std::string MirrorKey(long long index) {
  return std::string(kMirrorKeyStem) + std::to_string(index);
}

// The manifest's detached signature: 64 raw bytes r‖s, ECDSA P-256 over SHA-256 of the exact
// bytes of "/Update" (see net/crypto.h).
inline constexpr std::string_view kManifestSignaturePath = "/Update.sig";
// Its local copy, beside the manifest's in the data folder.
inline constexpr std::string_view kManifestSignatureFileName = "Update.sig";
// The most a manifest may hold: some hundred times a pack of 10 000 hashed mods, and a bound
// on what a server sending without end can make us store or hold.
inline constexpr long long kLargestManifest = 64LL * 1024 * 1024;

inline std::string EntryKey(long long index) {
  return std::string(kEntryStem) + std::to_string(index);
}
inline std::string EntrySizeKey(long long index) {
  return EntryKey(index) + std::string(kSizeSuffix);
}
inline std::string EntrySha256Key(long long index) {
  return EntryKey(index) + std::string(kSha256Suffix);
}

// The path of a mod named as the manifest gives it, and of a single file beside the mods.
inline std::string ModPath(std::string_view name) {
  return std::string(kModsPath) + std::string(name);
}
inline std::string ServedFilePath(std::string_view name) {
  return "/" + std::string(name);
}

// `path` as a request sends it: every byte outside A-Z a-z 0-9 - . _ ~ and the '/' separators
// becomes %XX (upper-case hex). A raw non-ASCII byte reaches a server as whatever code page the
// platform picks (nginx then finds nothing) and a raw space is refused, so nothing goes raw.
std::string EncodePath(std::string_view path);

// The URL of `path` below `base` (a base URL without a trailing slash): the one way every
// request of the program and of the pack tool is addressed.
std::string FileUrl(std::string_view base, std::string_view path);

}  // namespace veltrane::net
