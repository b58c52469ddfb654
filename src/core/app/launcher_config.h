#pragma once
// The game folder's sources: the launcher's properties file, the stored setting and the default.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace veltrane::app {

inline constexpr std::string_view kLauncherKey = "minecraft.gamedir=";
inline constexpr std::size_t kLauncherKeyLength = 18;

// The folder named by the first line holding the key anywhere (letter case significant): the
// line without its first 18 characters, with "\\" turned into "\" and then "\:" into ":".
// Other escapes stay as written. nullopt when no line holds the key.
std::optional<std::string> LauncherFolderFromLines(const std::vector<std::string>& lines);

// Splits text read from a file into lines (CR LF, LF or CR end a line).
std::vector<std::string> SplitFileLines(std::string_view text);

}  // namespace veltrane::app
