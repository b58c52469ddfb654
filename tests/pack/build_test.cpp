#include <gtest/gtest.h>

#include "net/manifest.h"
#include "net/manifest_signature.h"
#include "net/manifest_terms.h"
#include "pack_fixture.h"
#include "pack_rules.h"

namespace veltrane::pack {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

std::vector<std::string> Names(const net::ManifestList& list) {
  std::vector<std::string> names;
  for (const auto& entry : list.entries) names.push_back(entry.name);
  return names;
}

std::string Repeat(std::string_view text, std::size_t times) {
  std::string out;
  for (std::size_t i = 0; i < times; ++i) out += text;
  return out;
}

class BuildTest : public PackTest {
 protected:
  void PreviousManifest(const std::string& text) { Put("Update", text); }
  RunResult Build(std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {"build", Srv()};
    args.insert(args.end(), extra.begin(), extra.end());
    return Run(args);
  }
};

TEST_F(BuildTest, ListedModsKeepTheirOrderAndNewOnesFollowSorted) {
  PreviousManifest("[modlist]\r\nCount=3\r\nmod1=zeta.jar\r\nmod2=alpha.jar\r\nmod3=gone.jar\r\n");
  for (const auto* name : {"alpha.jar", "zeta.jar", "new-b.jar", "new-a.jar"}) Mod(name);
  ASSERT_EQ(Build().code, 0);
  EXPECT_EQ(Names(net::ReadModList(Manifest())),
            (std::vector<std::string>{"zeta.jar", "alpha.jar", "new-a.jar", "new-b.jar"}));
}

TEST_F(BuildTest, RemovalListKeepsTheOldAddsDroppedModsAndForgetsReturnedOnes) {
  // old.jar comes back in other letter case and "kept.jar. " is kept.jar to Windows: the same
  // files, so they must not be removed; dropped.jar left the folder.
  PreviousManifest(
      "[modlist]\r\nCount=2\r\nmod1=kept.jar\r\nmod2=dropped.jar\r\n"
      "[dellist]\r\nCount=3\r\nmod1=ancient.jar\r\nmod2=old.jar\r\nmod3=\"kept.jar. \"\r\n");
  Mod("kept.jar");
  Mod("OLD.jar");
  ASSERT_EQ(Build().code, 0);
  EXPECT_EQ(Names(net::ReadDelList(Manifest())),
            (std::vector<std::string>{"ancient.jar", "dropped.jar"}));
}

TEST_F(BuildTest, SizesAndHashesOfModsAndOfTheExtraFilesPresent) {
  Mod("abc.jar", "abc");
  Put("Settingss.exe", "abc");
  ASSERT_EQ(Build().code, 0);
  const std::string abc = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
  EXPECT_EQ(Value("modlist", "mod1size"), "3");
  EXPECT_EQ(Value("modlist", "mod1sha256"), abc);
  EXPECT_EQ(Value("Update", "settingssha256"), abc);
  EXPECT_EQ(Value("Update", "settingssize"), "3");
  for (const char* absent : {"updatesha256", "updatesize", "forgesha256", "forgesize"}) {
    EXPECT_EQ(Value("Update", absent), "<absent>") << absent;
  }
}

TEST_F(BuildTest, CodePage1251WhenEveryNameFitsElseUtf16WithBom) {
  struct Case {
    std::string name;
    std::string_view starts_with;
  };
  const Case cases[] = {
      {"Библиотека.jar", "[Update]"},
      {"日本語.jar", "\xFF\xFE"},
  };
  for (const auto& c : cases) {
    std::filesystem::remove_all(U8Path(Srv()));
    Mod(c.name);
    ASSERT_EQ(Build({"--version", "1.0"}).code, 0) << c.name;
    const std::string bytes = test::ReadFileBytes(SrvFile("Update"));
    EXPECT_TRUE(std::string_view(bytes).starts_with(c.starts_with)) << c.name;
    EXPECT_EQ(Value("modlist", "mod1"), c.name);
  }
  // The Cyrillic name in code page 1251 itself, not in UTF-8.
  std::filesystem::remove_all(U8Path(Srv()));
  Mod("Яд.jar");
  ASSERT_EQ(Build().code, 0);
  EXPECT_THAT(test::ReadFileBytes(SrvFile("Update")), HasSubstr("mod1=\xDF\xE4.jar\r\n"));
}

TEST_F(BuildTest, LastVersionKeptOrSet) {
  struct Case {
    std::string previous;
    std::vector<std::string> args;
    std::string expected;
  };
  const Case cases[] = {
      {"[Update]\r\nlastversion=1.2.6.3\r\n", {}, "1.2.6.3"},
      {"[Update]\r\nlastversion=1.2.6.3\r\n", {"--version", "1.3.0.0"}, "1.3.0.0"},
      {"", {}, "<absent>"},
  };
  Mod("a.jar");
  for (const auto& c : cases) {
    PreviousManifest(c.previous);
    ASSERT_EQ(Build(c.args).code, 0);
    EXPECT_EQ(Value("Update", "lastversion"), c.expected) << c.previous;
  }
}

TEST_F(BuildTest, SignsWithAKeyAndRemovesAStaleSignatureWithout) {
  const std::string key_file = dir_.Sub("key.txt");
  const RunResult keygen = Run({"keygen", key_file});
  ASSERT_EQ(keygen.code, 0) << keygen.err;
  const std::string public_hex = keygen.out.substr(keygen.out.rfind(':') + 2, 128);
  Mod("a.jar");

  ASSERT_EQ(Build({"--key", key_file}).code, 0);
  EXPECT_EQ(net::CheckManifestSignatureFiles(SrvFile("Update"), SrvFile("Update.sig"), public_hex),
            net::ManifestSignature::kGood);

  const RunResult unsigned_build = Build();
  ASSERT_EQ(unsigned_build.code, 0);
  EXPECT_FALSE(Exists("Update.sig"));
  EXPECT_THAT(unsigned_build.out, HasSubstr("Update.sig: removed"));
}

// As the client reads them back, and signed with the rest.
TEST_F(BuildTest, MirrorsGivenInOrderOrKeptOrDropped) {
  struct Case {
    std::string what;
    std::string previous;
    std::vector<std::string> args;
    std::vector<std::string> mirrors;
    std::string says;
  };
  const std::string old =
      "[Update]\r\nmirror1=http://old.example/a\r\nmirror2=https://b.example\r\n";
  const Case cases[] = {
      {"given",
       old,
       {"--mirror", "https://m2.example/pack/", "--mirror", "http://m1.example:8080/x"},
       {"https://m2.example/pack", "http://m1.example:8080/x"},
       "mirror1: https://m2.example/pack\nmirror2: http://m1.example:8080/x\n"},
      {"kept",
       old,
       {},
       {"http://old.example/a", "https://b.example"},
       "mirror2: https://b.example (kept from the manifest replaced)\n"},
      {"dropped", old, {"--no-mirrors"}, {}, "mirrors: 2 dropped (--no-mirrors)\n"},
      {"unusable one left out",
       "[Update]\r\nmirror1=ftp://old.example\r\nmirror2=https://b.example\r\n",
       {},
       {"https://b.example"},
       "mirrors: 1 of the manifest replaced dropped; the client could not use them\n"},
      {"none", "", {}, {}, "lastversion"},
  };
  const std::string key_file = dir_.Sub("key.txt");
  const RunResult keygen = Run({"keygen", key_file});
  ASSERT_EQ(keygen.code, 0) << keygen.err;
  const std::string public_hex = keygen.out.substr(keygen.out.rfind(':') + 2, 128);
  Mod("a.jar");
  for (const auto& c : cases) {
    PreviousManifest(c.previous);
    std::vector<std::string> args = c.args;
    args.insert(args.end(), {"--key", key_file});
    const RunResult result = Build(args);
    ASSERT_EQ(result.code, 0) << c.what << ": " << result.err;
    EXPECT_EQ(net::ReadServedFiles(Manifest()).mirrors, c.mirrors) << c.what;
    EXPECT_THAT(result.out, HasSubstr(c.says)) << c.what;
    EXPECT_EQ(
        net::CheckManifestSignatureFiles(SrvFile("Update"), SrvFile("Update.sig"), public_hex),
        net::ManifestSignature::kGood)
        << c.what;
  }
}

// Each build raises the serial the client never lets go down, and gives the manifest a last day,
// 180 days on unless given; a serial below the old one or a day already past is written with a
// warning (a pack taken down, a test).
TEST_F(BuildTest, TheSerialRisesWithEachBuildAndTheLastDayIsSet) {
  now = std::chrono::system_clock::time_point(std::chrono::seconds(1796904000));  // 2026-12-10
  Mod("a.jar");
  struct Step {
    std::vector<std::string> args;
    std::string serial;
    std::string expires;
    std::string says;
    std::string warns;
  };
  const Step steps[] = {
      {{}, "1", "2027-06-08", "expires: 2027-06-08 (UTC, 180 days from today)\n", ""},
      {{}, "2", "2027-06-08", "serial: 2 (the replaced manifest's plus one)\n", ""},
      {{"--serial", "10", "--expires", "2027-01-01"}, "10", "2027-01-01", "serial: 10\n", ""},
      {{"--serial", "3"}, "3", "2027-06-08", "serial: 3\n", "below the replaced manifest's 10"},
      {{"--expires", "2026-12-01"},
       "4",
       "2026-12-01",
       "(UTC, -9 days from today)",
       "warning: expires 2026-12-01 is already past"},
  };
  for (const Step& step : steps) {
    const RunResult result = Build(step.args);
    ASSERT_EQ(result.code, 0) << result.err;
    EXPECT_EQ(Value(net::kUpdateSection, net::kSerialKey), step.serial);
    EXPECT_EQ(Value(net::kUpdateSection, net::kExpiresKey), step.expires);
    EXPECT_EQ(net::ReadTerms(Manifest()).serial, std::stoll(step.serial));
    EXPECT_THAT(result.out, HasSubstr(step.says));
    if (step.warns.empty()) {
      EXPECT_EQ(result.err, "");
    } else {
      EXPECT_THAT(result.err, HasSubstr(step.warns));
    }
  }
}

TEST_F(BuildTest, RefusesAMirrorTheClientCouldNotUseAndWritesNothing) {
  const std::string unusable[] = {
      "ftp://m.example",        "m.example/pack",         "https://",
      "https://m.example/a b",  "https://m.example/?x=1", "https://m.example/#top",
      "https://m.example/\x01",
  };
  Mod("a.jar");
  for (const auto& url : unusable) {
    PreviousManifest("[Update]\r\nlastversion=1\r\n");
    const RunResult result = Build({"--mirror", "https://good.example", "--mirror", url});
    EXPECT_EQ(result.code, 2) << url;
    EXPECT_THAT(result.err, HasSubstr("refused: --mirror " + url + ": the client could not use it"))
        << url;
    EXPECT_THAT(result.err, Not(HasSubstr("good.example"))) << url;
    EXPECT_EQ(test::ReadFileBytes(SrvFile("Update")), "[Update]\r\nlastversion=1\r\n") << url;
  }
}

// The request percent-encodes them, so the name on the server's disk is the one asked for.
TEST_F(BuildTest, PercentAndHashInNamesAreListedAsTheyAre) {
  const std::vector<std::string> names = {"100%.jar", "a#b.jar", "Мод %20 #2.jar"};
  for (const auto& name : names) Mod(name);
  const RunResult result = Build();
  ASSERT_EQ(result.code, 0) << result.err;
  EXPECT_EQ(Names(net::ReadModList(Manifest())),
            (std::vector<std::string>{"100%.jar", "a#b.jar", "Мод %20 #2.jar"}));
}

// Every refusal: exit status 2, the file named, and neither the manifest nor its signature
// touched.
TEST_F(BuildTest, RefusesWhatTheClientCouldNotUseAndWritesNothing) {
  struct Case {
    std::string file;  // relative to the server folder
    std::string bytes;
    std::string reason;
    std::string beside = {};  // another mod, after `file` in name order, for a refusal of two
  };
  const std::string kept = "[Update]\r\nlastversion=1\r\n";
  std::vector<Case> cases = {
      {"mods3/\xD0\xB8\xCC\x86.jar", "x", "composed and decomposed", "mods3/\xD0\xB9.jar"},
      {"Update", kept + "[modlist]\r\nCount=1\r\nmod1=a.jar\r\nMOD1=c.jar\r\n",
       "line 6: key MOD1 again in [modlist], first at line 5"},
      {"Update", kept + "[Update]\r\nserial=9\r\n", "line 3: section [Update] again"},
      {"Update", kept + std::string("[mod\0list]\r\n", 11), "line 3: a NUL character"},
      {"mods3/empty.jar", "", "empty"},
      {"mods3/page.jar", "<html>404: Not Found</html>", "saved error page"},
      {"Update.exe", "unknown domain", "saved error page"},
      {"mods3/" + std::string(kMaxNameLength - 3, 'n') + ".jar", "x", "too long"},
  };
#ifndef _WIN32
  // Windows (and so Wine) cannot even create these.
  cases.push_back({"mods3/CON.jar", "x", "the client refuses"});
  for (const char* name : {"what?.jar", "a*b.jar", "a|b.jar", "a<b>.jar", "say\"hi\".jar"}) {
    cases.push_back({"mods3/" + std::string(name), "x", "Windows does not allow"});
  }
  cases.push_back({"mods3/dot.", "x", "ends in a dot"});
  cases.push_back({"mods3/space.jar ", "x", "ends in a dot or a space"});
#endif
  for (const auto& c : cases) {
    std::filesystem::remove_all(U8Path(Srv()));
    Mod("fine.jar");
    PreviousManifest(kept);
    Put("Update.sig", "old signature");
    Put(c.file, c.bytes);
    if (!c.beside.empty()) Put(c.beside, "y");
    const RunResult result = Build({"--version", "2"});
    EXPECT_EQ(result.code, 2) << c.file;
    EXPECT_THAT(result.err, HasSubstr("refused: " + c.file + ": ")) << c.file;
    EXPECT_THAT(result.err, HasSubstr(c.reason)) << c.file;
    EXPECT_EQ(test::ReadFileBytes(SrvFile("Update")), c.file == "Update" ? c.bytes : kept)
        << c.file;
    EXPECT_EQ(test::ReadFileBytes(SrvFile("Update.sig")), "old signature") << c.file;
  }
}

TEST_F(BuildTest, ReportsEveryProblemNotOnlyTheFirst) {
  Mod("one.jar", "404: Not Found");
  Mod("two.jar", "");
  const RunResult result = Build();
  EXPECT_EQ(result.code, 2);
  EXPECT_THAT(result.err, HasSubstr("mods3/one.jar"));
  EXPECT_THAT(result.err, HasSubstr("mods3/two.jar"));
  EXPECT_THAT(result.err, HasSubstr("2 problems"));
  EXPECT_FALSE(Exists("Update"));
}

TEST(PackRulesTest, NamesTheClientCannotUse) {
  struct Case {
    std::string name;
    bool refused;
  };
  const Case cases[] = {
      {"Мод с пробелом-1.0.jar", false},
      {std::string(kMaxNameLength, 'n'), false},
      {std::string(kMaxNameLength + 1, 'n'), true},
      // Windows counts UTF-16 units, not UTF-8 bytes.
      {Repeat("я", kMaxNameLength), false},
      {Repeat("я", kMaxNameLength + 1), true},
      {"CON.jar", true},
      {"nul", true},
      {"..", true},
      {"", true},
      {"a\x01.jar", true},
      {"a/b.jar", true},
      {"dot.", true},
      {"space ", true},
      {"50%.jar", false},
      {"a#b.jar", false},
      {"%D0%AF#1.jar", false},
      {"a?b.jar", true},
      {"a*b.jar", true},
      {"a|b.jar", true},
      {"a<b.jar", true},
      {"a>b.jar", true},
      {"a\"b.jar", true},
      {"\xFF.jar", true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(!NameProblems(c.name).empty(), c.refused) << c.name;
  }
}

// Names the client's file system or its player takes for one: letter case in any script, a
// trailing dot or space, composed or decomposed letters, and a name listed twice.
TEST(PackRulesTest, NamesWindowsOrAPlayerTakesForOneCollide) {
  const auto collisions =
      Collisions({"Мод.jar", "a.jar", "МОД.JAR", "b.jar", "A.jar", "b.jar. ", "c.jar", "c.jar",
                  "\xD0\xB9.jar", "\xD0\xB8\xCC\x86.jar", "d.jar"},
                 NameKey);
  const std::vector<std::vector<std::string>> expected = {
      {"a.jar", "A.jar"},
      {"b.jar", "b.jar. "},
      {"c.jar", "c.jar"},
      {"\xD0\xB9.jar", "\xD0\xB8\xCC\x86.jar"},  // й composed and decomposed
      {"Мод.jar", "МОД.JAR"},
  };
  EXPECT_EQ(collisions, expected);
}

}  // namespace
}  // namespace veltrane::pack
