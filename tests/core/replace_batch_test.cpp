#include "app/replace_batch.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace veltrane::app {
namespace {

TEST(ReplaceBatch, FullReplacementLines) {
  // The new program takes its final name, and only then is the old one deleted (retried while
  // it is held): killed between any two lines, the batch leaves a program there. A failed rename
  // removes the download and starts the old program again.
  const std::vector<std::string> expected = {
      "chcp 1251",
      "cd /d \"%~dp0\"",
      "if not exist \"12345.exe\" goto done",
      "if exist \"Veltrane Dravenna v1.3.exe\" del /q /f \"Veltrane Dravenna v1.3.exe\"",
      "ren \"12345.exe\" \"Veltrane Dravenna v1.3.exe\"",
      "if exist \"12345.exe\" goto abandon",
      "set tries=0",
      ":retry",
      "if exist \"Veltrane Dravenna.exe\" del /q /f \"Veltrane Dravenna.exe\"",
      "if not exist \"Veltrane Dravenna.exe\" goto start",
      "set /a tries+=1",
      "if %tries% geq 30 goto start",
      "ping -n 2 127.0.0.1 >nul",
      "goto retry",
      ":start",
      "start \"Veltrane Dravenna v1.3.exe\" \"Veltrane Dravenna v1.3.exe\"",
      "goto done",
      ":abandon",
      "del /q /f \"12345.exe\"",
      "start \"Veltrane Dravenna.exe\" \"Veltrane Dravenna.exe\"",
      ":done",
      "del \"%~f0\"",
  };
  const auto lines =
      ReplaceBatchLines("Veltrane Dravenna.exe", "Veltrane Dravenna v1.3.exe", "12345.exe");
  EXPECT_EQ(lines, expected);
  for (const std::string& line : lines) {
    for (char c : line) EXPECT_TRUE(static_cast<unsigned char>(c) < 0x80) << line;
  }
}

TEST(ReplaceBatch, ANewProgramUnderTheRunningOnesOwnNameMovesTheOldOneAsideFirst) {
  const std::vector<std::string> expected = {
      "chcp 1251",
      "cd /d \"%~dp0\"",
      "if not exist \"12345.exe\" goto done",
      "if exist \"12345.exe.old\" del /q /f \"12345.exe.old\"",
      "set tries=0",
      ":retry",
      "if exist \"Veltrane Dravenna v1.3.exe\" ren \"Veltrane Dravenna v1.3.exe\" "
      "\"12345.exe.old\"",
      "if not exist \"Veltrane Dravenna v1.3.exe\" goto replace",
      "set /a tries+=1",
      "if %tries% geq 30 goto abandon",
      "ping -n 2 127.0.0.1 >nul",
      "goto retry",
      ":replace",
      "if exist \"Veltrane Dravenna v1.3.exe\" del /q /f \"Veltrane Dravenna v1.3.exe\"",
      "ren \"12345.exe\" \"Veltrane Dravenna v1.3.exe\"",
      "if not exist \"12345.exe\" goto placed",
      "ren \"12345.exe.old\" \"Veltrane Dravenna v1.3.exe\"",
      "del /q /f \"12345.exe\"",
      "start \"Veltrane Dravenna v1.3.exe\" \"Veltrane Dravenna v1.3.exe\"",
      "goto done",
      ":placed",
      "set tries=0",
      ":cleanup",
      "if exist \"12345.exe.old\" del /q /f \"12345.exe.old\"",
      "if not exist \"12345.exe.old\" goto start",
      "set /a tries+=1",
      "if %tries% geq 30 goto start",
      "ping -n 2 127.0.0.1 >nul",
      "goto cleanup",
      ":start",
      "start \"Veltrane Dravenna v1.3.exe\" \"Veltrane Dravenna v1.3.exe\"",
      "goto done",
      ":abandon",
      "del /q /f \"12345.exe\"",
      ":done",
      "del \"%~f0\"",
  };
  EXPECT_EQ(
      ReplaceBatchLines("Veltrane Dravenna v1.3.exe", "veltrane dravenna V1.3.exe", "12345.exe")[6],
      "if exist \"Veltrane Dravenna v1.3.exe\" ren \"Veltrane Dravenna v1.3.exe\" "
      "\"12345.exe.old\"");
  EXPECT_EQ(
      ReplaceBatchLines("Veltrane Dravenna v1.3.exe", "Veltrane Dravenna v1.3.exe", "12345.exe"),
      expected);
}

TEST(ReplaceBatch, NoneForEitherName) {
  // Nothing downloaded: no rename; the old file goes only when the target is there.
  const auto no_download = ReplaceBatchLines("old.exe", "new.exe", "-1");
  ASSERT_GE(no_download.size(), 5u);
  EXPECT_EQ(no_download[2], "if not exist \"new.exe\" goto done");
  EXPECT_EQ(no_download.front(), "chcp 1251");
  EXPECT_EQ(no_download.back(), "del \"%~f0\"");
  for (const std::string& line : no_download) {
    EXPECT_EQ(line.find("ren "), std::string::npos) << line;
  }
  EXPECT_EQ(no_download[no_download.size() - 3], "start \"new.exe\" \"new.exe\"");

  // No target: no start line and no rename.
  const auto no_target = ReplaceBatchLines("old.exe", "-1", "777.exe");
  ASSERT_FALSE(no_target.empty());
  EXPECT_EQ(no_target[2], "if not exist \"777.exe\" goto done");
  for (const std::string& line : no_target) {
    EXPECT_NE(line.rfind("start ", 0), 0u) << line;
    EXPECT_NE(line.rfind("ren ", 0), 0u) << line;
  }

  // Neither: nothing can take the program's place, so it stays.
  const std::vector<std::string> neither = {"chcp 1251", "cd /d \"%~dp0\"", "del \"%~f0\""};
  EXPECT_EQ(ReplaceBatchLines("old.exe", "-1", "-1"), neither);

  // The target being the running program itself: it is started again, never deleted.
  const std::vector<std::string> same = {"chcp 1251", "cd /d \"%~dp0\"",
                                         "start \"OLD.exe\" \"OLD.exe\"", "del \"%~f0\""};
  EXPECT_EQ(ReplaceBatchLines("old.exe", "OLD.exe", "-1"), same);
}

TEST(ReplaceBatch, RefusesUnsafeNames) {
  EXPECT_TRUE(ReplaceBatchLines("old.exe", "Veltrane Dravenna v1\" & del *.exe", "1.exe").empty());
  EXPECT_TRUE(ReplaceBatchLines("old.exe", "new.exe", "..\\1.exe").empty());
  EXPECT_TRUE(ReplaceBatchLines("old%PATH%.exe", "new.exe", "1.exe").empty());
  EXPECT_TRUE(ReplaceBatchLines("old.exe", "", "1.exe").empty());
  EXPECT_TRUE(ReplaceBatchLines("old.exe", "new.exe", "1.exe\r\ndel x").empty());
  EXPECT_TRUE(ReplaceBatchLines("", "-1", "-1").empty());
}

}  // namespace
}  // namespace veltrane::app
