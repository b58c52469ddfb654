#pragma once
// Desktop services that record what the window asked of them.
#include <cstdint>
#include <functional>
#include <optional>
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
  void OpenFile(std::string_view file, std::string_view folder) override {
    opened_files.emplace_back(std::string(file), std::string(folder));
    if (on_open) on_open(std::string(file));
  }
  std::string ProgramName() override { return "Veltrane Dravenna.exe"; }
  std::string ExpandEnvText(std::string_view text) override {
    std::string result(text);
    const std::string key = "%appdata%";
    if (const auto at = result.find(key); at != std::string::npos)
      result.replace(at, key.size(), appdata);
    return result;
  }
  // Marks converted text so tests see that the conversion was applied.
  std::string ToAnsi(std::string_view text) override { return "<" + std::string(text) + ">"; }

  std::string FromAnsi(std::string_view text) override { return std::string(text); }
  std::string DecimalSeparator() override { return ","; }
  bool ShowMessage(std::string_view text, std::string_view caption, Buttons buttons,
                   Icon icon) override {
    messages.push_back({std::string(text), std::string(caption), buttons, icon});
    if (on_message) on_message();
    return answer_ok;
  }
  std::optional<std::string> BrowseForFolder(std::string_view start) override {
    browse_starts.emplace_back(start);
    return browse_result;
  }
  std::uintptr_t FindTopWindow(std::string_view class_name, std::string_view title) override {
    return class_name == game_window_class && title == game_window_title ? game_window : 0;
  }
  bool IsProcessRunning(std::string_view exe_name) override { return exe_name == running_process; }
  void CloseGameWindow(std::uintptr_t window, std::string_view exe_name) override {
    closed_windows.push_back(window);
    closed_as.emplace_back(exe_name);
  }

  struct Message {
    std::string text;
    std::string caption;
    Buttons buttons;
    Icon icon;
  };

  std::string appdata = "C:\\Users\\player\\AppData\\Roaming";
  std::string clipboard;
  std::vector<std::string> explored;
  std::vector<std::pair<std::string, int>> commands;
  std::vector<std::pair<std::string, std::string>> opened_files;
  std::function<void(const std::string&)> on_open;
  std::vector<Message> messages;
  std::function<void()> on_message;
  bool answer_ok = true;
  std::vector<std::string> browse_starts;
  std::optional<std::string> browse_result;
  std::string game_window_class;
  std::string game_window_title;
  std::uintptr_t game_window = 0;
  std::string running_process;
  std::vector<std::uintptr_t> closed_windows;
  std::vector<std::string> closed_as;
};

}  // namespace veltrane::test
