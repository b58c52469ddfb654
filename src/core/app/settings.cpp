#include "app/settings.h"

namespace veltrane::app {

bool ReadFlag(const IniStore& store, std::string_view key, bool def) {
  return ReadInteger(store, kSettingsSection, key, def ? 1 : 0) != 0;
}

void WriteFlag(IniStore& store, std::string_view key, bool value) {
  store.WriteString(kSettingsSection, key, value ? "1" : "0");
}

std::string ReadText(const IniStore& store, std::string_view key, std::string_view def) {
  return store.ReadString(kSettingsSection, key, def);
}

void WriteText(IniStore& store, std::string_view key, std::string_view value) {
  store.WriteString(kSettingsSection, key, value);
}

}  // namespace veltrane::app
