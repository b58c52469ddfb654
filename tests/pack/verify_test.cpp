#include "verify.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "key_file.h"
#include "pack_fixture.h"

namespace veltrane::pack {
namespace {

using ::testing::ContainsRegex;
using ::testing::HasSubstr;
using ::testing::MatchesRegex;

// A signed pack built by the tool, then spoiled one way per case and verified from the folder.
class VerifyFolderTest : public PackTest {
 protected:
  void SetUp() override {
    key_file_ = dir_.Sub("admin.key");
    ASSERT_EQ(Run({"keygen", key_file_}).code, 0);
    std::string error;
    public_key_ = PublicKeyText(ParseKeyFile(test::ReadFileBytes(key_file_), error)->public_key);
    MakePack();
  }
  void MakePack() {
    std::filesystem::remove_all(U8Path(Srv()));
    Mod("a.jar", "first mod");
    Mod("Библиотека.jar", "second mod");
    Put("Update.exe", "program");
    ASSERT_EQ(Run({"build", Srv(), "--version", "1", "--key", key_file_}).code, 0);
  }
  RunResult Verify(const std::string& key) { return Run({"verify", Srv(), "--pubkey", key}); }

  std::string key_file_;
  std::string public_key_;
};

TEST_F(VerifyFolderTest, AnUntouchedPackPasses) {
  const RunResult result = Verify(public_key_);
  EXPECT_EQ(result.code, 0);
  EXPECT_EQ(result.out, "All 5 files match the manifest (signature verified).\n");
}

TEST_F(VerifyFolderTest, EachKindOfDamageIsReported) {
  struct Case {
    std::string what;
    std::function<void()> spoil;
    std::string row;  // FILE, PROBLEM and DETAIL as a regex over one table line
  };
  const std::string other_key = PublicKeyText(GenerateP256KeyPair().public_key);
  const Case cases[] = {
      {"missing mod", [&] { std::filesystem::remove(U8Path(SrvFile("mods3/a.jar"))); },
       "mods3/a.jar +missing +no such file"},
      {"changed byte", [&] { Mod("Библиотека.jar", "second moD"); },
       "mods3/Библиотека.jar +hash +SHA-256 differs.*"},
      {"short mod", [&] { Mod("a.jar", "first"); },
       "mods3/a.jar +size +5 bytes, the manifest says 9"},
      {"long mod", [&] { Mod("a.jar", "first mod, longer"); },
       "mods3/a.jar +size +more than 9 bytes"},
      {"changed extra file", [&] { Put("Update.exe", "Program"); }, "Update.exe +hash +.*"},
      {"long extra file", [&] { Put("Update.exe", "program, longer"); },
       "Update.exe +size +more than 7 bytes"},
      {"missing signature", [&] { std::filesystem::remove(U8Path(SrvFile("Update.sig"))); },
       "Update.sig +signature +no such file"},
      {"bad signature", [&] { Put("Update.sig", std::string(64, 'x')); },
       "Update.sig +signature +does not match.*"},
      {"short signature", [&] { Put("Update.sig", "abc"); },
       "Update.sig +signature +3 bytes, 64 expected"},
  };
  for (const auto& c : cases) {
    MakePack();
    c.spoil();
    const RunResult result = Verify(public_key_);
    EXPECT_EQ(result.code, 1) << c.what;
    EXPECT_THAT(result.out, MatchesRegex("FILE +PROBLEM +DETAIL\n" + c.row +
                                         "\n1 problem in 5 files checked.\n"))
        << c.what;
  }
  MakePack();
  const RunResult wrong_key = Verify(other_key);
  EXPECT_EQ(wrong_key.code, 1);
  EXPECT_THAT(wrong_key.out, HasSubstr("does not match the manifest and the public key"));
}

TEST_F(VerifyFolderTest, AProgressBarOnlyWhenAskedAndClearedBeforeTheVerdict) {
  for (const bool progress : {false, true}) {
    std::ostringstream out;
    const auto source = FolderSource(Srv());
    EXPECT_EQ(RunVerify(*source, {std::nullopt, progress}, out), 0);
    const std::string text = out.str();
    EXPECT_EQ(text.find("\r["), progress ? 0 : std::string::npos) << text;
    EXPECT_TRUE(text.ends_with("\rAll 4 files match the manifest (signature not checked: no "
                               "--pubkey).\n") == progress)
        << text;
  }
}

TEST_F(VerifyFolderTest, AHandWrittenManifestWithoutHashesIsFlagged) {
  Put("Update", "[modlist]\r\nCount=2\r\nmod1=a.jar\r\nmod1size=9\r\nmod3=x\r\n");
  const RunResult result = Run({"verify", Srv()});
  EXPECT_EQ(result.code, 1);
  EXPECT_THAT(result.out, ContainsRegex("mods3/a.jar +manifest +no mod1sha256\n"));
  EXPECT_THAT(result.out, ContainsRegex("modlist mod2 +manifest +no file name\n"));
}

TEST_F(VerifyFolderTest, NoManifestNothingElseChecked) {
  std::filesystem::remove(U8Path(SrvFile("Update")));
  const RunResult result = Run({"verify", Srv()});
  EXPECT_EQ(result.code, 1);
  EXPECT_THAT(result.out, ContainsRegex("Update +missing +no such file\n"));
}

TEST_F(PackTest, UsageErrorsExitWithTwo) {
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"pack"},
      {"build"},
      {"build", "a", "b"},
      {"build", "a", "--key"},
      {"build", "a", "--pubkey", "00"},
      {"verify", "a", "--pubkey", "abc"},
      {"verify", "a", "--colour"},
      {"build", "a", "--mirror"},
      {"build", "a", "--mirror", "http://m", "--no-mirrors"},
      {"verify", "a", "--mirror", "http://m"},
      {"verify", "a", "--no-mirrors"},
      {"keygen"},
      {"build", dir_.Sub("no-such-folder")},
      {"build", dir_.path().string()},  // no mods3 inside
  };
  for (const auto& args : cases) {
    const RunResult result = Run(args);
    std::string line;
    for (const auto& arg : args) line += arg + " ";
    EXPECT_EQ(result.code, 2) << line;
    EXPECT_FALSE(result.err.empty()) << line;
  }
  const RunResult help = Run({"--help"});
  EXPECT_EQ(help.code, 0);
  EXPECT_THAT(help.out, HasSubstr("veltrane-pack verify URL|DIR [--pubkey HEX]"));
}

}  // namespace
}  // namespace veltrane::pack
