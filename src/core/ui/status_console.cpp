#include "ui/status_console.h"

#include <utility>

namespace veltrane::ui {

std::string ConsoleClock::LongTime(int hours, int minutes, int seconds) const {
  // The Russian long time format, H:mm:ss.
  const auto two = [](int value) { return (value < 10 ? "0" : "") + std::to_string(value); };
  return std::to_string(hours) + ":" + two(minutes) + ":" + two(seconds);
}

std::vector<std::string> SplitConsoleText(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\n') continue;
    std::size_t end = i;
    if (end > start && text[end - 1] == '\r') --end;
    lines.emplace_back(text.substr(start, end - start));
    start = i + 1;
  }
  lines.emplace_back(text.substr(start));
  return lines;
}

StatusConsole::StatusConsole(UiThread& ui, const ConsoleClock& clock) : ui_(ui), clock_(clock) {}

void StatusConsole::Console(std::uint8_t IsHead, bool NdTime, std::string_view outt) {
  // The time is that of the call, not of the moment the user-interface thread gets to it.
  std::string text;
  if (NdTime) {
    // Appended piece by piece: GCC 12 at -O3 mistakes "[" + string for an overlapping copy.
    const std::string time = clock_.LongTimeNow();
    text.reserve(time.size() + outt.size() + 3);
    text.push_back('[');
    text.append(time);
    text.append("] ");
    text.append(outt);
  } else {
    text.assign(outt);
  }
  const bool heading = IsHead == kHeading;
  if (ui_.IsCurrent()) {
    Append(heading, text);
  } else {
    ui_.Post([this, heading, line = std::move(text)] { Append(heading, line); });
  }
}

void StatusConsole::Append(bool heading, const std::string& text) {
  // Whether a separator is due is decided here, on the user-interface thread, from the lines
  // actually present at the time of the append.
  if (heading && !lines_.empty()) AddLine(" ");
  for (std::string& line : SplitConsoleText(text)) AddLine(std::move(line));
}

void StatusConsole::AddLine(std::string line) {
  lines_.push_back(std::move(line));
  if (listener_) listener_(lines_.back());
}

std::string StatusFileBytes(const std::vector<std::string>& lines,
                            const std::function<std::string(std::string_view)>& to_ansi) {
  std::string bytes;
  for (const std::string& line : lines) {
    bytes += to_ansi(line);
    bytes += "\r\n";
  }
  return bytes;
}

}  // namespace veltrane::ui
