#pragma once
// Behaviour every IniStore shares, whoever reads and writes the file. A test program includes
// this once and instantiates the suite with the stores it can build:
//   INSTANTIATE_TEST_SUITE_P(Name, IniContract, ::testing::Values(IniStoreMaker{...}), MakerName);
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/ini_store.h"
#include "base/u8path.h"
#include "temp_dir.h"

namespace veltrane::test {

struct IniStoreMaker {
  std::string name;
  std::function<std::unique_ptr<app::IniStore>(const std::string& path)> make;
  // The bytes this store's files hold for a UTF-8 text (the file's code page).
  std::function<std::string(std::string_view utf8)> file_bytes;
};

inline void PrintTo(const IniStoreMaker& maker, std::ostream* out) {
  *out << maker.name;
}

inline std::string MakerName(const ::testing::TestParamInfo<IniStoreMaker>& info) {
  return info.param.name;
}

class IniContract : public ::testing::TestWithParam<IniStoreMaker> {
 protected:
  std::unique_ptr<app::IniStore> Store(const std::string& path) const {
    return GetParam().make(path);
  }
  // A file written byte for byte, in the store's code page.
  std::string WriteFile(const std::string& name, std::string_view utf8) const {
    return dir_.Write(name, GetParam().file_bytes(utf8));
  }
  static bool Exists(const std::string& path) { return std::filesystem::exists(U8Path(path)); }

