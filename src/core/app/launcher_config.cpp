#include "app/launcher_config.h"

namespace veltrane::app {
namespace {

void ReplaceAll(std::string& text, std::string_view from, std::string_view to) {
  for (std::size_t at = text.find(from); at != std::string::npos;
       at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
}

// Byte offset of the first character after `count` UTF-8 characters (the end when shorter).
std::size_t SkipCharacters(std::string_view text, std::size_t count) {
  std::size_t at = 0;
  for (std::size_t seen = 0; at < text.size() && seen < count; ++seen) {
    ++at;
    while (at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80) ++at;
  }
  return at;
}

}  // namespace

std::optional<std::string> LauncherFolderFromLines(const std::vector<std::string>& lines) {
  for (const std::string& line : lines) {
    if (line.find(kLauncherKey) == std::string::npos) continue;
    std::string folder = line.substr(SkipCharacters(line, kLauncherKeyLength));
    ReplaceAll(folder, "\\\\", "\\");
    ReplaceAll(folder, "\\:", ":");
    return folder;
  }
  return std::nullopt;
}

std::vector<std::string> SplitFileLines(std::string_view text) {
  std::vector<std::string> lines;
  std::string line;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      lines.push_back(std::move(line));
      line.clear();
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      line += c;
    }
  }
  if (!line.empty()) lines.push_back(std::move(line));
  return lines;
}

}  // namespace veltrane::app
