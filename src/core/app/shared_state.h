#pragma once
// The state the main window owns for the life of the process. Plain data, read and written on
// the user-interface thread only: the turbo workers get copies of what they need.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/ini_store.h"
#include "build_config.h"
#include "net/manifest.h"
#include "net/server_paths.h"

namespace veltrane::app {

inline constexpr std::string_view kGameVersion = "1.12.2";
inline constexpr std::string_view kSettingsFileName = "Settings.ini";
inline constexpr std::string_view kManifestFileName = "Update.ini";

// "Veltrane v1.2.6 - Dravenna 1.12.2"
std::string WindowCaption();

struct SharedState {
  const std::string GameVersion{kGameVersion};
  const std::string ServerUrl{build::kServerUrl};
  const std::string ServerModsPath{net::kModsPath};

  std::string DataFolder;
  std::string GameFolder;  // empty until the settings are loaded
  std::string LauncherGameFolder;
  std::string ModsFolder;
  std::string VersionModsFolder;

  std::unique_ptr<IniStore> SettingsIni;
  std::unique_ptr<IniStore> ManifestIni;

  std::vector<std::string> MissingMods;
  // What the manifest publishes of each missing mod that has a hash (the hash, and the size
  // beside it as the body's bound), by name; rebuilt with MissingMods.
  std::map<std::string, net::ExpectedBody> MissingHashes;
  std::vector<std::string> RemovableFiles;
  // The mirrors the manifest of the last check names, as base URLs, in the order they are tried
  // for a mod the server fails to give.
  std::vector<std::string> Mirrors;

  // In a build with a key: what the last manifest verified under it in this process publishes of
  // the served files (hashes and sizes). Start-up verifies one before the form exists and its
  // caller hands it over; each check and the extras' own fetch that verify one replace it. The
  // extras take what they expect from here only. Nullopt until then, and always in a build
  // without a key.
  std::optional<net::ServedFiles> VerifiedFiles;

  std::int32_t ModCount = 0;
  std::int32_t ModsSize = 0;
  std::int32_t MissingSize = 0;
  std::int32_t ModIndex = 0;
  // Changed on the user-interface thread (a turbo worker's result is counted there); atomic all
  // the same, so that adding stays safe from any thread.
  std::atomic<std::int32_t> LoadedCount{0};
  std::atomic<std::int32_t> LoadedSize{0};
  std::chrono::system_clock::time_point StartTime{};

  // The worker slots Flow1 .. Flow5 of a turbo run are the form's, which joins their threads.

  // Flags named after the component whose Tag holds them; 0 at creation.
  int MainWindowTag = 0;    // 1 while the window, handed back by the cleanup dialog, regrows
  int CopyTLButtonTag = 0;  // 1 once the launcher's configuration has been read; never reset
  int Timer6Tag = 0;        // 1 once the user asked to close: the timer fades the window out
};

// Counts one mod present after a run. Its size is taken in full and only the low 32 bits are
// added, wrapping around like the signed 32-bit sum it feeds.
void AddLoadedFile(SharedState& state, std::uint64_t file_size);

// ModsFolder and VersionModsFolder follow GameFolder by plain concatenation: a game folder
// ending in a backslash gives a doubled one, which the platform accepts.
void DeriveModsFolders(SharedState& state);

// The per-user data folder inside the expansion of %appdata%: ...\Pellwick\Veltrane.
std::string DataFolderIn(std::string_view appdata);

// Paths of the two INI files in the data folder.
std::string SettingsIniPath(std::string_view data_folder);
std::string ManifestIniPath(std::string_view data_folder);

}  // namespace veltrane::app
