#include <windows.h>
#include <gtest/gtest.h>

#include <string>

#include "base/environment.h"
#include "base/regional.h"
#include "base/size_text.h"
#include "system_helpers.h"

namespace veltrane::win32 {
namespace {

using test::Environment;

TEST(SystemText, SizeTextFollowsTheUsersSeparator) {
  EXPECT_EQ(UserDecimalSeparator(), ",");  // the test prefix is Russian
  EXPECT_EQ(SizeToText(1088), "1,062 Кб");
  EXPECT_EQ(SizeToText(1048575), "1023,999 Кб");
  EXPECT_EQ(SizeToText(-1), "-1 Байт");
  EXPECT_EQ(veltrane::SizeToText(1088, "."), "1.062 Кб");
}

TEST(SystemText, ExpandEnvText) {
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

}  // namespace
}  // namespace veltrane::win32
