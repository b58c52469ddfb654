#pragma once
// Desktop services that record what the window asked of them.
#include <string>
#include <utility>
#include <vector>

#include "ui/desktop.h"

namespace veltrane::test {

class FakeDesktop : public ui::Desktop {
 public:
  void CopyToClipboard(std::string_view text) override { clipboard = text; }
  void ExploreFolder(std::string_view folder) override { explored.emplace_back(folder); }
  void RunCommandLine(std::string_view command_line, int show) override {
    commands.emplace_back(std::string(command_line), show);
  }
  std::string ExpandEnvText(std::string_view text) override {
    std::string result(text);
    const std::string key = "%appdata%";
    if (const auto at = result.find(key); at != std::string::npos)
      result.replace(at, key.size(), appdata);
    return result;
  }
  // Marks converted text so tests see that the conversion was applied.
  std::string ToAnsi(std::string_view text) override { return "<" + std::string(text) + ">"; }

  std::string appdata = "C:\\Users\\player\\AppData\\Roaming";
  std::string clipboard;
  std::vector<std::string> explored;
  std::vector<std::pair<std::string, int>> commands;
};

}  // namespace veltrane::test
