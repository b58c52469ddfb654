#include <windows.h>
#include <gtest/gtest.h>

// The players run a Russian Windows; the test prefix must have the same ANSI code page, or
// every Cyrillic text written to an INI or text file is tested in the wrong encoding.
TEST(WineLocale, AnsiCodePageIs1251) {
  EXPECT_EQ(GetACP(), 1251u);
}

#include "base/wide.h"

TEST(WineLocale, CyrillicMapsToSingleBytesInTheAnsiCodePage) {
  const std::string text = "Статус";
  const std::string ansi = veltrane::win32::ToAnsi(text);
  ASSERT_EQ(ansi.size(), 6u);
  EXPECT_EQ(static_cast<unsigned char>(ansi[0]), 0xD1);  // С in code page 1251
  EXPECT_EQ(veltrane::win32::FromAnsi(ansi), text);
}