  TempDir dir_;
};

TEST_P(IniContract, AbsentFileSectionOrKeyGivesTheDefaultAndCreatesNothing) {
  const std::string missing = dir_.Sub("missing.ini");
  const auto store = Store(missing);
  EXPECT_EQ(store->ReadString("Settings", "Turbo", "dflt"), "dflt");
  EXPECT_EQ(store->ReadString("Settings", "Turbo", "dflt  "), "dflt");  // trailing spaces go
  EXPECT_TRUE(store->ReadKeys("Settings").empty());
  EXPECT_FALSE(Exists(missing));

  const std::string present = WriteFile("present.ini", "[A]\r\nx=1\r\n");
  const auto other = Store(present);
  EXPECT_EQ(other->ReadString("B", "x", "d"), "d");
  EXPECT_EQ(other->ReadString("A", "y", "d"), "d");
  EXPECT_TRUE(other->ReadKeys("B").empty());
  EXPECT_EQ(ReadFileBytes(present), GetParam().file_bytes("[A]\r\nx=1\r\n"));
}

TEST_P(IniContract, WriteCreatesTheFileAndAnotherStoreReadsIt) {
  const std::string path = dir_.Sub("Settings.ini");
  Store(path)->WriteString("Settings", "GameFolder", "C:\\Games\\mc");
  ASSERT_TRUE(Exists(path));
  const auto reader = Store(path);
  EXPECT_EQ(reader->Path(), path);
  EXPECT_EQ(reader->ReadString("Settings", "GameFolder", ""), "C:\\Games\\mc");
  EXPECT_EQ(reader->ReadKeys("Settings"), std::vector<std::string>{"GameFolder"});
}

TEST_P(IniContract, NamesMatchWithoutRegardToCase) {
  const auto store = Store(dir_.Sub("case.ini"));
  store->WriteString("Settings", "GameFolder", "one");
  EXPECT_EQ(store->ReadString("SETTINGS", "gamefolder", ""), "one");
  store->WriteString("settings", "GAMEFOLDER", "two");
  EXPECT_EQ(store->ReadString("Settings", "GameFolder", ""), "two");
  // Replaced, not added: the key keeps its first spelling.
  EXPECT_EQ(store->ReadKeys("Settings"), std::vector<std::string>{"GameFolder"});
}

TEST_P(IniContract, BlanksAndMatchingQuotesAroundValuesAreDropped) {
  const auto store = Store(WriteFile("blanks.ini",
                                     "  [ Update ]  \r\n"
                                     "  lastversion \t=  1.2.6.3 \t\r\n"
                                     "spaced = a  b \r\n"
                                     "dq=\"quoted text\"\r\n"
                                     "sq= 'single' \r\n"
                                     "inner=\" kept \"\r\n"
                                     "mixed=\"open'\r\n"
                                     "lone=\"\r\n"
                                     "empty=\"\"\r\n"
                                     "nothing=\r\n"));
  EXPECT_EQ(store->ReadString("Update", "lastversion", ""), "1.2.6.3");
  EXPECT_EQ(store->ReadString("Update", " lastversion ", ""), "1.2.6.3");
  EXPECT_EQ(store->ReadString("Update", "spaced", ""), "a  b");
  EXPECT_EQ(store->ReadString("Update", "dq", ""), "quoted text");
  EXPECT_EQ(store->ReadString("Update", "sq", ""), "single");
  EXPECT_EQ(store->ReadString("Update", "inner", ""), " kept ");
  EXPECT_EQ(store->ReadString("Update", "mixed", ""), "\"open'");
  EXPECT_EQ(store->ReadString("Update", "lone", ""), "\"");
  // Present but empty is not absent: the default does not apply.
  EXPECT_EQ(store->ReadString("Update", "empty", "d"), "");
  EXPECT_EQ(store->ReadString("Update", "nothing", "d"), "");
}

TEST_P(IniContract, CommentsBareLinesAndLineEndingsOfEveryKind) {
  const auto store = Store(WriteFile("lines.ini",
                                     "[modlist]\n"
                                     "; a comment=1\r\n"
                                     "no equals sign\r"
                                     "Count=2\r"
                                     "mod1=a.jar\n"
                                     "[dellist] trailing words\r\n"
                                     "Count=1\r\n"
                                     "[broken\r\n"
                                     "mod1=b.jar"));
  EXPECT_EQ(store->ReadKeys("modlist"), (std::vector<std::string>{"Count", "mod1"}));
  EXPECT_EQ(store->ReadString("modlist", "no equals sign", "d"), "d");
  EXPECT_EQ(store->ReadString("modlist", "mod1", ""), "a.jar");
  // A header without its closing bracket opens nothing: its lines stay in the section above.
  EXPECT_EQ(store->ReadKeys("dellist"), (std::vector<std::string>{"Count", "mod1"}));
  EXPECT_EQ(store->ReadString("dellist", "mod1", ""), "b.jar");
}

TEST_P(IniContract, TheFirstOfRepeatedKeysAndSectionsCounts) {
  const auto store = Store(WriteFile("repeat.ini",
                                     "[S]\r\nk=first\r\nK=second\r\n[T]\r\nt=1\r\n"
                                     "[S]\r\nk=third\r\nlate=1\r\n"));
  EXPECT_EQ(store->ReadString("S", "k", ""), "first");
  EXPECT_EQ(store->ReadString("S", "late", "d"), "d");
  EXPECT_EQ(store->ReadKeys("S"), (std::vector<std::string>{"k", "K"}));
}

TEST_P(IniContract, LongValuesReadBackCutTo2047Characters) {
  const std::string path = dir_.Sub("long.ini");
  const auto store = Store(path);
  const std::string latin(3000, 'x');
  store->WriteString("Settings", "WhiteList", latin);
  EXPECT_EQ(store->ReadString("Settings", "WhiteList", ""), latin.substr(0, 2047));
  EXPECT_NE(ReadFileBytes(path).find(latin), std::string::npos);  // stored in full

  std::string cyrillic;
  for (int i = 0; i < 2100; ++i) cyrillic += "ж";
  store->WriteString("Settings", "WhiteList", cyrillic);
  EXPECT_EQ(store->ReadString("Settings", "WhiteList", ""), cyrillic.substr(0, 2047 * 2));
  EXPECT_EQ(store->ReadString("Settings", "Missing", latin), latin.substr(0, 2047));
}

TEST_P(IniContract, ReplacingAValueKeepsEverythingElse) {
  const std::string path = WriteFile("keep.ini", "[A]\r\na=1\r\nb=2\r\n\r\n[B]\r\na=3\r\n");
  const auto store = Store(path);
  store->WriteString("A", "a", "9");
  store->WriteString("A", "c", "new");
  store->WriteString("C", "x", "fresh");
  EXPECT_EQ(store->ReadString("A", "a", ""), "9");
  EXPECT_EQ(store->ReadString("A", "b", ""), "2");
  EXPECT_EQ(store->ReadString("A", "c", ""), "new");
  EXPECT_EQ(store->ReadString("B", "a", ""), "3");
  EXPECT_EQ(store->ReadString("B", "c", "d"), "d");
  EXPECT_EQ(store->ReadString("C", "x", ""), "fresh");
  EXPECT_EQ(store->ReadKeys("A"), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(store->ReadKeys("B"), std::vector<std::string>{"a"});
}

TEST_P(IniContract, CyrillicTextRoundTripsInTheFileCodePage) {
  const std::string path = dir_.Sub("ru.ini");
  const std::string folder = "C:\\Игры\\Майнкрафт";
  Store(path)->WriteString("Settings", "GameFolder", folder);
  EXPECT_EQ(Store(path)->ReadString("Settings", "GameFolder", ""), folder);
  EXPECT_NE(ReadFileBytes(path).find(GetParam().file_bytes(folder)), std::string::npos);
}

TEST_P(IniContract, UnicodeFilesWithAByteOrderMarkStayUnicode) {
  // "[S]\r\nx=Д\r\n" in UTF-16 little-endian.
  const std::string utf16("\xFF\xFE[\0S\0]\0\r\0\n\0x\0=\0\x14\x04\r\0\n\0", 22);
  const std::string path = dir_.Write("utf16.ini", utf16);
  const auto store = Store(path);
  EXPECT_EQ(store->ReadString("S", "x", ""), "Д");
  store->WriteString("S", "y", "Ж");
  EXPECT_EQ(store->ReadString("S", "y", ""), "Ж");
  const std::string bytes = ReadFileBytes(path);
  EXPECT_TRUE(bytes.starts_with("\xFF\xFE"));
  EXPECT_NE(bytes.find(std::string("y\0=\0\x16\x04", 6)), std::string::npos);

  const std::string utf8_path = dir_.Write("utf8.ini", "\xEF\xBB\xBF[S]\r\nx=Д\r\n");
  EXPECT_EQ(Store(utf8_path)->ReadString("S", "x", ""), "Д");
}

TEST_P(IniContract, AFileDeletedBetweenCallsReadsAsAbsent) {
  const std::string path = dir_.Sub("Update.ini");
  const auto store = Store(path);
  store->WriteString("modlist", "Count", "2");
  EXPECT_EQ(store->ReadString("modlist", "Count", "0"), "2");
  std::filesystem::remove(U8Path(path));
  EXPECT_EQ(store->ReadString("modlist", "Count", "0"), "0");
  EXPECT_TRUE(store->ReadKeys("modlist").empty());
  // A file put in its place is read as it is now.
  WriteFile("Update.ini", "[modlist]\r\nCount=5\r\n");
  EXPECT_EQ(store->ReadString("modlist", "Count", "0"), "5");
  std::filesystem::remove(U8Path(path));
  store->WriteString("dellist", "Count", "1");
  EXPECT_EQ(store->ReadKeys("modlist"), std::vector<std::string>{});
  EXPECT_EQ(store->ReadString("dellist", "Count", "0"), "1");
}

TEST_P(IniContract, KeysAreListedInFileOrder) {
  const auto store = Store(WriteFile("order.ini",
                                     "[modlist]\r\nmod2=b\r\nCount=2\r\nmod1=a\r\n"
                                     "[Other]\r\nzz=1\r\n"));
  EXPECT_EQ(store->ReadKeys("MODLIST"), (std::vector<std::string>{"mod2", "Count", "mod1"}));
  store->WriteString("modlist", "mod3", "c");
  EXPECT_EQ(store->ReadKeys("modlist"),
            (std::vector<std::string>{"mod2", "Count", "mod1", "mod3"}));
  EXPECT_EQ(store->ReadKeys("Other"), std::vector<std::string>{"zz"});
}

TEST_P(IniContract, ASectionReadsWholeAsReadStringReadsEachKey) {
  const std::string long_value(3000, 'x');
  const auto store = Store(WriteFile("section.ini",
                                     "[Update]\r\nlastversion=1\r\n"
                                     "[modlist]\r\n"
                                     "; a comment=1\r\n"
                                     "no equals sign\r\n"
                                     "  Count  =  \"3\"  \r\n"
                                     "mod1= 'Мод с пробелом.jar' \r\n"
                                     "MOD1=second.jar\r\n"
                                     "eq=a=b\r\n"
                                     "blank=\r\n"
                                     "long=" +
                                         long_value +
                                         "\r\n"
                                         "\r\n[dellist]\r\nmod1=old.jar\r\n"
                                         "[ModList]\r\nlate=1\r\n"));
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"Count", "3"}, {"mod1", "Мод с пробелом.jar"},      {"MOD1", "second.jar"}, {"eq", "a=b"},
      {"blank", ""},  {"long", long_value.substr(0, 2047)}};
  const auto section = store->ReadSection("MODLIST");
  EXPECT_EQ(section, expected);
  // The same names as the key list, and the first entry of a name is what ReadString gives.
  std::vector<std::string> names;
  for (const auto& [name, value] : section) names.push_back(name);
  EXPECT_EQ(names, store->ReadKeys("modlist"));
  for (const auto& [name, value] : section) {
    if (name != "MOD1") {
      EXPECT_EQ(store->ReadString("modlist", name, "d"), value) << name;
    }
  }
  EXPECT_EQ(store->ReadString("modlist", "MOD1", "d"), "Мод с пробелом.jar");

