#pragma once
// The status console: the program's one log, an ordered list of lines that only grows. The
// Win32 memo mirrors it through the line listener. Callable from any thread; lines from other
// threads are handed to the user-interface thread and appended there.
#include <concepts>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/ui_thread.h"

namespace veltrane::ui {

inline constexpr std::uint8_t kHeading = 1;
inline constexpr std::uint8_t kPlainLine = 0;
inline constexpr char kStatusFileName[] = "Veltrane - Статус.txt";

// The local time in the user's long time format ("9:05:07" with a Russian locale). Called on
// the thread that logs, so it must be safe to call from any thread.
class ConsoleClock {
 public:
  virtual ~ConsoleClock() = default;
  virtual std::string LongTimeNow() const = 0;
  // A time of day (a duration below 24 hours) in the same format.
  virtual std::string LongTime(int hours, int minutes, int seconds) const;
};

// Splits a console text into lines. CR LF separates lines, and so does a lone LF (texts that
// come from Unix-made files); a lone CR is kept as text. A break at the end leaves an empty
// last line, the way the memo shows it.
std::vector<std::string> SplitConsoleText(std::string_view text);

class StatusConsole {
 public:
  using LineListener = std::function<void(const std::string& line)>;

  // Both must outlive the console and everything it has posted.
  StatusConsole(UiThread& ui, const ConsoleClock& clock);

  // IsHead 1 puts a line of one space before the text unless the console is still empty;
  // NdTime puts "[" + time + "] " before the text's first line.
  void Console(std::uint8_t IsHead, bool NdTime, std::string_view outt);
  void Console(std::uint8_t IsHead, std::string_view outt) { Console(IsHead, true, outt); }
  // Only a real bool selects this one, so Console(1, "...") stays a heading.
  template <std::same_as<bool> Bool>
  void Console(Bool NdTime, std::string_view outt) {
    Console(kPlainLine, NdTime, outt);
  }
  void Console(std::string_view outt) { Console(kPlainLine, true, outt); }

  // User-interface thread only.
  void SetLineListener(LineListener listener) { listener_ = std::move(listener); }
  const std::vector<std::string>& Lines() const { return lines_; }

 private:
  void Append(bool heading, const std::string& text);
  void AddLine(std::string line);

  UiThread& ui_;
  const ConsoleClock& clock_;
  std::vector<std::string> lines_;
  LineListener listener_;
};

// The bytes of the status file: every line converted by `to_ansi`, each followed by CR LF.
std::string StatusFileBytes(const std::vector<std::string>& lines,
                            const std::function<std::string(std::string_view)>& to_ansi);

}  // namespace veltrane::ui
