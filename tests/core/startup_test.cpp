#include "app/startup.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "app/replace_batch.h"
#include "app/shared_state.h"
#include "base/paths.h"
#include "base/portable_ini.h"
#include "build_config.h"
#include "fake_server.h"
#include "net/crypto.h"
#include "signed_manifest.h"
#include "temp_dir.h"

namespace veltrane::app {
namespace {

// The server, except that the update's size query (sent without an agent) may state a length of
// its own, as when the file changes on the server between the two requests.
class SizeQueryTransport : public net::Transport {
 public:
  explicit SizeQueryTransport(test::FakeServer& server) : server_(server) {}
  std::unique_ptr<net::Response> Open(const net::Request& request) override {
    if (!request.agent && stated && request.url.ends_with("/Update.exe")) {
      return std::make_unique<Stated>(*stated);
    }
    return server_.Open(request);
  }
  bool IsConnected() override { return server_.IsConnected(); }
  void Pause(std::chrono::milliseconds) override {}

  std::optional<std::string> stated;

 private:
  class Stated : public net::Response {
   public:
    explicit Stated(std::string length) : length_(std::move(length)) {}
    int Status() const override { return 200; }
    std::optional<std::string> Header(std::string_view name) const override {
      if (name != "Content-Length") return std::nullopt;
      return length_;
    }
    std::int64_t Read(char*, std::size_t) override { return 0; }

   private:
    std::string length_;
  };

  test::FakeServer& server_;
};

class FakeStartup : public StartupServices {
 public:
  explicit FakeStartup(const test::TempDir& temp)
      : appdata(temp.Sub("appdata")), program_folder(temp.Sub("program")) {
    ForceDirectories(program_folder);
  }

  bool ActivateRunningCopy(std::string_view class_name) override {
    activation_checks.emplace_back(class_name);
    return running_copy;
  }
  bool ClaimOnlyCopy() override { return !token_held; }
  void HandOverToRunningCopy(std::string_view class_name) override {
    handed_over_to.emplace_back(class_name);
  }
  std::string ExpandEnvText(std::string_view text) override {
    return text == "%appdata%" ? appdata : std::string(text);
  }
  std::unique_ptr<IniStore> OpenIni(const std::string& path) override {
    return std::make_unique<PortableIniStore>(path);
  }
  net::Transport& Transport() override { return transport; }
  std::string_view PackKey() override { return pack_key; }
  std::string SizeToText(double bytes) override { return std::to_string(long(bytes)) + " B"; }
  bool ShowMessage(std::string_view text, std::string_view caption, ui::Desktop::Buttons,
                   ui::Desktop::Icon icon) override {
    boxes.push_back({std::string(caption), std::string(text), icon});
    return answer_ok;
  }
  std::string RandomDigits(std::uint8_t count) override { return std::string(count, '7'); }
  std::string ProgramFolder() override { return program_folder; }
  std::string ProgramName() override { return program_name; }
  bool CanReplaceSelf(std::string_view target, std::string_view downloaded) override {
    return !ReplaceBatchLines(program_name, target, downloaded).empty();
  }
  bool ReplaceSelfAndExit(std::string_view target, std::string_view downloaded) override {
    replaced = {std::string(target), std::string(downloaded)};
    return replace_starts;
  }
  void BringApplicationToFront() override { ++fronts; }

  struct Box {
    std::string caption;
    std::string text;
    ui::Desktop::Icon icon;
  };

  std::string appdata;
  std::string program_folder;
  std::string program_name = "Veltrane Dravenna.exe";
  std::string_view pack_key;  // none, whatever this build carries
  test::FakeServer server;
  SizeQueryTransport transport{server};
  bool replace_starts = true;
  bool running_copy = false;
  bool token_held = false;  // by another copy
  std::vector<std::string> handed_over_to;
  bool answer_ok = true;
  std::vector<std::string> activation_checks;
  std::vector<Box> boxes;
  std::optional<std::pair<std::string, std::string>> replaced;
  int fronts = 0;
};

class StartupTest : public ::testing::Test {
 protected:
  // Announces `version` and, when given, serves its program.
  void Announce(const std::string& version, const std::optional<std::string>& program = {}) {
    services.server.Put(url + "/Update", "[Update]\r\nlastversion=" + version + "\r\n");
    if (program) services.server.Put(url + "/Update.exe", *program);
  }