  EXPECT_EQ(store->ReadSection("dellist"),
            (std::vector<std::pair<std::string, std::string>>{{"mod1", "old.jar"}}));
  EXPECT_TRUE(store->ReadSection("absent").empty());
  EXPECT_TRUE(Store(dir_.Sub("missing.ini"))->ReadSection("modlist").empty());
  EXPECT_FALSE(Exists(dir_.Sub("missing.ini")));

  // "[S]\r\nx=Д\r\n" in UTF-16 little-endian.
  const std::string utf16("\xFF\xFE[\0S\0]\0\r\0\n\0x\0=\0\x14\x04\r\0\n\0", 22);
  EXPECT_EQ(Store(dir_.Write("utf16.ini", utf16))->ReadSection("S"),
            (std::vector<std::pair<std::string, std::string>>{{"x", "Д"}}));
}

TEST_P(IniContract, AWriteThatCannotHappenThrowsWithThePath) {
  const std::string native_path = PathText(dir_.path() / "no such folder" / "Settings.ini");
  const auto store = Store(native_path);
  EXPECT_EQ(store->Path(), native_path);
  try {
    store->WriteString("Settings", "Turbo", "1");
    ADD_FAILURE() << "no error for " << native_path;
  } catch (const app::IniWriteError& error) {
    EXPECT_EQ(std::string(error.what()), "Unable to write to " + store->Path());
  }
  EXPECT_FALSE(std::filesystem::exists(dir_.path() / "no such folder"));
}

}  // namespace veltrane::test
