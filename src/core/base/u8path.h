#pragma once
// Paths are UTF-8 text inside the program. std::filesystem::path built from a plain std::string
// would read it in the ANSI code page on Windows, so every conversion goes through here.
#include <filesystem>
#include <string>
#include <string_view>

namespace veltrane {

inline std::filesystem::path U8Path(std::string_view utf8) {
  return std::filesystem::path(
      std::u8string(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size()));
}

inline std::string PathText(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(reinterpret_cast<const char*>(text.data()), text.size());
}

}  // namespace veltrane
