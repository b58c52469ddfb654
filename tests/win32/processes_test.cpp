#include "base/processes.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <string>

#include "base/ascii.h"
#include "base/environment.h"
#include "base/system_error.h"
#include "base/u8path.h"
#include "system_helpers.h"
#include "temp_dir.h"

namespace veltrane::win32 {
namespace {

using test::ReadFileBytes;
using test::TempDir;
using test::WaitFor;

TEST(Processes, RunCommandLineStartsAProcess) {
  TempDir dir;
  const std::string marker = dir.Sub("ran.txt");
  RunCommandLine("cmd /c echo ok> \"" + marker + "\"", SW_HIDE);
  ASSERT_TRUE(WaitFor([&] { return ReadFileBytes(marker).size() >= 2; }, std::chrono::seconds(20)));
  EXPECT_EQ(ReadFileBytes(marker).substr(0, 2), "ok");
}

TEST(Processes, RunCommandLineFailures) {
  try {
    RunCommandLine("\"C:\\veltrane-no-such-folder\\program.exe\"", SW_SHOW);
    ADD_FAILURE() << "no error for a missing program";
  } catch (const SystemError& error) {
    EXPECT_TRUE(error.code() == ERROR_FILE_NOT_FOUND || error.code() == ERROR_PATH_NOT_FOUND)
        << error.code();
    EXPECT_NE(std::string(error.what()).find("Код: " + std::to_string(error.code()) + "."),
              std::string::npos)
        << error.what();
    EXPECT_NE(std::string(error.what()).find(SystemErrorText(error.code())), std::string::npos);
    EXPECT_FALSE(SystemErrorText(error.code()).empty());
  }
  EXPECT_THROW(RunCommandLine("", SW_SHOW), std::invalid_argument);
}

TEST(Processes, IsProcessRunningMatchesFoldedPrefixes) {
  const std::string own = PathText(U8Path(OwnProgramPath()).filename());
  EXPECT_TRUE(IsProcessRunning(AsciiUpper(own)));
  EXPECT_TRUE(IsProcessRunning(AsciiLower(own.substr(0, 5))));
  EXPECT_TRUE(IsProcessRunning(""));
  EXPECT_FALSE(IsProcessRunning("veltrane-no-such-process-4711.exe"));
}

}  // namespace
}  // namespace veltrane::win32
