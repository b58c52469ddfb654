#include "app/replace_batch.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <set>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "base/u8path.h"
#include "temp_dir.h"

namespace veltrane::custom {
namespace {

namespace fs = std::filesystem;
using test::ReadFileBytes;
using test::TempDir;

TEST(SizeToText, CommaSeparatorTable) {
  EXPECT_EQ(SizeToText(0, ","), "0 Байт");
  EXPECT_EQ(SizeToText(1023, ","), "1023 Байт");
  EXPECT_EQ(SizeToText(1024, ","), "1 Кб");
  EXPECT_EQ(SizeToText(1088, ","), "1,062 Кб");  // 1.0625: the tie goes to the even digit
  EXPECT_EQ(SizeToText(1216, ","), "1,188 Кб");  // 1.1875: the even digit is above
  EXPECT_EQ(SizeToText(1536, ","), "1,5 Кб");
  EXPECT_EQ(SizeToText(5000, ","), "4,883 Кб");
  EXPECT_EQ(SizeToText(1048575, ","), "1023,999 Кб");
  EXPECT_EQ(SizeToText(1048576, ","), "1 Мб.");
  EXPECT_EQ(SizeToText(-1, ","), "-1 Байт");
  EXPECT_EQ(SizeToText(-5000, ","), "-5000 Байт");
  EXPECT_EQ(SizeToText(0.5, ","), "0,5 Байт");
}

TEST(SizeToText, PointSeparatorAndLargerUnits) {
  const double k = 1024;
  EXPECT_EQ(SizeToText(1536, "."), "1.5 Кб");
  EXPECT_EQ(SizeToText(1.5 * k * k, "."), "1.5 Мб.");
  EXPECT_EQ(SizeToText(k * k * k, "."), "1 Гб.");
  EXPECT_EQ(SizeToText(3.25 * std::pow(k, 4), "."), "3.25 Тб.");
  EXPECT_EQ(SizeToText(std::pow(k, 5), "."), "1 Пб.");
  EXPECT_EQ(SizeToText(std::pow(k, 6), "."), "1 Эб.");
  EXPECT_EQ(SizeToText(std::pow(k, 7), "."), "1 Зб.");
  EXPECT_EQ(SizeToText(1000 * std::pow(k, 8), "."), "1000 Иб.");
  // The largest double below 1024^9 still has a unit; it rounds to 1024.
  EXPECT_EQ(SizeToText(std::nextafter(std::pow(k, 9), 0.0), "."), "1024 Иб.");
  EXPECT_EQ(SizeToText(std::pow(k, 9), "."), "");
  EXPECT_EQ(SizeToText(1e40, "."), "");
  EXPECT_EQ(SizeToText(std::nan(""), "."), "");
  // The separator is used as given, whatever its length.
  EXPECT_EQ(SizeToText(1536, "::"), "1::5 Кб");
  // A count too large for 15 digits falls into exponent form.
  EXPECT_EQ(SizeToText(-1e20, ","), "-1E20 Байт");
  EXPECT_EQ(SizeToText(-1.5e20, ","), "-1,5E20 Байт");
  EXPECT_EQ(SizeToText(-123456789012345, ","), "-123456789012345 Байт");
}

TEST(FileSizeOf, NothingFolderAndEmptyFileGiveZero) {
  TempDir dir;
  EXPECT_EQ(FileSizeOf(dir.Sub("missing.jar")), 0);
  fs::create_directories(dir.path() / "folder");
  EXPECT_EQ(FileSizeOf(dir.Sub("folder")), 0);
  EXPECT_EQ(FileSizeOf(dir.Write("empty.jar", "")), 0);
}

TEST(FileSizeOf, CountsWhatIsRead) {
  TempDir dir;
  EXPECT_EQ(FileSizeOf(dir.Write("мод.jar", std::string(1000, 'x'))), 1000);
  // Larger than the read chunk and not a multiple of it.
  const std::string big = dir.Write("big.jar", "");
  const std::int64_t size = 25 * 1024 * 1024 + 17;
  fs::resize_file(U8Path(big), static_cast<std::uintmax_t>(size));
  EXPECT_EQ(FileSizeOf(big), size);
}

TEST(MoveFileTo, MovesAndRespectsKeepExisting) {
  TempDir dir;
  const std::string source = dir.Write("a.jar", "new");
  const std::string target = dir.Sub("mods/a.jar");
  fs::create_directories(dir.path() / "mods");
  EXPECT_TRUE(MoveFileTo(source, target, true));
  EXPECT_FALSE(fs::exists(U8Path(source)));
  EXPECT_EQ(ReadFileBytes(target), "new");

  // Keep-existing with a target in place: nothing is touched.
  const std::string second = dir.Write("a2.jar", "other");
  EXPECT_FALSE(MoveFileTo(second, target, true));
  EXPECT_EQ(ReadFileBytes(second), "other");
  EXPECT_EQ(ReadFileBytes(target), "new");

  // Without it the target is replaced.
  EXPECT_TRUE(MoveFileTo(second, target, false));
  EXPECT_FALSE(fs::exists(U8Path(second)));
  EXPECT_EQ(ReadFileBytes(target), "other");
}

TEST(MoveFileTo, FailuresGiveFalse) {
  TempDir dir;
  // No source: false, and nothing appears.
  EXPECT_FALSE(MoveFileTo(dir.Sub("none.jar"), dir.Sub("t.jar"), false));
  EXPECT_FALSE(fs::exists(dir.path() / "t.jar"));
  // A target that cannot be deleted (a folder with content) makes the move fail.
  const std::string source = dir.Write("s.jar", "s");
  dir.Write("busy.jar/inside", "x");
  EXPECT_FALSE(MoveFileTo(source, dir.Sub("busy.jar"), false));
  EXPECT_EQ(ReadFileBytes(source), "s");
  EXPECT_EQ(ReadFileBytes(dir.Sub("busy.jar/inside")), "x");
  // No folder for the target.
  EXPECT_FALSE(MoveFileTo(source, dir.Sub("no/such/folder.jar"), false));
  EXPECT_EQ(ReadFileBytes(source), "s");
}

#ifndef _WIN32
TEST(MoveFileTo, MovesAcrossVolumes) {
  std::error_code ec;
  const fs::path shm = "/dev/shm";
  TempDir dir;
  struct stat here {
  }, there{};
  if (stat(dir.path().c_str(), &here) != 0 || stat(shm.c_str(), &there) != 0 ||
      here.st_dev == there.st_dev) {
    GTEST_SKIP() << "no second volume";
  }
  const fs::path other = shm / ("veltrane-move-" + dir.path().filename().string());
  fs::create_directories(other);
  const std::string source = dir.Write("far.jar", std::string(300000, 'f'));
  const std::string target = PathText(other / "far.jar");
  const bool moved = MoveFileTo(source, target, false);
  const std::string content = ReadFileBytes(target);
  fs::remove_all(other, ec);
  EXPECT_TRUE(moved);
  EXPECT_FALSE(fs::exists(U8Path(source)));
  EXPECT_EQ(content, std::string(300000, 'f'));
}
#endif

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
  EXPECT_TRUE(IsPlainVersion("1.2.6.3"));
  EXPECT_TRUE(IsPlainVersion("1.3-beta2"));
  EXPECT_FALSE(IsPlainVersion(""));
  EXPECT_FALSE(IsPlainVersion("1.2 "));
  EXPECT_FALSE(IsPlainVersion("1.2\"&calc"));
  EXPECT_FALSE(IsPlainVersion("..\\x"));
  EXPECT_FALSE(IsPlainVersion("1,2"));
  EXPECT_FALSE(IsPlainVersion("1.2.6.3_"));
  EXPECT_FALSE(IsPlainVersion("версия"));

