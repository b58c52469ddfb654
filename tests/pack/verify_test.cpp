#include "verify.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "key_file.h"
#include "pack_fixture.h"
#include "pack_rules.h"
#include "signed_manifest.h"

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
  EXPECT_THAT(result.out,
              MatchesRegex("Manifest: serial 1, last day .+ \\(180 days left\\)\\.\n"
                           "All 5 files match the manifest \\(signature verified\\)\\.\n"));
}

// The manifest's terms as a client with the key reads them: a last day near is a warning, one
// past is a problem.
TEST_F(VerifyFolderTest, ALastDayNearIsWarnedOfAndOnePastIsAProblem) {
  now = std::chrono::system_clock::time_point(std::chrono::seconds(1796904000));  // 2026-12-10
  const struct {
    const char* expires;
    int code;
    const char* says;
  } cases[] = {
      {"2026-12-23", 0, "last day 2026-12-23 (13 days left).\nWarning: fewer than 14 days left"},
      {"2026-12-24", 0, "last day 2026-12-24 (14 days left).\nAll 5 files"},
      {"2026-12-09", 1, "past its last day: clients take its mods but no self-update"},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(Run({"build", Srv(), "--key", key_file_, "--expires", c.expires}).code, 0);
    const RunResult result = Verify(public_key_);
    EXPECT_EQ(result.code, c.code) << c.expires;
    EXPECT_THAT(result.out, HasSubstr(c.says)) << c.expires;
  }
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
                                         "\nManifest: serial 1, .*\n"
                                         "1 problem in 5 files checked.\n"))
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
    EXPECT_EQ(RunVerify(*source, {std::nullopt, progress, {}}, out), 0);
    const std::string text = out.str();
    EXPECT_EQ(text.find("\r["), progress ? 0 : std::string::npos) << text;
    EXPECT_NE(text.find(std::string(progress ? "\r" : "") + "Manifest: serial"), std::string::npos)
        << text;
    EXPECT_TRUE(
        text.ends_with("All 4 files match the manifest (signature not checked: no --pubkey).\n"))
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

// A hand-written manifest whose names the client's file system takes for one (or cannot hold) is
// refused, though every file it names is there with its hash.
TEST_F(VerifyFolderTest, NamesTheClientTakesForOneFileAreProblems) {
  const std::string long_name = std::string(kMaxNameLength - 3, 'n') + ".jar";
  const struct {
    std::vector<std::string> mods;
    std::vector<std::string> removed;
    std::string row;
  } cases[] = {
      {{"a.jar", "A.jar"},
       {},
       "mods3/A.jar +name +one file to the client with a.jar, .modlist. mod1"},
      {{"a.jar", "a.jar"}, {}, "mods3/a.jar +name +listed again, first as .modlist. mod1"},
      {{"\xD0\xB9.jar", "\xD0\xB8\xCC\x86.jar"}, {}, "mods3/.+ +name +one file to the client.+"},
      {{"a.jar", "a.jar."}, {}, "mods3/a.jar. +name +ends in a dot or a space.+"},
      {{"a.jar"}, {"A.JAR"}, "mods3/A.JAR +removal +.dellist. mod1 is a.jar to the client.+"},
      {{"a.jar"}, {"a.jar "}, "mods3/a.jar  +removal +.dellist. mod1 is a.jar to the client.+"},
      {{long_name}, {}, "mods3/n+.jar +name +longer than 120 characters.+"},
  };
  for (const auto& c : cases) {
    // Quoted, so that a trailing space stays.
    ManifestSection mods{"modlist", {{"Count", std::to_string(c.mods.size())}}};
    for (std::size_t i = 0; i < c.mods.size(); ++i) {
      const std::string key = "mod" + std::to_string(i + 1);
      mods.entries.emplace_back(key, "\"" + c.mods[i] + "\"");
      mods.entries.emplace_back(key + "sha256", test::Sha256Hex("x"));
      Mod(c.mods[i], "x");
    }
    ManifestSection removed{"dellist", {{"Count", std::to_string(c.removed.size())}}};
    for (std::size_t i = 0; i < c.removed.size(); ++i) {
      removed.entries.emplace_back("mod" + std::to_string(i + 1), "\"" + c.removed[i] + "\"");
    }
    std::filesystem::remove(U8Path(SrvFile("Update")));
    WriteManifestFile(SrvFile("Update"), {mods, removed}, ManifestEncoding::kUtf16Le);
    const RunResult result = Run({"verify", Srv()});
    EXPECT_EQ(result.code, 1) << c.row;
    EXPECT_THAT(result.out, ContainsRegex("\n" + c.row + "\n")) << result.out;
  }
}

TEST_F(VerifyFolderTest, NoManifestNothingElseChecked) {
  std::filesystem::remove(U8Path(SrvFile("Update")));
  const RunResult result = Run({"verify", Srv()});
  EXPECT_EQ(result.code, 1);
  EXPECT_THAT(result.out, ContainsRegex("Update +missing +no such file\n"));
}

