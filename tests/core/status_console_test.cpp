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
  std::atomic<bool> go{false};
  auto worker = [&](const std::string& name) {
    while (!go) std::this_thread::yield();
    for (int i = 0; i < kPerThread; ++i) {
      console.Console(name + " строка " + std::to_string(i) + " из " + std::to_string(kPerThread));
    }
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
  ASSERT_EQ(console.Lines().size(), static_cast<size_t>(3 * kPerThread));

  std::map<std::string, int> next;
  for (const std::string& line : console.Lines()) {
    std::string source;
    int index = -1;
    if (line.rfind("UI ", 0) == 0) {
      source = "UI";
      index = std::stoi(line.substr(3));
    } else {
      ASSERT_EQ(line.rfind("[9:05:10] Поток", 0), 0u) << line;
      const std::string rest = line.substr(std::string("[9:05:10] ").size());
      source = rest.substr(0, rest.find(' '));
      const std::string middle = " строка ";
      const size_t at = rest.find(middle);
      ASSERT_NE(at, std::string::npos) << line;
      index = std::stoi(rest.substr(at + middle.size()));
      EXPECT_EQ(rest,
                source + " строка " + std::to_string(index) + " из " + std::to_string(kPerThread));
    }
    EXPECT_EQ(index, next[source]) << line;
    next[source] = index + 1;
  }
  EXPECT_EQ(next["UI"], kPerThread);
  EXPECT_EQ(next["Поток1"], kPerThread);
  EXPECT_EQ(next["Поток2"], kPerThread);
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
