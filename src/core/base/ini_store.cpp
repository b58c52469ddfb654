#include "base/ini_store.h"

#include "base/number_text.h"

namespace veltrane::app {

std::int32_t ReadInteger(const IniStore& store, std::string_view section, std::string_view key,
                         std::int32_t def) {
  return ParseInt32(store.ReadString(section, key, "")).value_or(def);
}

}  // namespace veltrane::app