  // The update's temporary file, in the data folder or beside the program.
  static bool TempFileLeft(const FakeStartup& startup) {
    const std::string temp_name = std::string(20, '7') + ".exe";
    return FileExists(JoinPath(DataFolderIn(startup.appdata), temp_name)) ||
           FileExists(JoinPath(startup.program_folder, temp_name));
  }
  // `count` boxes were shown, the last one this.
  static void ExpectLastBox(const FakeStartup& startup, std::size_t count, std::string_view caption,
                            std::string_view text, ui::Desktop::Icon icon) {
    ASSERT_EQ(startup.boxes.size(), count);
    EXPECT_EQ(startup.boxes.back().caption, caption);
    EXPECT_EQ(startup.boxes.back().text, text);
    EXPECT_EQ(startup.boxes.back().icon, icon);
  }
  static void ExpectNotPlacedBox(const FakeStartup& startup, std::size_t count) {
    ExpectLastBox(
        startup, count, "Ошибка",
        "Не удалось установить файл обновления.\r\nПрограмма будет запущена без обновления.",
        ui::Desktop::Icon::Error);
  }

  test::TempDir temp;
  FakeStartup services{temp};
  const std::string url = build::kServerUrl;
};

TEST(UpdateDecision, AnyDifferenceOfAPlainVersionCounts) {
  // Older counts too; a version long enough to break the program's file name offers nothing.
  for (const std::string& due : std::vector<std::string>{"1.2.6.4", "1.2.6.2", "1.2.6.3a",
                                                         "1.2.6-RC1", std::string(64, '9')}) {
    EXPECT_TRUE(UpdateDue(due)) << due;
  }
  for (const std::string& not_due :
       std::vector<std::string>{"1.2.6.3", "", "1.2.7\" & del *", "..\\..\\x", std::string(65, '9'),
                                std::string(233, '9')}) {
    EXPECT_FALSE(UpdateDue(not_due)) << not_due;
  }
  EXPECT_EQ(UpdateOfferText("1,5 Мб."),
            "Программа будет автоматически обновлена.\r\nРазмер обновления: 1,5 Мб.\r\n\r\n"
            "Для продолжения нажмите ОК");
}

TEST_F(StartupTest, SameVersionStartsNormallyWithoutABox) {
  Announce("1.2.6.3");
  EXPECT_EQ(RunStartup(services), StartupResult::kRunWindows);
  EXPECT_TRUE(services.boxes.empty());
  EXPECT_EQ(services.activation_checks.size(), 2u);
  EXPECT_EQ(services.activation_checks[0], "TProTarvoCompatibility");
  EXPECT_TRUE(DirectoryExists(DataFolderIn(services.appdata)));
  // The fetched manifest stays for the first check.
  EXPECT_TRUE(FileExists(ManifestIniPath(DataFolderIn(services.appdata))));
}

TEST_F(StartupTest, ARunningCopyEndsThisOneBeforeTheUpdateCheck) {
  services.running_copy = true;
  EXPECT_EQ(RunStartup(services), StartupResult::kExit);
  EXPECT_TRUE(services.server.Opened().empty());

  // One that holds the token but shows no window yet (started a moment before) is handed over
  // to all the same, and nothing is checked or made.
  FakeStartup second(temp);
  second.token_held = true;
  std::filesystem::remove_all(DataFolderIn(second.appdata));
  EXPECT_EQ(RunStartup(second), StartupResult::kExit);
  EXPECT_EQ(second.handed_over_to, std::vector<std::string>{"TProTarvoCompatibility"});
  EXPECT_TRUE(second.server.Opened().empty());
  EXPECT_TRUE(second.boxes.empty());
  EXPECT_FALSE(DirectoryExists(DataFolderIn(second.appdata)));
}

// A self-update killed on its way, in the batch or before it: the next start removes what it
// left, and only that.
TEST_F(StartupTest, WhatAKilledUpdateLeftIsRemovedAtTheNextStart) {
  const std::string data = DataFolderIn(services.appdata);
  ForceDirectories(data);
  const std::vector<std::string> stale = {"12345678901234567890.exe",
                                          "12345678901234567890.exe.old", "delete.bat"};
  const std::vector<std::string> kept = {"Veltrane Dravenna.exe", "Veltrane Dravenna v1.2.7.exe",
                                         "1234.exe", "notes.part"};
  for (const auto& name : stale) temp.Write("program/" + name, "x");
  for (const auto& name : kept) temp.Write("program/" + name, "x");
  for (const auto* name : {"77777777777777777777.exe", "77777777777777777777.exe.part",
                           "77777777777777777777.exe.part.tag"}) {
    temp.Write("appdata/Pellwick/Veltrane/" + std::string(name), "x");
  }
  EXPECT_EQ(RunStartup(services), StartupResult::kRunWindows);
  std::vector<std::string> left;
  for (const auto& entry : std::filesystem::directory_iterator(services.program_folder)) {
    left.push_back(entry.path().filename().string());
  }
  std::sort(left.begin(), left.end());
  std::vector<std::string> expected = kept;
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(left, expected);
  for (const auto& entry : std::filesystem::directory_iterator(data)) {
    EXPECT_EQ(entry.path().extension(), ".ini") << entry.path();
  }
}

TEST_F(StartupTest, NoConnectionGivesOneWarningThenTheWindows) {
  services.server.connected = false;
  EXPECT_EQ(RunStartup(services), StartupResult::kRunWindows);
  ExpectLastBox(services, 1, "Ошибка", "К сожалению, проверить обновления не удалось.",
                ui::Desktop::Icon::Warning);
  EXPECT_TRUE(services.server.Opened().empty());
}

TEST_F(StartupTest, AMissingManifestOrVersionStartsNormally) {
  EXPECT_EQ(RunStartup(services), StartupResult::kRunWindows);  // the server answers 404
  EXPECT_TRUE(services.boxes.empty());
  EXPECT_FALSE(FileExists(ManifestIniPath(DataFolderIn(services.appdata))));
}

TEST_F(StartupTest, CancelOnTheOfferEndsWithoutWindows) {
  Announce("1.2.6.4", std::string(1536, 'x'));
  services.answer_ok = false;
  EXPECT_EQ(RunStartup(services), StartupResult::kExit);
  ExpectLastBox(services, 1, "Обновление", UpdateOfferText("1536 B"),
                ui::Desktop::Icon::Information);
  EXPECT_FALSE(services.replaced);
}

TEST_F(StartupTest, OkDownloadsPlacesTheFileBesideTheProgramAndReplaces) {
  Announce("1.2.7", "MZ new program");
  EXPECT_EQ(RunStartup(services), StartupResult::kExit);
  const std::string temp_name = std::string(20, '7') + ".exe";
  ASSERT_TRUE(services.replaced);
  EXPECT_EQ(services.replaced->first, "Veltrane Dravenna v1.2.7.exe");
  EXPECT_EQ(services.replaced->second, temp_name);
  EXPECT_EQ(test::ReadFileBytes(JoinPath(services.program_folder, temp_name)), "MZ new program");
  EXPECT_FALSE(FileExists(JoinPath(DataFolderIn(services.appdata), temp_name)));
}

TEST_F(StartupTest, AFailedUpdateDownloadIsReportedAndEndsTheProgram) {
  Announce("1.2.7");
  EXPECT_EQ(RunStartup(services), StartupResult::kExit);
  ExpectLastBox(services, 2, "Ошибка",
                "Не удалось скачать файл обновления.\r\nПрограмма будет закрыта.",
                ui::Desktop::Icon::Error);
  EXPECT_FALSE(services.replaced);
}

TEST_F(StartupTest, AnUpdateWithoutThePublishedHashOrPastItsSizeIsAFailedDownload) {
  const std::string body = "MZ some other program";
  for (const std::string& published :
       {"updatesha256=" + std::string(64, 'a'),
        "updatesha256=" + test::Sha256Hex(body) + "\r\nupdatesize=5"}) {
    SCOPED_TRACE(published);
    test::TempDir dir;
    FakeStartup fresh(dir);
    fresh.server.Put(url + "/Update", "[Update]\r\nlastversion=1.2.7\r\n" + published + "\r\n");
    fresh.server.Put(url + "/Update.exe", body);
    EXPECT_EQ(RunStartup(fresh), StartupResult::kExit);
    ExpectLastBox(fresh, 2, "Ошибка", kUpdateFailedText, ui::Desktop::Icon::Error);
    EXPECT_FALSE(fresh.replaced);
    EXPECT_FALSE(TempFileLeft(fresh));
  }
}

// The signed manifest announces another version but publishes no hash for the update: even
// verified, it offers nothing.
TEST_F(StartupTest, AKeyedBuildReadsOnlyASignedManifestAndOffersOnlyAPublishedUpdate) {
  const std::string signature = test::HexBytes(test::kOpenSslSignature);
  const std::string changed = test::OneBitChanged(signature, 3);
  struct Case {
    const char* what;
    std::string_view key;
    std::optional<std::string> signature;
    bool verified;
  };
  const std::vector<Case> cases = {
      {"signed", test::kSignerPublicKey, signature, true},
      {"a bad signature", test::kSignerPublicKey, changed, false},
      {"no signature", test::kSignerPublicKey, std::nullopt, false},
      {"signed under another key", test::kOtherPublicKey, signature, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    test::TempDir dir;
    FakeStartup fresh(dir);
    fresh.pack_key = c.key;
    fresh.server.Put(url + "/Update", std::string(test::kSignedManifest));
    fresh.server.Put(url + "/Update.exe", "MZ new program");
    if (c.signature) fresh.server.Put(url + "/Update.sig", *c.signature);
    std::optional<net::ServedFiles> verified;
    EXPECT_EQ(RunStartup(fresh, &verified), StartupResult::kRunWindows);
    EXPECT_TRUE(fresh.boxes.empty());
    EXPECT_EQ(verified.has_value(), c.verified);
    const std::string data = DataFolderIn(fresh.appdata);
    EXPECT_EQ(FileExists(ManifestIniPath(data)), c.verified);
    EXPECT_EQ(FileExists(JoinPath(data, "Update.sig")), c.verified);
    EXPECT_EQ(fresh.server.Opened(),
              (std::vector<std::string>{url + "/Update", url + "/Update.sig"}));
  }
}

TEST_F(StartupTest, AnUpdateThatCannotBePlacedKeepsTheProgramAndGoesOn) {
  Announce("1.2.7", "MZ new program");
  services.program_folder = temp.Sub("no/such/folder");
  EXPECT_EQ(RunStartup(services), StartupResult::kRunWindows);
  ExpectNotPlacedBox(services, 2);
  EXPECT_FALSE(services.replaced);
}

TEST_F(StartupTest, ADownloadThatIsNotTheProgramIsRemovedAndTheProgramStarts) {
  struct Case {
    std::string what;
    std::string body;
    std::optional<std::string> stated;  // the size query's own length, when it differs
  };
  const std::vector<Case> cases = {
      {"empty body", "", std::nullopt},
      {"an HTML page", "<html><head><title>Dravenna</title></head><body></body></html>",
       std::nullopt},
      {"not the stated size", "MZ new program", "15"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    test::TempDir dir;
    FakeStartup fresh(dir);
    fresh.server.Put(url + "/Update", "[Update]\r\nlastversion=1.2.7\r\n");
    fresh.server.Put(url + "/Update.exe", c.body);
    fresh.transport.stated = c.stated;
    EXPECT_EQ(RunStartup(fresh), StartupResult::kRunWindows);
    ExpectNotPlacedBox(fresh, 2);
    EXPECT_FALSE(fresh.replaced);
    EXPECT_FALSE(TempFileLeft(fresh));
  }
}

TEST_F(StartupTest, AProgramNameTheBatchCannotCarryIsRefusedBeforeAnyDownload) {
  Announce("1.2.7", "MZ new program");
  for (const std::string name : {"Veltrane & Dravenna.exe", "Veltrane 100%.exe", "Vel^trane.exe"}) {
    SCOPED_TRACE(name);
    services.program_name = name;
    services.boxes.clear();
    EXPECT_EQ(RunStartup(services), StartupResult::kRunWindows);
    ExpectNotPlacedBox(services, 1);  // no offer
    EXPECT_FALSE(services.replaced);
    EXPECT_FALSE(TempFileLeft(services));
  }
  for (const std::string& opened : services.server.Opened()) {
    EXPECT_FALSE(opened.ends_with("/Update.exe")) << opened;
  }
}

TEST_F(StartupTest, AReplacementThatCannotStartRemovesTheDownloadAndGoesOn) {
  Announce("1.2.7", "MZ new program");
  services.replace_starts = false;
  EXPECT_EQ(RunStartup(services), StartupResult::kRunWindows);
  ASSERT_TRUE(services.replaced);
  ExpectNotPlacedBox(services, 2);
  EXPECT_FALSE(TempFileLeft(services));
}

TEST_F(StartupTest, AVersionTextThatIsNotPlainOffersNothing) {
  Announce("1.3\" & del /q *.* & \"");
  EXPECT_EQ(RunStartup(services), StartupResult::kRunWindows);
  EXPECT_TRUE(services.boxes.empty());
}

}  // namespace
}  // namespace veltrane::app
