#include "pack_rules.h"

#include <optional>

#include "net/manifest.h"

namespace veltrane::pack {
namespace {

// The length in UTF-16 code units, nullopt when the text is not well-formed UTF-8.
std::optional<std::size_t> Utf16Length(std::string_view text) {
  std::size_t units = 0;
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = 0;
    std::uint32_t cp = 0;
    if (lead < 0x80) {
      length = 1;
      cp = lead;
    } else if ((lead & 0xE0) == 0xC0) {
      length = 2;
      cp = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
      length = 3;
      cp = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
      length = 4;
      cp = lead & 0x07;
    } else {
      return std::nullopt;
    }
    if (i + length > text.size()) return std::nullopt;
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return std::nullopt;
      cp = cp << 6 | (next & 0x3F);
    }
    static constexpr std::uint32_t kShortest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kShortest[length] || cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000)) {
      return std::nullopt;
    }
    units += cp >= 0x10000 ? 2 : 1;
    i += length;
  }
  return units;
}

}  // namespace

std::vector<std::string> NameProblems(std::string_view name) {
  std::vector<std::string> problems;
  const auto length = Utf16Length(name);
  if (!length) {
    problems.push_back("the name is not valid UTF-8");
    return problems;
  }
  if (!net::IsPlainFileName(name)) {
    problems.push_back(
        "the client refuses this name (\\ / : or a control character, or a device name such as "
        "CON or NUL)");
  }
  if (!name.empty() && (name.back() == '.' || name.back() == ' ')) {
    problems.push_back("ends in a dot or a space, which Windows drops from file names");
  }
  if (*length > kMaxNameLength) {
    problems.push_back("longer than " + std::to_string(kMaxNameLength) +
                       " characters, too long for the client's mods folder");
  }
  if (name.find_first_of("%#?") != std::string_view::npos) {
    problems.push_back("holds %, # or ?, which change the meaning of its URL");
  }
  return problems;
}

std::vector<std::vector<std::string>> CaseCollisions(
    const std::vector<std::string>& names,
    const std::function<std::string(std::string_view)>& fold) {
  std::map<std::string, std::vector<std::string>> groups;
  for (const auto& name : names) groups[fold(name)].push_back(name);
  std::vector<std::vector<std::string>> collisions;
  for (auto& [key, group] : groups) {
    if (group.size() > 1) collisions.push_back(std::move(group));
  }
  return collisions;
}

}  // namespace veltrane::pack
