#include "app/self_replace.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "base/ascii.h"
#include "base/environment.h"
#include "base/scoped.h"
#include "base/u8path.h"
#include "base/wide.h"
#include "system_helpers.h"
#include "temp_dir.h"

namespace veltrane::win32 {
namespace {

namespace fs = std::filesystem;
using test::ExclusiveLock;
using test::ReadFileBytes;
using test::TempDir;
using test::WaitFor;

constexpr wchar_t kMarkerVariable[] = L"VELTRANE_REPLACE_MARK";

// A copy of this program started by a replacement batch file under test only leaves a mark in
// its working folder and ends, before any test runs.
[[maybe_unused]] const bool kMarkerMode = [] {
  wchar_t name[128] = {};
  if (GetEnvironmentVariableW(kMarkerVariable, name, 128) == 0) return false;
  ScopedHandle file(
      CreateFileW(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file) {
    const std::string own = OwnProgramPath();
    DWORD written = 0;
    WriteFile(file.get(), own.data(), static_cast<DWORD>(own.size()), &written, nullptr);
  }
  file.reset();  // ExitProcess runs no destructors
  ExitProcess(0);
}();

bool Exists(const std::string& path) {
  std::error_code ec;
  return fs::exists(U8Path(path), ec);
}

// The replacement batch file, run by the real command interpreter in a folder of its own.
class ReplaceBatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = PathText(dir_.path() / "program");
    fs::create_directories(U8Path(folder_));
    old_ = dir_.Write("program/Veltrane Dravenna.exe", "old program");
    // The downloaded "program" is a copy of this test program: started with the marker
    // variable set it only writes the mark.
    downloaded_ = PathText(U8Path(folder_) / "48213907561234567890.exe");
    fs::copy_file(U8Path(OwnProgramPath()), U8Path(downloaded_));
    ASSERT_TRUE(SetEnvironmentVariableW(kMarkerVariable, L"started.txt"));
  }
  void TearDown() override { SetEnvironmentVariableW(kMarkerVariable, nullptr); }

  std::string Path(const std::string& name) const { return PathText(U8Path(folder_) / name); }

  // The batch file that replaces "Veltrane Dravenna.exe" with the download named `target`.
  std::string WriteBatch(const std::string& target) const {
    return WriteReplaceBatch(folder_, "Veltrane Dravenna.exe", target, "48213907561234567890.exe");
  }

  // The path the started program ran from, as it wrote it in its mark; empty when none came.
  std::string StartedAs() const {
    WaitFor([&] { return !ReadFileBytes(Path("started.txt")).empty(); }, std::chrono::seconds(30));
    return ReadFileBytes(Path("started.txt"));
  }

  // Starts the batch file as the program does, but from another working folder, and waits for
  // it.
  void RunFromElsewhere(const std::string& batch) {
    const ScopedHandle process(StartReplaceBatch(batch, PathText(dir_.path())));
    ASSERT_NE(process.get(), nullptr);
    EXPECT_EQ(WaitForSingleObject(process.get(), 120000), WAIT_OBJECT_0);
  }

  // The started program may still hold its file for a moment after leaving its mark.
  static void WaitUntilDeletable(const std::string& path) {
    WaitFor(
        [&] {
          std::error_code ec;
          fs::remove(U8Path(path), ec);
          return !Exists(path);
        },
        std::chrono::seconds(10));
  }

