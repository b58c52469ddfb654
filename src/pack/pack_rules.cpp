#include "pack_rules.h"

#include <optional>

#include "base/utf8.h"
#include "net/manifest.h"
#include "platform.h"

namespace veltrane::pack {
namespace {

// The length in UTF-16 code units, nullopt when the text is not well-formed UTF-8.
std::optional<std::size_t> Utf16Length(std::string_view text) {
  std::size_t units = 0;
  for (std::size_t i = 0; i < text.size();) {
    const Utf8Sequence sequence = DecodeUtf8(text, i);
    if (!IsWellFormed(sequence)) return std::nullopt;
    units += sequence.value >= 0x10000 ? 2 : 1;
    i += sequence.length;
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
  // % and # are fine: every request percent-encodes the name.
  if (name.find_first_of(R"(<>"|?*)") != std::string_view::npos) {
    problems.push_back(R"(holds one of < > " | ? *, which Windows does not allow in file names)");
  }
  return problems;
}

std::string NameKey(std::string_view name) {
  while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.remove_suffix(1);
  return FoldCase(ComposeNfc(name));
}

std::vector<std::vector<std::string>> Collisions(
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
