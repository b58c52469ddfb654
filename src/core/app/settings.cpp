#include "app/settings.h"

#include "base/number_text.h"

namespace veltrane::app {

std::int32_t ReadInteger(const IniStore& store, std::string_view section, std::string_view key,
                         std::int32_t def) {
  return ParseInt32(store.ReadString(section, key, "")).value_or(def);
}

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
