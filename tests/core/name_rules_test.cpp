#include <gtest/gtest.h>

#include <set>

#include "app/replace_batch.h"
#include "base/ascii.h"
#include "base/process_names.h"
#include "base/random_digits.h"

namespace veltrane {
namespace {

using app::IsBatchSafeName;
using app::IsPlainVersion;

TEST(RandomDigits, LengthAndAlphabet) {
  EXPECT_EQ(RandomDigits(0), "");
  const std::string twenty = RandomDigits(20);
  EXPECT_EQ(twenty.size(), 20u);
  EXPECT_EQ(RandomDigits(255).size(), 255u);
  std::set<char> seen;
  for (int i = 0; i < 20; ++i) {
    for (char c : RandomDigits(255)) {
      ASSERT_TRUE(c >= '0' && c <= '9') << c;
      seen.insert(c);
    }
  }
  EXPECT_EQ(seen.size(), 10u);  // 5100 draws: every digit shows up
  EXPECT_NE(RandomDigits(20), RandomDigits(20));
}

TEST(NameRules, FoldingTouchesOnlyLatinLetters) {
  EXPECT_EQ(AsciiUpper("javaw.exe"), "JAVAW.EXE");
  EXPECT_EQ(AsciiLower("JaVaW.EXE"), "javaw.exe");
  EXPECT_EQ(AsciiUpper("мод-ä_1.jar"), "мод-ä_1.JAR");
  EXPECT_EQ(AsciiLower("МОД.JAR"), "МОД.jar");
  EXPECT_EQ(AsciiUpper('{'), '{');
  EXPECT_EQ(AsciiLower('@'), '@');
}

TEST(NameRules, ProcessNameMatchIsAFoldedPrefix) {
  EXPECT_TRUE(ProcessNameMatches("javaw.exe", "javaw.exe"));
  EXPECT_TRUE(ProcessNameMatches("javaw.exe", "JAVAW.EXE"));
  EXPECT_TRUE(ProcessNameMatches("JavaW.exe", "javaw.exe"));
  EXPECT_TRUE(ProcessNameMatches("C:\\Program Files\\Java\\bin\\javaw.exe", "javaw.exe"));
  EXPECT_TRUE(ProcessNameMatches("javaw.exe.old", "javaw.exe"));  // cut to the name's length
  EXPECT_TRUE(ProcessNameMatches("anything.exe", ""));
  EXPECT_FALSE(ProcessNameMatches("java.exe", "javaw.exe"));
  EXPECT_FALSE(ProcessNameMatches("javaw", "javaw.exe"));
  EXPECT_FALSE(ProcessNameMatches("C:\\javaw.exe\\other.exe", "javaw.exe"));
  EXPECT_FALSE(ProcessNameMatches("жава.exe", "ЖАВА.exe"));  // Cyrillic is not folded
}

TEST(NameRules, PlainVersionAndBatchSafeNames) {
  for (const char* good : {"1.2.6.3", "1.3-beta2"}) EXPECT_TRUE(IsPlainVersion(good)) << good;
  for (const char* bad : {"", "1.2 ", "1.2\"&calc", "..\\x", "1,2", "1.2.6.3_", "версия"}) {
    EXPECT_FALSE(IsPlainVersion(bad)) << bad;
  }

  EXPECT_TRUE(IsBatchSafeName("Veltrane Dravenna v1.2.6.4.exe"));
  EXPECT_TRUE(IsBatchSafeName("Обновление (2).exe"));
  for (const char* bad :
       {"", "a\"b.exe", "50%.exe", "a&b.exe", "a|b", "a<b", "a>b", "a^b", "a\\b.exe", "*.exe",
        "a?.exe", "a/b.exe", "C:x.exe", "a\rb", "a\nb", "a\tb"}) {
    EXPECT_FALSE(IsBatchSafeName(bad)) << bad;
  }
}

}  // namespace
}  // namespace veltrane