  TempDir dir_;
  std::string folder_;
  std::string old_;
  std::string downloaded_;
  const std::string target_name_ = "Veltrane Dravenna v1.2.7.0.exe";
};

TEST_F(ReplaceBatchTest, ReplacesTheOldProgramOnceItIsFree) {
  const std::string batch = WriteBatch(target_name_);
  EXPECT_EQ(batch, Path("delete.bat"));
  const std::string text = ReadFileBytes(batch);
  EXPECT_EQ(text.substr(0, 11), "chcp 1251\r\n");
  EXPECT_NE(text.find("ren \"48213907561234567890.exe\" \"" + target_name_ + "\"\r\n"),
            std::string::npos);

  // The old program still holds its file for a few seconds after the batch file starts; the
  // new one has its final name by then, so both are whole programs meanwhile.
  ExclusiveLock lock(old_);
  ASSERT_TRUE(lock.held());
  ScopedHandle process(StartReplaceBatch(batch, folder_));
  ASSERT_NE(process.get(), nullptr);
  std::this_thread::sleep_for(std::chrono::seconds(3));
  EXPECT_TRUE(Exists(old_));
  EXPECT_TRUE(Exists(Path(target_name_)));
  EXPECT_FALSE(Exists(downloaded_));
  lock.Release();
  EXPECT_EQ(WaitForSingleObject(process.get(), 120000), WAIT_OBJECT_0);
  process.reset();

  EXPECT_FALSE(Exists(old_));
  EXPECT_FALSE(Exists(downloaded_));
  EXPECT_TRUE(Exists(Path(target_name_)));
  EXPECT_FALSE(Exists(batch));
  // The new program was started, in its own folder, from its final name.
  const std::string started_as = StartedAs();
  EXPECT_NE(AsciiUpper(started_as).find(AsciiUpper(target_name_)), std::string::npos) << started_as;
  WaitUntilDeletable(Path(target_name_));
}

// A batch killed while it waits for the old program leaves both programs whole, and itself:
// the next start removes it.
TEST_F(ReplaceBatchTest, KilledMidwayItLeavesBothProgramsWhole) {
  const std::string batch = WriteBatch(target_name_);
  const std::string download = ReadFileBytes(downloaded_);
  ExclusiveLock lock(old_);
  ASSERT_TRUE(lock.held());
  ScopedHandle process(StartReplaceBatch(batch, folder_));
  ASSERT_NE(process.get(), nullptr);
  WaitFor([&] { return Exists(Path(target_name_)); }, std::chrono::seconds(30));
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  ASSERT_TRUE(TerminateProcess(process.get(), 1));
  WaitForSingleObject(process.get(), 10000);
  lock.Release();
  EXPECT_EQ(ReadFileBytes(old_), "old program");
  EXPECT_TRUE(ReadFileBytes(Path(target_name_)) == download);
  EXPECT_TRUE(Exists(batch));
  EXPECT_FALSE(Exists(downloaded_));
}

TEST_F(ReplaceBatchTest, KeepsTheOldProgramWhenTheDownloadIsMissing) {
  fs::remove(U8Path(downloaded_));
  const std::string batch = WriteBatch(target_name_);
  RunFromElsewhere(batch);
  EXPECT_EQ(ReadFileBytes(old_), "old program");
  EXPECT_FALSE(Exists(Path(target_name_)));
  EXPECT_FALSE(Exists(batch));
  EXPECT_FALSE(Exists(PathText(dir_.path() / "started.txt")));
  EXPECT_FALSE(Exists(Path("started.txt")));
}

TEST_F(ReplaceBatchTest, WorksFromAnotherWorkingFolder) {
  const std::string batch = WriteBatch(target_name_);
  RunFromElsewhere(batch);
  EXPECT_FALSE(Exists(old_));
  EXPECT_TRUE(Exists(Path(target_name_)));
  EXPECT_FALSE(Exists(batch));
  EXPECT_FALSE(StartedAs().empty());
  EXPECT_FALSE(Exists(PathText(dir_.path() / "started.txt")));
  WaitUntilDeletable(Path(target_name_));
}

TEST_F(ReplaceBatchTest, ARenameThatFailsPutsTheOldProgramBackAndStartsIt) {
  // A runnable old program this time, so that starting it again can be seen.
  const std::string program = ReadFileBytes(OwnProgramPath());
  fs::remove(U8Path(old_));
  fs::copy_file(U8Path(OwnProgramPath()), U8Path(old_));
  // Longer than a file name may be: the rename to it fails.
  const std::string too_long = "Veltrane Dravenna v" + std::string(240, '7') + ".exe";
  const std::string batch = WriteBatch(too_long);
  RunFromElsewhere(batch);

  // The old program, whole (compared without printing a program file on failure).
  EXPECT_TRUE(ReadFileBytes(old_) == program);
  EXPECT_FALSE(Exists(downloaded_));
  EXPECT_FALSE(Exists(downloaded_ + ".old"));
  EXPECT_FALSE(Exists(batch));
  const std::string started_as = StartedAs();
  EXPECT_NE(AsciiUpper(started_as).find("\\VELTRANE DRAVENNA.EXE"), std::string::npos)
      << started_as;
  WaitUntilDeletable(old_);
}

TEST_F(ReplaceBatchTest, RefusesNamesItCannotWriteSafely) {
  EXPECT_THROW(
      WriteReplaceBatch(folder_, "Veltrane Dravenna.exe", "x\" & del *.* & \".exe", "1.exe"),
      std::runtime_error);
  // Not in code page 1251: it would reach the batch file as "?", a wildcard.
  EXPECT_THROW(WriteReplaceBatch(folder_, "Veltrane 程序.exe", target_name_, "1.exe"),
               std::runtime_error);
  EXPECT_FALSE(Exists(Path("delete.bat")));
  // Cyrillic is written in the ANSI code page.
  const std::string batch = WriteReplaceBatch(folder_, "Обновлялка.exe", target_name_, "-1");
  const std::string text = ReadFileBytes(batch);
  EXPECT_NE(text.find(ToAnsi("\"Обновлялка.exe\"")), std::string::npos);
  EXPECT_EQ(text.find("Обновлялка"), std::string::npos);
}

TEST_F(ReplaceBatchTest, ReplacingSelfReportsNamesItCannotCarryInsteadOfThrowing) {
  for (const std::string own :
       {"Veltrane & Dravenna.exe", "Veltrane 100%.exe", "Vel^trane.exe", "Veltrane 程序.exe"}) {
    EXPECT_FALSE(ReplaceBatchText(own, target_name_, "1.exe")) << own;
  }
  EXPECT_TRUE(ReplaceBatchText("Обновлялка.exe", target_name_, "1.exe"));
  // The running program's own replacement: nothing written, and this process goes on.
  const std::string beside = PathText(U8Path(OwnProgramPath()).parent_path() / "delete.bat");
  EXPECT_FALSE(win32::ReplaceSelfAndExit("Veltrane & Dravenna v1.2.7.exe", "1.exe"));
  EXPECT_FALSE(Exists(beside));
}

}  // namespace
}  // namespace veltrane::win32
