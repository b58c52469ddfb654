#include <gtest/gtest.h>

#include <functional>
#include <optional>

#include "build_config.h"
#include "form_fixture.h"
#include "net/crypto.h"
#include "signed_manifest.h"

namespace veltrane::ui {
namespace {

class ExtrasTest : public test::FormFixture {
 protected:
  explicit ExtrasTest(std::string_view pack_key = "") : FormFixture(pack_key) {
    form->FormCreate();
    game = MakeGameFolder("game", true, true, true);
    form->State().GameFolder = game;
    view.window.bounds = {100, 100, 830, 294};
  }

  std::string game;
  const std::string url = build::kServerUrl;
  const std::string forge = "forge-1.12.2-14.23.2.2629-installer-win.exe";
};

TEST_F(ExtrasTest, ForgeReplacesAnOldInstallerOpensItAndReturnsToTheNormalSize) {
  temp.Write("game/" + forge, "old installer");
  server.Put(url + "/" + forge, "new installer");
  std::vector<int> heights_when_opened;
  desktop.on_open = [&](const std::string&) {
    heights_when_opened.push_back(view.window.bounds.height);
  };
  form->sTitleBar1Items2MouseUp();
  EXPECT_EQ(test::ReadFileBytes(JoinPath(game, forge)), "new installer");
  ASSERT_EQ(desktop.opened_files.size(), 1u);
  EXPECT_EQ(desktop.opened_files[0].first, JoinPath(game, forge));
  EXPECT_EQ(desktop.opened_files[0].second, JoinPath(game, ""));
  EXPECT_EQ(heights_when_opened, std::vector<int>{317});  // opened while the bar shows
  EXPECT_EQ(view.window.bounds.height, 294);
  EXPECT_FALSE(view.Visible(Control::sProgressBar1));
  EXPECT_EQ(view.bars[Control::sProgressBar1].position, 13);
  EXPECT_TRUE(form->StatusLog().Lines().empty());
  EXPECT_TRUE(desktop.messages.empty());
}

TEST_F(ExtrasTest, ToolIsOpenedWhateverTheDownloadGave) {
  EXPECT_FALSE(form->StartSetupsPlus());  // the server has no tool: 404
  ASSERT_EQ(desktop.opened_files.size(), 1u);
  EXPECT_EQ(desktop.opened_files[0].first, JoinPath(game, "Settingss.exe"));
  EXPECT_FALSE(FileExists(JoinPath(game, "Settingss.exe")));

  server.Put(url + "/Settingss.exe", "tool");
  EXPECT_TRUE(form->StartSetupsPlus());
  EXPECT_EQ(test::ReadFileBytes(JoinPath(game, "Settingss.exe")), "tool");
  EXPECT_EQ(view.window.bounds.height, 294);
}

TEST_F(ExtrasTest, ASecondActivationDuringTheTransferIsRefused) {
  server.Put(url + "/" + forge, std::string(50000, 'f'));
  server.Put(url + "/Settingss.exe", "tool");
  int nested = 0;
  // Window messages run between the chunks; a click arriving then must not start anything.
  view.on_pump = [&] {
    if (nested++ == 0) {
      form->sTitleBar1Items2MouseUp();
      EXPECT_FALSE(form->StartSetupsPlus());
    }
  };
  form->sTitleBar1Items2MouseUp();
  EXPECT_GT(nested, 0);
  EXPECT_EQ(desktop.opened_files.size(), 1u);
  EXPECT_EQ(test::ReadFileBytes(JoinPath(game, forge)).size(), 50000u);
  // Once the first has finished, the commands work again.
  EXPECT_TRUE(form->StartSetupsPlus());
}

TEST_F(ExtrasTest, TheCheckAndTheRunAreRefusedWhileAToolOrTheInstallerIsFetched) {
  server.Put(url + "/Settingss.exe", std::string(50000, 't'));
  server.Put(url + "/" + forge, std::string(50000, 'f'));
  form->State().MissingMods = {"a.jar"};
  view.controls[Control::sButtonDownload].enabled = true;
  const std::function<void()> fetches[] = {[this] { form->sTitleBar1Items0MouseUp(); },
                                           [this] { form->sTitleBar1Items2MouseUp(); }};
  for (const auto& fetch : fetches) {
    int nested = 0;
    // Window messages run while the bar's mode is reached and between chunks: clicks come then.
    view.on_pump = [&] {
      if (nested++ == 0) {
        form->sButtonCheckClick();
        form->sButtonDownloadClick();
      }
    };
    fetch();
    EXPECT_GT(nested, 0);
  }
  EXPECT_TRUE(form->StatusLog().Lines().empty());
  EXPECT_EQ(server.Opened(), (std::vector<std::string>{url + "/Settingss.exe", url + "/" + forge}));
  EXPECT_TRUE(view.Enabled(Control::sButtonDownload));
  EXPECT_TRUE(view.window_enabled);
  EXPECT_EQ(view.window.bounds.height, 294);
}

TEST_F(ExtrasTest, AVanishedGameFolderFetchesNothingAndStillReturnsToTheNormalSize) {
  form->State().GameFolder = temp.Sub("gone");
  server.Put(url + "/" + forge, "installer");
  form->sTitleBar1Items2MouseUp();
  EXPECT_FALSE(FileExists(JoinPath(temp.Sub("gone"), forge)));
  EXPECT_EQ(view.window.bounds.height, 294);
  EXPECT_EQ(desktop.opened_files.size(), 1u);
}

TEST_F(ExtrasTest, HashesInTheManifestCopyDecideWhatIsKeptAndOpened) {
  temp.Write("Pellwick/Veltrane/Update.ini",
             "[Update]\r\nsettingssha256=" + test::Sha256Hex("tool") +
                 "\r\nforgesha256=" + test::Sha256Hex("installer") + "\r\n");
  server.Put(url + "/Settingss.exe", "tool");
  server.Put(url + "/" + forge, "tampered installer");
  temp.Write("game/" + forge, "old installer");
  EXPECT_TRUE(form->StartSetupsPlus());
  form->sTitleBar1Items2MouseUp();
  EXPECT_EQ(test::ReadFileBytes(JoinPath(game, "Settingss.exe")), "tool");
  EXPECT_FALSE(FileExists(JoinPath(game, forge)));
  ASSERT_EQ(desktop.opened_files.size(), 1u);  // the tool; nothing where the installer was
  EXPECT_EQ(desktop.opened_files[0].first, JoinPath(game, "Settingss.exe"));
  EXPECT_EQ(view.window.bounds.height, 294);
}

// The fake server states every body's length, so a body past the published size is not read.
TEST_F(ExtrasTest, ABodyPastThePublishedSizeIsNeitherReadNorOpened) {
  temp.Write("Pellwick/Veltrane/Update.ini",
             "[Update]\r\nsettingssha256=" + test::Sha256Hex("tool") + "\r\nsettingssize=3\r\n");
  server.Put(url + "/Settingss.exe", "tool");
  EXPECT_FALSE(form->StartSetupsPlus());
  EXPECT_EQ(view.bars.at(Control::sProgressBar1).position, 0);
  EXPECT_FALSE(FileExists(JoinPath(game, "Settingss.exe")));
  EXPECT_TRUE(desktop.opened_files.empty());
}

class KeyedExtrasTest : public ExtrasTest {
 protected:
  KeyedExtrasTest() : ExtrasTest(test::kSignerPublicKey) {}
};

// Nothing verified yet in this process: the manifest is fetched and verified first, and what it
// does not vouch for is neither fetched nor opened, silently.
TEST_F(KeyedExtrasTest, WithoutAVerifiedHashNothingIsFetchedOrOpened) {
  struct Case {
    const char* what;
    std::optional<std::string> signature;
    bool verified;
  };
  const std::string signature = test::HexBytes(test::kOpenSslSignature);
  const std::vector<Case> cases = {{"a bad signature", test::OneBitChanged(signature, 0), false},
                                   {"no signature", std::nullopt, false},
                                   {"signed, but publishing no hash", signature, true}};
  server.Put(url + "/Update", std::string(test::kSignedManifest));
  server.Put(url + "/Settingss.exe", "tool");
  server.Put(url + "/" + forge, "installer");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    form->State().VerifiedFiles.reset();
    if (c.signature) server.Put(url + "/Update.sig", *c.signature);
    EXPECT_FALSE(form->StartSetupsPlus());
    form->sTitleBar1Items2MouseUp();
    EXPECT_EQ(form->State().VerifiedFiles.has_value(), c.verified);
    EXPECT_EQ(FileExists(JoinPath(form->State().DataFolder, "Update.ini")), c.verified);
  }
  for (const std::string& opened : server.Opened()) {
    EXPECT_TRUE(opened.ends_with("/Update") || opened.ends_with("/Update.sig")) << opened;
  }
  EXPECT_TRUE(desktop.opened_files.empty());
  EXPECT_FALSE(FileExists(JoinPath(game, "Settingss.exe")));
  EXPECT_EQ(view.window.bounds.height, 294);
  EXPECT_TRUE(form->StatusLog().Lines().empty());
}

TEST_F(KeyedExtrasTest, AHashVerifiedEarlierInThisProcessIsUsedWithoutAskingAgain) {
  form->State().VerifiedFiles = net::ServedFiles{};
  form->State().VerifiedFiles->settings_tool.sha256 = test::Sha256Hex("tool");
  server.Put(url + "/Settingss.exe", "tool");
  EXPECT_TRUE(form->StartSetupsPlus());
  EXPECT_EQ(server.Opened(), std::vector<std::string>{url + "/Settingss.exe"});
  ASSERT_EQ(desktop.opened_files.size(), 1u);
  EXPECT_EQ(test::ReadFileBytes(JoinPath(game, "Settingss.exe")), "tool");
}

}  // namespace
}  // namespace veltrane::ui