// Mirrors are web folders too; here each base URL stands for a folder of its own.
class VerifyMirrorsTest : public VerifyFolderTest {
 protected:
  void SetUp() override {
    VerifyFolderTest::SetUp();
    ASSERT_EQ(Run({"build", Srv(), "--key", key_file_, "--mirror", "http://one.test/pack",
                   "--mirror", "http://two.test"})
                  .code,
              0);
    // What the client fetches from a mirror, and nothing else.
    for (const char* name : {"one", "two"}) {
      const auto mirror = U8Path(dir_.Sub(name));
      std::filesystem::create_directories(mirror);
      std::filesystem::copy(U8Path(SrvFile("mods3")), mirror / "mods3",
                            std::filesystem::copy_options::recursive);
      std::filesystem::copy(U8Path(SrvFile("Update.exe")), mirror / "Update.exe");
    }
  }
  RunResult VerifyWith(bool mirrors) {
    VerifyOptions options;
    std::string error;
    options.public_key =
        net::ToHex(ParseKeyFile(test::ReadFileBytes(key_file_), error)->public_key);
    if (mirrors) {
      options.mirror_source = [this](const std::string& base) {
        asked_.push_back(base);
        return FolderSource(dir_.Sub(base == "http://one.test/pack" ? "one" : "two"));
      };
    }
    std::ostringstream out;
    RunResult result;
    result.code = RunVerify(*FolderSource(Srv()), options, out);
    result.out = out.str();
    return result;
  }
  std::vector<std::string> asked_;
};

TEST_F(VerifyMirrorsTest, EachMirrorIsCheckedForEveryFileAndNamedInTheTable) {
  std::filesystem::remove(U8Path(dir_.Sub("two/mods3/a.jar")));
  dir_.Write("one/Update.exe", "Program");
  const RunResult result = VerifyWith(true);
  EXPECT_EQ(result.code, 1);
  EXPECT_EQ(asked_, (std::vector<std::string>{"http://one.test/pack", "http://two.test"}));
  EXPECT_THAT(result.out, MatchesRegex("SOURCE +FILE +PROBLEM +DETAIL\n"
                                       "mirror1 +Update.exe +hash +SHA-256 differs.*\n"
                                       "mirror2 +mods3/a.jar +missing +no such file\n"
                                       "Manifest: serial 2, .*\n"
                                       "mirror1 http://one.test/pack: 3 files, 1 problem\n"
                                       "mirror2 http://two.test: 3 files, 1 problem\n"
                                       "2 problems in 11 files checked.\n"));
}

TEST_F(VerifyMirrorsTest, MirrorsThatMatchPassAndUncheckedOnesAreCounted) {
  const RunResult checked = VerifyWith(true);
  EXPECT_EQ(checked.code, 0);
  const std::string terms = checked.out.substr(0, checked.out.find('\n') + 1);
  EXPECT_THAT(terms, MatchesRegex("Manifest: serial 2, last day .+ \\(180 days left\\)\\.\n"));
  EXPECT_EQ(
      checked.out,
      terms +
          "mirror1 http://one.test/pack: 3 files, all match\n"
          "mirror2 http://two.test: 3 files, all match\n"
          "All 5 files on the server and 3 on each of 2 mirrors match the manifest (signature "
          "verified).\n");
  // Unchecked, a broken mirror changes nothing but is not passed over in silence.
  std::filesystem::remove_all(U8Path(dir_.Sub("two")));
  asked_.clear();
  const RunResult unchecked = VerifyWith(false);
  EXPECT_EQ(unchecked.code, 0);
  EXPECT_EQ(unchecked.out,
            terms +
                "2 mirrors listed in the manifest not checked (--mirrors checks them).\n"
                "All 5 files match the manifest (signature verified).\n");
  EXPECT_TRUE(asked_.empty());
}

// A web server that is down: no answer to any request.
class SilentSource final : public PackSource {
 public:
  Fetched Fetch(const std::string&, std::int64_t, const Sink&) override {
    return {Fetched::Outcome::kUnreachable};
  }
  std::string Where() const override { return "http://two.test"; }
};

TEST_F(VerifyMirrorsTest, AMirrorThatNeverAnswersIsOneRowNotOnePerFile) {
  VerifyOptions options;
  options.mirror_source = [this](const std::string& base) -> std::unique_ptr<PackSource> {
    if (base == "http://two.test") return std::make_unique<SilentSource>();
    return FolderSource(dir_.Sub("one"));
  };
  std::ostringstream out;
  EXPECT_EQ(RunVerify(*FolderSource(Srv()), options, out), 1);
  EXPECT_THAT(out.str(), MatchesRegex("SOURCE +FILE +PROBLEM +DETAIL\n"
                                      "mirror2 +.all 3 files. +unreachable +no answer from "
                                      "http://two.test\n"
                                      "Manifest: serial 2, .*\n"
                                      "mirror1 http://one.test/pack: 3 files, all match\n"
                                      "mirror2 http://two.test: 3 files, 1 problem\n"
                                      "1 problem in 10 files checked.\n"));
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
      {"build", "a", "--mirrors"},
      {"verify", "a", "--mirror", "http://m"},
      {"verify", "a", "--no-mirrors"},
      {"keygen", "k", "--mirrors"},
      {"keygen"},
      {"build", "a", "--serial", "0"},
      {"build", "a", "--serial", "two"},
      {"build", "a", "--expires", "2027-02-30"},
      {"verify", "a", "--serial", "3"},
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
  EXPECT_THAT(help.out,
              HasSubstr("veltrane-pack verify URL|DIR [--pubkey HEX[;HEX]...] [--mirrors]"));
}

}  // namespace
}  // namespace veltrane::pack