  EXPECT_TRUE(IsBatchSafeName("Veltrane Dravenna v1.2.6.4.exe"));
  EXPECT_TRUE(IsBatchSafeName("Обновление (2).exe"));
  for (const char* bad :
       {"", "a\"b.exe", "50%.exe", "a&b.exe", "a|b", "a<b", "a>b", "a^b", "a\\b.exe", "*.exe",
        "a?.exe", "a/b.exe", "C:x.exe", "a\rb", "a\nb", "a\tb"}) {
    EXPECT_FALSE(IsBatchSafeName(bad)) << bad;
  }
}

TEST(ReplaceBatch, FullReplacementLines) {
  // The old program is moved aside (retried while it is held), the new one takes the final
  // name, and only then is the old one deleted (retried as well); a failed rename puts the old
  // program back and starts it.
  const std::vector<std::string> expected = {
      "chcp 1251",
      "cd /d \"%~dp0\"",
      "if not exist \"12345.exe\" goto done",
      "if exist \"12345.exe.old\" del /q /f \"12345.exe.old\"",
      "set tries=0",
      ":retry",
      "if exist \"Veltrane Dravenna.exe\" ren \"Veltrane Dravenna.exe\" \"12345.exe.old\"",
      "if not exist \"Veltrane Dravenna.exe\" goto replace",
      "set /a tries+=1",
      "if %tries% geq 30 goto abandon",
      "ping -n 2 127.0.0.1 >nul",
      "goto retry",
      ":replace",
      "if exist \"Veltrane Dravenna v1.3.exe\" del /q /f \"Veltrane Dravenna v1.3.exe\"",
      "ren \"12345.exe\" \"Veltrane Dravenna v1.3.exe\"",
      "if not exist \"12345.exe\" goto placed",
      "ren \"12345.exe.old\" \"Veltrane Dravenna.exe\"",
      "del /q /f \"12345.exe\"",
      "start \"Veltrane Dravenna.exe\" \"Veltrane Dravenna.exe\"",
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
  const auto lines =
      ReplaceBatchLines("Veltrane Dravenna.exe", "Veltrane Dravenna v1.3.exe", "12345.exe");
  EXPECT_EQ(lines, expected);
  for (const std::string& line : lines) {
    for (char c : line) EXPECT_TRUE(static_cast<unsigned char>(c) < 0x80) << line;
  }
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
}  // namespace veltrane::custom
