#include "app/self_replace.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

#include "base/ascii.h"
#include "base/file_ops.h"
#include "base/size_text.h"
#include "base/u8path.h"
#include "base/wide.h"
#include "temp_dir.h"

namespace veltrane::win32 {
namespace {

namespace fs = std::filesystem;
using test::ReadFileBytes;
using test::TempDir;

constexpr wchar_t kMarkerVariable[] = L"VELTRANE_ALLINONE_MARK";

// A copy of this program started by a replacement batch file under test only leaves a mark in
// its working folder and ends, before any test runs.
[[maybe_unused]] const bool kMarkerMode = [] {
  wchar_t name[128] = {};
  if (GetEnvironmentVariableW(kMarkerVariable, name, 128) == 0) return false;
  const HANDLE file =
      CreateFileW(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    const std::string own = OwnProgramPath();
    DWORD written = 0;
    WriteFile(file, own.data(), static_cast<DWORD>(own.size()), &written, nullptr);
    CloseHandle(file);
  }
  ExitProcess(0);
}();

bool WaitFor(const std::function<bool()>& done, std::chrono::seconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return true;
}

bool Exists(const std::string& path) {
  std::error_code ec;
  return fs::exists(U8Path(path), ec);
}

std::string Environment(const wchar_t* name) {
  wchar_t buffer[1024] = {};
  const DWORD length = GetEnvironmentVariableW(name, buffer, 1024);
  return Narrow(std::wstring_view(buffer, length));
}

// Opens a file so that nobody else may read, write or delete it while this object lives.
class ExclusiveLock {
 public:
  explicit ExclusiveLock(const std::string& path)
      : handle_(CreateFileW(Widen(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr)) {}
  ~ExclusiveLock() { Release(); }
  ExclusiveLock(const ExclusiveLock&) = delete;
  ExclusiveLock& operator=(const ExclusiveLock&) = delete;
  bool held() const { return handle_ != INVALID_HANDLE_VALUE; }
  void Release() {
    if (held()) CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
  }

 private:
  HANDLE handle_;
};

TEST(AllInOneWin32, SizeTextFollowsTheUsersSeparator) {
  EXPECT_EQ(UserDecimalSeparator(), ",");  // the test prefix is Russian
  EXPECT_EQ(SizeToText(1088), "1,062 Кб");
  EXPECT_EQ(SizeToText(1048575), "1023,999 Кб");
  EXPECT_EQ(SizeToText(-1), "-1 Байт");
  EXPECT_EQ(veltrane::SizeToText(1088, "."), "1.062 Кб");
}

TEST(AllInOneWin32, ExpandEnvText) {
  const std::string appdata = ExpandEnvText("%appdata%");
  EXPECT_FALSE(appdata.empty());
  EXPECT_EQ(appdata, Environment(L"APPDATA"));
  EXPECT_EQ(ExpandEnvText("%appdata%\\Pellwick\\Veltrane"), appdata + "\\Pellwick\\Veltrane");
  EXPECT_EQ(ExpandEnvText("C:\\Игры\\mods"), "C:\\Игры\\mods");
  EXPECT_EQ(ExpandEnvText("%VELTRANE_NOT_DEFINED%\\x"), "%VELTRANE_NOT_DEFINED%\\x");

  ASSERT_TRUE(SetEnvironmentVariableW(L"VELTRANE_TEST_FOLDER", L"Папка"));
  EXPECT_EQ(ExpandEnvText("%VELTRANE_TEST_FOLDER%\\Моды"), "Папка\\Моды");
  // 255 characters fit the buffer with its terminator; 256 do not.
  ASSERT_TRUE(SetEnvironmentVariableW(L"VELTRANE_TEST_FOLDER", std::wstring(250, L'x').c_str()));
  EXPECT_EQ(ExpandEnvText("%VELTRANE_TEST_FOLDER%abcde"), std::string(250, 'x') + "abcde");
  EXPECT_EQ(ExpandEnvText("%VELTRANE_TEST_FOLDER%abcdef"), "");
  SetEnvironmentVariableW(L"VELTRANE_TEST_FOLDER", nullptr);
}

TEST(AllInOneWin32, FileRoutinesOnLockedFiles) {
  TempDir dir;
  const std::string locked = dir.Write("held.jar", "content");
  ExclusiveLock lock(locked);
  ASSERT_TRUE(lock.held());
  EXPECT_THROW(FileSizeOf(locked), FileReadError);

  // A target in use cannot be deleted, so the move fails and the source stays.
  const std::string source = dir.Write("new.jar", "new");
  EXPECT_FALSE(MoveFileTo(source, locked, false));
  EXPECT_EQ(ReadFileBytes(source), "new");
  lock.Release();
  EXPECT_EQ(FileSizeOf(locked), 7);
  EXPECT_TRUE(MoveFileTo(source, locked, false));
  EXPECT_EQ(ReadFileBytes(locked), "new");
}

TEST(AllInOneWin32, RunCommandLineStartsAProcess) {
  TempDir dir;
  const std::string marker = dir.Sub("ran.txt");
  RunCommandLine("cmd /c echo ok> \"" + marker + "\"", SW_HIDE);
  ASSERT_TRUE(WaitFor([&] { return ReadFileBytes(marker).size() >= 2; }, std::chrono::seconds(20)));
  EXPECT_EQ(ReadFileBytes(marker).substr(0, 2), "ok");
}

TEST(AllInOneWin32, RunCommandLineFailures) {
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

TEST(AllInOneWin32, IsProcessRunningMatchesFoldedPrefixes) {
  const std::string own = PathText(U8Path(OwnProgramPath()).filename());
  EXPECT_TRUE(IsProcessRunning(AsciiUpper(own)));
  EXPECT_TRUE(IsProcessRunning(AsciiLower(own.substr(0, 5))));
  EXPECT_TRUE(IsProcessRunning(""));
  EXPECT_FALSE(IsProcessRunning("veltrane-no-such-process-4711.exe"));
}

class ActivateTest : public ::testing::Test {
 protected:
  static constexpr wchar_t kMainClass[] = L"VeltraneAllInOneTestMain";
  static constexpr wchar_t kOwnerClass[] = L"VeltraneAllInOneTestOwner";

  void SetUp() override {
    for (const wchar_t* name : {kMainClass, kOwnerClass}) {
      WNDCLASSW wc{};
      wc.lpfnWndProc = DefWindowProcW;
      wc.hInstance = GetModuleHandleW(nullptr);
      wc.lpszClassName = name;
      RegisterClassW(&wc);
    }
  }
  void TearDown() override {
    if (main_ != nullptr) DestroyWindow(main_);
    if (owner_ != nullptr) DestroyWindow(owner_);
  }
  // Windows need a display (Xvfb under the test runner).
  static bool NoDisplay() { return Environment(L"DISPLAY").empty(); }
  HWND Create(const wchar_t* class_name, HWND owner) {
    return CreateWindowExW(0, class_name, L"Окно", WS_OVERLAPPEDWINDOW, 10, 10, 300, 200, owner,
                           nullptr, GetModuleHandleW(nullptr), nullptr);
  }

  HWND main_ = nullptr;
  HWND owner_ = nullptr;
};

TEST_F(ActivateTest, NoWindowOfTheClass) {
  EXPECT_EQ(FindAndActivate("VeltraneAllInOneNoSuchClass"), nullptr);
  EXPECT_FALSE(ActivateRunningCopy("VeltraneAllInOneNoSuchClass"));
}

TEST_F(ActivateTest, RestoresTheOwnerAndActivatesTheWindow) {
  if (NoDisplay()) GTEST_SKIP() << "no display to create windows on";
  owner_ = Create(kOwnerClass, nullptr);
  main_ = Create(kMainClass, owner_);
  ASSERT_NE(owner_, nullptr);
  ASSERT_NE(main_, nullptr);
  ShowWindow(owner_, SW_SHOWMINIMIZED);
  ShowWindow(main_, SW_SHOW);
  ASSERT_TRUE(IsIconic(owner_));

  EXPECT_EQ(FindAndActivate("VeltraneAllInOneTestMain"), main_);
  EXPECT_FALSE(IsIconic(owner_));
  EXPECT_TRUE(IsWindowVisible(owner_));
  EXPECT_EQ(GetForegroundWindow(), main_);
}

TEST_F(ActivateTest, RestoresAWindowWithoutOwner) {
  if (NoDisplay()) GTEST_SKIP() << "no display to create windows on";
  main_ = Create(kMainClass, nullptr);
  ASSERT_NE(main_, nullptr);
  ShowWindow(main_, SW_SHOWMINIMIZED);
  ASSERT_TRUE(IsIconic(main_));
  EXPECT_EQ(FindAndActivate("VeltraneAllInOneTestMain"), main_);
  EXPECT_FALSE(IsIconic(main_));
  EXPECT_TRUE(IsWindowVisible(main_));
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

  // Runs the batch file through cmd from another working folder and waits for it.
  void RunFromElsewhere(const std::string& batch) {
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    // cmd echoes every line; keep that out of the test log.
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    const HANDLE null_device =
        CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    &inherit, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(null_device, INVALID_HANDLE_VALUE);
    startup.dwFlags |= STARTF_USESTDHANDLES;
    startup.hStdInput = startup.hStdOutput = startup.hStdError = null_device;
    PROCESS_INFORMATION process{};
    std::wstring command = L"cmd /c \"" + Widen(batch) + L"\"";
    const std::wstring elsewhere = dir_.path().wstring();
    const BOOL started = CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                        elsewhere.c_str(), &startup, &process);
    CloseHandle(null_device);
    ASSERT_TRUE(started);
    EXPECT_EQ(WaitForSingleObject(process.hProcess, 120000), WAIT_OBJECT_0);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
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
  const std::string batch =
      WriteReplaceBatch(folder_, "Veltrane Dravenna.exe", target_name_, "48213907561234567890.exe");
  EXPECT_EQ(batch, Path("delete.bat"));
  const std::string text = ReadFileBytes(batch);
  EXPECT_EQ(text.substr(0, 11), "chcp 1251\r\n");
  EXPECT_NE(text.find("ren \"48213907561234567890.exe\" \"" + target_name_ + "\"\r\n"),
            std::string::npos);

  // The old program still holds its file for a few seconds after the batch file starts.
  ExclusiveLock lock(old_);
  ASSERT_TRUE(lock.held());
  const HANDLE process = StartReplaceBatch(batch, folder_);
  ASSERT_NE(process, nullptr);
  std::this_thread::sleep_for(std::chrono::seconds(3));
  EXPECT_TRUE(Exists(old_));
  EXPECT_TRUE(Exists(downloaded_));
  lock.Release();
  EXPECT_EQ(WaitForSingleObject(process, 120000), WAIT_OBJECT_0);
  CloseHandle(process);

  EXPECT_FALSE(Exists(old_));
  EXPECT_FALSE(Exists(downloaded_));
  EXPECT_TRUE(Exists(Path(target_name_)));
  EXPECT_FALSE(Exists(batch));
  // The new program was started, in its own folder, from its final name.
  ASSERT_TRUE(WaitFor([&] { return !ReadFileBytes(Path("started.txt")).empty(); },
                      std::chrono::seconds(30)));
  const std::string started_as = ReadFileBytes(Path("started.txt"));
  EXPECT_NE(AsciiUpper(started_as).find(AsciiUpper(target_name_)),
            std::string::npos)
      << started_as;
  WaitUntilDeletable(Path(target_name_));
}

TEST_F(ReplaceBatchTest, KeepsTheOldProgramWhenTheDownloadIsMissing) {
  fs::remove(U8Path(downloaded_));
  const std::string batch =
      WriteReplaceBatch(folder_, "Veltrane Dravenna.exe", target_name_, "48213907561234567890.exe");
  RunFromElsewhere(batch);
  EXPECT_EQ(ReadFileBytes(old_), "old program");
  EXPECT_FALSE(Exists(Path(target_name_)));
  EXPECT_FALSE(Exists(batch));
  EXPECT_FALSE(Exists(PathText(dir_.path() / "started.txt")));
  EXPECT_FALSE(Exists(Path("started.txt")));
}

TEST_F(ReplaceBatchTest, WorksFromAnotherWorkingFolder) {
  const std::string batch =
      WriteReplaceBatch(folder_, "Veltrane Dravenna.exe", target_name_, "48213907561234567890.exe");
  RunFromElsewhere(batch);
  EXPECT_FALSE(Exists(old_));
  EXPECT_TRUE(Exists(Path(target_name_)));
  EXPECT_FALSE(Exists(batch));
  EXPECT_TRUE(WaitFor([&] { return !ReadFileBytes(Path("started.txt")).empty(); },
                      std::chrono::seconds(30)));
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
  const std::string batch =
      WriteReplaceBatch(folder_, "Veltrane Dravenna.exe", too_long, "48213907561234567890.exe");
  RunFromElsewhere(batch);

  // The old program, whole (compared without printing a program file on failure).
  EXPECT_TRUE(ReadFileBytes(old_) == program);
  EXPECT_FALSE(Exists(downloaded_));
  EXPECT_FALSE(Exists(downloaded_ + ".old"));
  EXPECT_FALSE(Exists(batch));
  ASSERT_TRUE(WaitFor([&] { return !ReadFileBytes(Path("started.txt")).empty(); },
                      std::chrono::seconds(30)));
  const std::string started_as = ReadFileBytes(Path("started.txt"));
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
