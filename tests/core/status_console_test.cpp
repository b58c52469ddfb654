#include "ui/status_console.h"

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "manual_ui_thread.h"

namespace veltrane::ui {
namespace {

using Lines = std::vector<std::string>;

class FakeClock : public ConsoleClock {
 public:
  std::string LongTimeNow() const override { return "9:05:" + std::to_string(seconds.load()); }
  std::atomic<int> seconds{10};
};

class StatusConsoleTest : public ::testing::Test {
 protected:
  test::ManualUiThread ui;
  FakeClock clock;
  StatusConsole console{ui, clock};
};

TEST_F(StatusConsoleTest, HeadingsGetASeparatorLineExceptAtTheVeryTop) {
  console.Console(kHeading, false, "=====Проверка совместимости=====");
  console.Console("Модов на сервере: 3");
  console.Console(kHeading, false, "=====Синхронизация=====");
  console.Console(false, "Готово");
  // A heading with the time: separator and prefix both.
  console.Console(kHeading, "Турбо включено");
  // Only IsHead 1 is a heading.
  console.Console(std::uint8_t{2}, false, "не заголовок");
  // A plain number picks the heading form, a bool the form without heading.
  console.Console(1, "снова заголовок");
  console.Console(true, "обычная строка");
  EXPECT_EQ(console.Lines(),
            (Lines{"=====Проверка совместимости=====", "[9:05:10] Модов на сервере: 3", " ",
                   "=====Синхронизация=====", "Готово", " ", "[9:05:10] Турбо включено",
                   "не заголовок", " ", "[9:05:10] снова заголовок", "[9:05:10] обычная строка"}));
}

TEST_F(StatusConsoleTest, BreaksSplitTheTextAndOnlyTheFirstLineIsStamped) {
  console.Console("первая\r\nвторая\r\nтретья");
  console.Console(false, "unix\nstyle");
  console.Console(false, "lone\rcarriage return");
  console.Console(false, "trailing\r\n");
  console.Console(false, "");
  EXPECT_EQ(console.Lines(), (Lines{"[9:05:10] первая", "вторая", "третья", "unix", "style",
                                    "lone\rcarriage return", "trailing", "", ""}));
  EXPECT_EQ(SplitConsoleText("\r\n\r\n"), (Lines{"", "", ""}));
  EXPECT_EQ(SplitConsoleText("a\r\r\nb"), (Lines{"a\r", "b"}));
}

TEST_F(StatusConsoleTest, ListenerSeesEveryAppendedLineInOrder) {
  Lines seen;
  console.SetLineListener([&](const std::string& line) { seen.push_back(line); });
  console.Console(false, "a");
  console.Console(kHeading, false, "b\r\nc");
  EXPECT_EQ(seen, (Lines{"a", " ", "b", "c"}));
  EXPECT_EQ(seen, console.Lines());
}

TEST_F(StatusConsoleTest, WorkerLinesAreHandedToTheUiThreadWholeAndInOrder) {
  constexpr int kPerThread = 200;
  const auto text = [](const std::string& name, int i) {
    return name + " строка " + std::to_string(i) + " из " + std::to_string(kPerThread);
  };
  std::atomic<bool> go{false};
  auto worker = [&](const std::string& name) {
    while (!go) std::this_thread::yield();
    for (int i = 0; i < kPerThread; ++i) console.Console(text(name, i));
  };
  std::thread first(worker, "Поток1");
  std::thread second(worker, "Поток2");
  go = true;
  for (int i = 0; i < kPerThread; ++i) console.Console(false, "UI " + std::to_string(i));
  // The workers never wait for the append, so they finish with their lines still queued.
  first.join();
  second.join();
  EXPECT_EQ(console.Lines().size(), static_cast<size_t>(kPerThread));

  // Stamped at the call, not when the user-interface thread gets to them.
  clock.seconds = 59;
  ui.RunPending();
  // Each source's lines whole and in its order, however the sources interleave.
  std::map<std::string, Lines> expected;
  for (int i = 0; i < kPerThread; ++i) {
    expected["UI"].push_back("UI " + std::to_string(i));
    for (const std::string name : {"Поток1", "Поток2"}) {
      expected[name].push_back("[9:05:10] " + text(name, i));
    }
  }
  std::map<std::string, Lines> by_source;
  for (const std::string& line : console.Lines()) {
    by_source[line.starts_with("UI ") ? "UI" : line.substr(10, line.find(' ', 10) - 10)].push_back(
        line);
  }
  EXPECT_EQ(by_source, expected);
}

TEST_F(StatusConsoleTest, AWorkerHeadingGetsItsSeparatorFromTheLinesPresentWhenAppended) {
  std::thread([&] { console.Console(kHeading, false, "=====Поток====="); }).join();
  console.Console(false, "строка UI");
  ui.RunPending();
  EXPECT_EQ(console.Lines(), (Lines{"строка UI", " ", "=====Поток====="}));
}

TEST(StatusFileBytes, EveryLineConvertedAndEndedByCrLf) {
  const auto to_ansi = [](std::string_view line) { return "<" + std::string(line) + ">"; };
  EXPECT_EQ(StatusFileBytes({"[9:05:07] Начало", " ", "=====Итог=====", ""}, to_ansi),
            "<[9:05:07] Начало>\r\n< >\r\n<=====Итог=====>\r\n<>\r\n");
  EXPECT_EQ(StatusFileBytes({}, to_ansi), "");
}

}  // namespace
}  // namespace veltrane::ui
