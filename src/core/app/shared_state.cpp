#include "app/shared_state.h"

#include "base/paths.h"

namespace veltrane::app {

std::string WindowCaption() {
  return "Veltrane v1.2.6 - Dravenna " + std::string(kGameVersion);
}

void AddLoadedFile(SharedState& state, std::uint64_t file_size) {
  state.LoadedCount.fetch_add(1);
  // Conversion of an out-of-range value to a signed type is modular since C++20, and atomic
  // signed addition wraps; neither is undefined.
  state.LoadedSize.fetch_add(static_cast<std::int32_t>(static_cast<std::uint32_t>(file_size)));
}

void DeriveModsFolders(SharedState& state) {
  state.ModsFolder = JoinPath(state.GameFolder, "mods");
  state.VersionModsFolder = JoinPath(state.ModsFolder, state.GameVersion);
}

std::string DataFolderIn(std::string_view appdata) {
  return JoinPath(JoinPath(appdata, "Pellwick"), "Veltrane");
}

std::string SettingsIniPath(std::string_view data_folder) {
  return JoinPath(data_folder, kSettingsFileName);
}

std::string ManifestIniPath(std::string_view data_folder) {
  return JoinPath(data_folder, kManifestFileName);
}

}  // namespace veltrane::app
