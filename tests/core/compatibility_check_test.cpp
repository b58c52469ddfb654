#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/u8path.h"
#include "build_config.h"
#include "form_fixture.h"
#include "signed_manifest.h"

#ifndef _WIN32
#include "read_only_folder.h"
#endif

namespace veltrane::ui {
namespace {

class CompatibilityCheckTest : public test::FormFixture {
 protected:
  explicit CompatibilityCheckTest(std::string_view pack_key = "") : FormFixture(pack_key) {
    form->FormCreate();
    game = MakeGameFolder("game", true, true, false);
    form->State().GameFolder = game;
    app::DeriveModsFolders(form->State());
    mods = form->State().ModsFolder;
    version = form->State().VersionModsFolder;
    form->StatusLog().SetLineListener([this](const std::string& line) {
      lines_with_window.emplace_back(line, view.window_enabled);
    });
  }

  void PutManifest(const std::string& text) { server.Put(url + "/Update", text); }
  std::string InVersion(const std::string& name) const { return JoinPath(version, name); }
  std::string InMods(const std::string& name) const { return JoinPath(mods, name); }
  void WriteFile(const std::string& path, const std::string& bytes) {
    ForceDirectories(path.substr(0, path.find_last_of(kPathSep)));
    std::ofstream file(U8Path(path), std::ios::binary);
    ASSERT_TRUE(file << bytes) << path;
  }
  const std::vector<std::string>& Lines() const { return form->StatusLog().Lines(); }
  bool WindowWasDisabled() const {
    return std::any_of(lines_with_window.begin(), lines_with_window.end(),
                       [](const auto& entry) { return !entry.second; });
  }

  const std::string url = build::kServerUrl;
  std::string game, mods, version;
  std::vector<std::pair<std::string, bool>> lines_with_window;
};

TEST_F(CompatibilityCheckTest, EverythingPresentLeavesNothingToDo) {
  PutManifest(
      "[modlist]\r\nCount=2\r\nmod1=a.jar\r\nmod1size=1000\r\nmod2=b.jar\r\nmod2size=536\r\n");
  WriteFile(InVersion("a.jar"), "jar a");
  WriteFile(InVersion("b.jar"), "jar b");
  view.SetEnabled(Control::sButtonDownload, true);
  form->sButtonCheckClick();

  const std::vector<std::string> expected = {
      "=====Проверка совместимости=====",       "[9:05:07] Конфиг загружен.",
      "Всего модов на сервере: 2 шт. (1,5 Кб)", "======Завершение проверки=======",
      "Отсутствуют моды: 0 шт. (0 Байт)",       "Можно удалить файлов: 0 шт.",
  };
  EXPECT_EQ(Lines(), expected);
  EXPECT_EQ(form->State().ModCount, 2);
  EXPECT_EQ(form->State().ModsSize, 1536);
  EXPECT_TRUE(form->State().MissingMods.empty());
  EXPECT_TRUE(form->State().RemovableFiles.empty());
  EXPECT_FALSE(view.Enabled(Control::sButtonDownload));
  EXPECT_FALSE(view.focused.has_value());
  EXPECT_TRUE(view.window_enabled);
  EXPECT_TRUE(WindowWasDisabled());
  EXPECT_EQ(test::ReadFileBytes(JoinPath(form->State().DataFolder, "Update.ini")).substr(0, 9),
            "[modlist]");
}

TEST_F(CompatibilityCheckTest, OnlyRemovableFilesEnableAndFocusTheDownloadButton) {
  PutManifest(
      "[modlist]\r\nCount=1\r\nmod1=a.jar\r\n[dellist]\r\nCount=3\r\nmod1=old.jar\r\n"
      "mod2=gone.jar\r\nmod3=loose.jar\r\n");
  WriteFile(InVersion("a.jar"), "jar a");
  WriteFile(InVersion("old.jar"), "old");
  WriteFile(InMods("loose.jar"), "loose");
  form->sButtonCheckClick();

  EXPECT_EQ(form->State().RemovableFiles, (std::vector<std::string>{"old.jar", "loose.jar"}));
  EXPECT_TRUE(FileExists(InVersion("loose.jar")));  // brought where the cleanup deletes
  EXPECT_FALSE(FileExists(InMods("loose.jar")));
  EXPECT_TRUE(form->State().MissingMods.empty());
  EXPECT_EQ(Lines().back(), "Можно удалить файлов: 2 шт.");
  EXPECT_TRUE(view.Enabled(Control::sButtonDownload));
  EXPECT_EQ(view.focused, Control::sButtonDownload);
}

TEST_F(CompatibilityCheckTest, ModsFolderCopiesMoveInWithoutReplacing) {
  PutManifest("[modlist]\r\nCount=2\r\nmod1=only.jar\r\nmod2=both.jar\r\n");
  WriteFile(InMods("only.jar"), "moved");
  WriteFile(InMods("both.jar"), "loose copy");
  WriteFile(InVersion("both.jar"), "kept copy");
  form->sButtonCheckClick();

  EXPECT_EQ(test::ReadFileBytes(InVersion("only.jar")), "moved");
  EXPECT_FALSE(FileExists(InMods("only.jar")));
  EXPECT_EQ(test::ReadFileBytes(InVersion("both.jar")), "kept copy");
  EXPECT_EQ(test::ReadFileBytes(InMods("both.jar")), "loose copy");
  EXPECT_TRUE(form->State().MissingMods.empty());
  EXPECT_FALSE(view.Enabled(Control::sButtonDownload));
}

#ifndef _WIN32
// A damaged or outdated mod in a folder the program may not write stays: it is said so and
// counts as missing, so that the run reports it failed instead of all being well.
TEST_F(CompatibilityCheckTest, AModThatCannotBeDeletedCountsMissingAndIsSaidSo) {
  PutManifest("[modlist]\r\nCount=3\r\nmod1=page.jar\r\nmod2=old.jar\r\nmod2sha256=" +
              test::Sha256Hex("published") + "\r\nmod3=fine.jar\r\n");
  WriteFile(InVersion("page.jar"), "404: Not Found");
  WriteFile(InVersion("old.jar"), "an older release");
  WriteFile(InVersion("fine.jar"), "jar");
  {
    const test::ReadOnlyFolder read_only(version);
    ASSERT_TRUE(read_only.Holds());
    form->sButtonCheckClick();
  }
  ASSERT_GE(Lines().size(), 9u);
  const std::vector<std::string> lines(Lines().begin() + 3, Lines().begin() + 9);
  EXPECT_EQ(lines, (std::vector<std::string>{
                       " ! Поврежденный файл: page.jar", "Ошибка удаления мода: page.jar",
                       "* Отсутствует: page.jar", " ! Устаревший файл: old.jar",
                       "Ошибка удаления мода: old.jar", "* Отсутствует: old.jar"}));
  EXPECT_EQ(form->State().MissingMods, (std::vector<std::string>{"page.jar", "old.jar"}));
  EXPECT_TRUE(FileExists(InVersion("page.jar")));

  // The run cannot replace them: it says each failed.
  view.controls[Control::sCheckBox1].checked = false;
  view.controls[Control::sCheckBox2].checked = false;
  server.Put(url + "/mods3/page.jar", "a real jar");
  server.Put(url + "/mods3/old.jar", "published");
  form->sButtonDownloadClick();
  EXPECT_EQ(std::count(Lines().begin(), Lines().end(), "[9:05:07]  ! Ошибка загрузки: page.jar"),
            1);
  EXPECT_TRUE(std::any_of(Lines().begin(), Lines().end(), [](const std::string& line) {
    return line.rfind("Объем загруженых файлов(0 из 2)", 0) == 0;
  }));
}
#endif

// A mod that holds an error page's text and has its published hash is the published mod.
TEST_F(CompatibilityCheckTest, APublishedHashBeatsTheErrorPageTest) {
  const std::string body = "a signed mod whose text says 404: Not Found";
  PutManifest("[modlist]\r\nCount=1\r\nmod1=signed.jar\r\nmod1sha256=" + test::Sha256Hex(body) +
              "\r\n");
  WriteFile(InVersion("signed.jar"), body);
  for (int check = 0; check < 2; ++check) {
    form->sButtonCheckClick();
    EXPECT_TRUE(form->State().MissingMods.empty()) << check;
    EXPECT_EQ(test::ReadFileBytes(InVersion("signed.jar")), body) << check;
  }
}

TEST_F(CompatibilityCheckTest, DamagedGapAndBadSizesAreReportedInManifestOrder) {
  PutManifest(
      "[modlist]\r\nCount=4\r\nmod1=broken.jar\r\nmod1size=500\r\nmod3=absent.jar\r\n"
      "mod3size=lots\r\nmod4=fine.jar\r\nmod4size=12\r\n");
  WriteFile(InVersion("broken.jar"), "404: Not\r\n Found");
  WriteFile(InVersion("fine.jar"), "jar");
  form->sButtonCheckClick();

  const std::vector<std::string> expected = {
      "=====Проверка совместимости=====",
      "[9:05:07] Конфиг загружен.",
      "Всего модов на сервере: 4 шт. (512 Байт)",
      " ! Поврежденный файл: broken.jar",
      "* Отсутствует: broken.jar",
      "* Отсутствует: ",
      "* Отсутствует: absent.jar",
      "======Завершение проверки=======",
      "Отсутствуют моды: 3 шт. (500 Байт)",
      "Можно удалить файлов: 0 шт.",
  };
  EXPECT_EQ(Lines(), expected);
  EXPECT_FALSE(FileExists(InVersion("broken.jar")));
  EXPECT_EQ(form->State().MissingMods, (std::vector<std::string>{"broken.jar", "", "absent.jar"}));
  EXPECT_EQ(form->State().MissingSize, 500);
  EXPECT_EQ(form->State().ModsSize, 512);
  EXPECT_EQ(view.focused, Control::sButtonDownload);
}

TEST_F(CompatibilityCheckTest, TrailingGapsUpToCountCountInTheTotals) {
  PutManifest("[modlist]\r\nCount=5\r\nmod1=a.jar\r\nmod2=b.jar\r\nmod3=c.jar\r\n");
  for (const char* name : {"a.jar", "b.jar", "c.jar"}) WriteFile(InVersion(name), "jar");
  form->sButtonCheckClick();
  EXPECT_EQ(form->State().ModCount, 5);
  EXPECT_EQ(LineCount("Всего модов на сервере: 5 шт. (0 Байт)"), 1u);
  EXPECT_EQ(LineCount("* Отсутствует: "), 2u);
  EXPECT_EQ(form->State().MissingMods, (std::vector<std::string>{"", ""}));
}

TEST_F(CompatibilityCheckTest, ACountFarBeyondTheKeysIsBoundedAndSaidOnce) {
  PutManifest(
      "[modlist]\r\nCount=2147483647\r\nmod1=a.jar\r\nmod1size=1024\r\n"
      "mod2147483647size=1\r\n"
      "[dellist]\r\nCount=200000\r\nmod200000=old.jar\r\n");
  WriteFile(InVersion("a.jar"), "jar");
  WriteFile(InVersion("old.jar"), "old");
  form->sButtonCheckClick();

  const std::vector<std::string> expected = {
      "=====Проверка совместимости=====",
      "[9:05:07] Конфиг загружен.",
      " ! Неверный Count в конфиге (modlist): 2147483647, записей: 2",
      "Всего модов на сервере: 2 шт. (1,001 Кб)",
      "* Отсутствует: ",
      " ! Неверный Count в конфиге (dellist): 200000, записей: 1",
      "======Завершение проверки=======",
      "Отсутствуют моды: 1 шт. (1 Байт)",
      "Можно удалить файлов: 1 шт.",
  };
  EXPECT_EQ(Lines(), expected);
  EXPECT_EQ(form->State().ModCount, 2);
  EXPECT_EQ(form->State().RemovableFiles, std::vector<std::string>{"old.jar"});
}

TEST_F(CompatibilityCheckTest, SizesWrapLikeSigned32BitSums) {
  PutManifest(
      "[modlist]\r\nCount=2\r\nmod1=a.jar\r\nmod1size=2147483647\r\nmod2=b.jar\r\n"
      "mod2size=2\r\n");
  form->sButtonCheckClick();
  EXPECT_EQ(form->State().ModsSize, -2147483647);
  EXPECT_EQ(form->State().MissingSize, -2147483647);
}

TEST_F(CompatibilityCheckTest, OfflineWritesTwoTimedLinesAndNothingElse) {
  server.connected = false;
  form->State().MissingMods = {"x.jar"};
  form->sButtonCheckClick();
  EXPECT_EQ(Lines(), (std::vector<std::string>{"[9:05:07] Ошибка подключения к серверу.",
                                               "[9:05:07] Операция отменена."}));
  EXPECT_TRUE(server.Opened().empty());
  EXPECT_EQ(form->State().MissingMods, std::vector<std::string>{"x.jar"});
  EXPECT_FALSE(form->conecteon());
  server.connected = true;
  EXPECT_TRUE(form->conecteon());
}

TEST_F(CompatibilityCheckTest, NamesThatLeaveTheFolderAreLoggedOnceAndSkipped) {
  PutManifest(
      "[modlist]\r\nCount=5\r\nmod1=..\\evil.jar\r\nmod2=CON.jar\r\nmod3=a/b.jar\r\n"
      "mod4=../evil.jar\r\nmod5=good.jar\r\n[dellist]\r\nCount=2\r\nmod1=../evil.jar\r\n"
      "mod2=CON.jar\r\n");
  const std::string outside = JoinPath(game, "evil.jar");
  WriteFile(outside, "not ours");
  form->sButtonCheckClick();

  for (const std::string name : {"..\\evil.jar", "CON.jar", "a/b.jar", "../evil.jar"}) {
    const std::size_t lists = name == "../evil.jar" || name == "CON.jar" ? 2 : 1;
    EXPECT_EQ(LineCount(" ! Недопустимое имя файла: " + name), lists) << name;
    EXPECT_EQ(LineCount("* Отсутствует: " + name), 0u) << name;
  }
  EXPECT_EQ(form->State().MissingMods, std::vector<std::string>{"good.jar"});
  EXPECT_TRUE(form->State().RemovableFiles.empty());
  EXPECT_EQ(test::ReadFileBytes(outside), "not ours");
  EXPECT_FALSE(FileExists(JoinPath(mods, "evil.jar")));
  EXPECT_FALSE(DirectoryExists(InVersion("a")));
}

TEST_F(CompatibilityCheckTest, FolderThatCannotBeCreatedStopsWithTheWindowEnabled) {
  PutManifest("[modlist]\r\nCount=1\r\nmod1=a.jar\r\n");
  WriteFile(JoinPath(game, "mods"), "a file where the folder belongs");
  form->State().MissingMods = {"x.jar"};
  form->sButtonCheckClick();

  EXPECT_EQ(Lines().back(), " ! Не удалось создать папку: " + version);
  EXPECT_TRUE(WindowWasDisabled());
  EXPECT_TRUE(view.window_enabled);
  EXPECT_EQ(form->State().MissingMods, std::vector<std::string>{"x.jar"});
  EXPECT_FALSE(view.focused.has_value());
}

using test::Sha256Hex;

TEST_F(CompatibilityCheckTest, AFileWithoutThePublishedHashIsOutdatedUnlessItIsAnErrorPage) {
  PutManifest("[modlist]\r\nCount=5\r\nmod1=current.jar\r\nmod1sha256=" + Sha256Hex("current") +
              "\r\nmod2=old.jar\r\nmod2size=7\r\nmod2sha256=" + Sha256Hex("new") +
              "\r\nmod3=page.jar\r\nmod3sha256=" + Sha256Hex("page") +
              "\r\nmod4=unhashed.jar\r\nmod5=absent.jar\r\nmod5sha256=" + Sha256Hex("absent") +
              "\r\n");
  WriteFile(InVersion("current.jar"), "current");
  WriteFile(InMods("old.jar"), "old");  // brought in first, then found outdated
  WriteFile(InVersion("page.jar"), "404: Not Found");
  WriteFile(InVersion("unhashed.jar"), "anything");
  form->sButtonCheckClick();

  const std::vector<std::string> expected = {
      " ! Устаревший файл: old.jar",      "* Отсутствует: old.jar",
      " ! Поврежденный файл: page.jar",   "* Отсутствует: page.jar",
      "* Отсутствует: absent.jar",        "======Завершение проверки=======",
      "Отсутствуют моды: 3 шт. (7 Байт)", "Можно удалить файлов: 0 шт.",
  };
  EXPECT_EQ(std::vector<std::string>(Lines().begin() + 3, Lines().end()), expected);
  EXPECT_FALSE(FileExists(InVersion("old.jar")));
  EXPECT_FALSE(FileExists(InVersion("page.jar")));
  EXPECT_TRUE(FileExists(InVersion("current.jar")));
  EXPECT_TRUE(FileExists(InVersion("unhashed.jar")));
  EXPECT_EQ(form->State().MissingHashes,
            (std::map<std::string, net::ExpectedBody>{{"old.jar", {Sha256Hex("new"), 7}},
                                                      {"page.jar", {Sha256Hex("page")}},
                                                      {"absent.jar", {Sha256Hex("absent")}}}));
  // Without a key the manifest is taken as it comes: no signature is asked for.
  EXPECT_EQ(server.Opened(), std::vector<std::string>{url + "/Update"});
}

TEST_F(CompatibilityCheckTest, ARepeatedCheckTakesAnUnchangedFileFromTheHashCache) {
  namespace fs = std::filesystem;
  PutManifest("[modlist]\r\nCount=1\r\nmod1=a.jar\r\nmod1sha256=" + Sha256Hex("good") + "\r\n");
  const auto an_hour_ago = fs::file_time_type::clock::now() - std::chrono::hours(1);
  const auto put = [&](const std::string& bytes, fs::file_time_type time) {
    WriteFile(InVersion("a.jar"), bytes);
    fs::last_write_time(U8Path(InVersion("a.jar")), time);
  };
  put("good", an_hour_ago);
  form->sButtonCheckClick();
  EXPECT_TRUE(form->State().MissingMods.empty());

  // Other bytes of the same size under the same time: only a file that was read sees them.
  put("evil", an_hour_ago);
  form->sButtonCheckClick();
  EXPECT_TRUE(form->State().MissingMods.empty());
  EXPECT_EQ(LineCount(" ! Устаревший файл: a.jar"), 0u);

  put("evil", an_hour_ago + std::chrono::seconds(1));
  form->sButtonCheckClick();
  EXPECT_EQ(LineCount(" ! Устаревший файл: a.jar"), 1u);
  EXPECT_EQ(form->State().MissingMods, std::vector<std::string>{"a.jar"});
}

class KeyedCheckTest : public CompatibilityCheckTest {
 protected:
  KeyedCheckTest() : CompatibilityCheckTest(test::kSignerPublicKey) {}
};

TEST_F(KeyedCheckTest, ASignedManifestIsTakenAndItsHashesJudgeTheFiles) {
  PutManifest(std::string(test::kSignedManifest));
  server.Put(url + "/Update.sig", test::HexBytes(test::kOpenSslSignature));
  WriteFile(InVersion("a.jar"), "b");
  form->sButtonCheckClick();

  const std::vector<std::string> expected = {
      "=====Проверка совместимости=====",
      "[9:05:07] Конфиг загружен.",
      "Всего модов на сервере: 1 шт. (1 Байт)",
      " ! Устаревший файл: a.jar",
      "* Отсутствует: a.jar",
      "======Завершение проверки=======",
      "Отсутствуют моды: 1 шт. (1 Байт)",
      "Можно удалить файлов: 0 шт.",
  };
  EXPECT_EQ(Lines(), expected);
  EXPECT_EQ(form->State().MissingHashes.at("a.jar").sha256, Sha256Hex("a"));
  EXPECT_TRUE(form->State().VerifiedFiles.has_value());
  EXPECT_TRUE(FileExists(JoinPath(form->State().DataFolder, "Update.sig")));
}

// A manifest the server does not give, or that the build's key does not vouch for, stops the
// check before it touches anything: the earlier result stands.
struct Refused {
  const char* what;
  std::string_view key;
  bool served;
  std::optional<std::string> signature;  // nullopt: the server has none
};

class ManifestNotTakenTest : public CompatibilityCheckTest,
                             public ::testing::WithParamInterface<Refused> {
 protected:
  ManifestNotTakenTest() : CompatibilityCheckTest(GetParam().key) {}
};

TEST_P(ManifestNotTakenTest, StopsTheCheckWithTheWindowNeverDisabled) {
  if (GetParam().served) PutManifest(std::string(test::kSignedManifest));
  if (GetParam().signature) server.Put(url + "/Update.sig", *GetParam().signature);
  const std::string data = form->State().DataFolder;
  WriteFile(JoinPath(data, "Update.ini"), "[modlist]\r\nCount=1\r\nmod1=x.jar\r\n");
  form->State().MissingMods = {"x.jar"};
  form->State().RemovableFiles = {"y.jar"};
  view.SetEnabled(Control::sButtonDownload, true);
  form->sButtonCheckClick();

  std::vector<std::string> expected = {"=====Проверка совместимости=====",
                                       "[9:05:07] Конфиг очищен."};
  if (GetParam().served) expected.push_back("[9:05:07]  ! Подпись конфига не подтверждена.");
  expected.push_back("[9:05:07] Ошибка загрузки конфига.");
  EXPECT_EQ(Lines(), expected);
  EXPECT_FALSE(FileExists(JoinPath(data, "Update.ini")));
  EXPECT_FALSE(FileExists(JoinPath(data, "Update.sig")));
  EXPECT_FALSE(form->State().VerifiedFiles.has_value());
  EXPECT_FALSE(WindowWasDisabled());
  EXPECT_TRUE(view.window_enabled);
  EXPECT_EQ(form->State().MissingMods, std::vector<std::string>{"x.jar"});
  EXPECT_EQ(form->State().RemovableFiles, std::vector<std::string>{"y.jar"});
  EXPECT_TRUE(view.Enabled(Control::sButtonDownload));
  EXPECT_FALSE(view.focused.has_value());
}

INSTANTIATE_TEST_SUITE_P(
    Check, ManifestNotTakenTest,
    ::testing::Values(Refused{"NotServed", "", false, std::nullopt},
                      Refused{"BadSignature", test::kSignerPublicKey, true,
                              test::OneBitChanged(test::HexBytes(test::kOpenSslSignature), 7)},
                      Refused{"NoSignature", test::kSignerPublicKey, true, std::nullopt},
                      Refused{"AnotherKey", test::kOtherPublicKey, true,
                              test::HexBytes(test::kOpenSslSignature)}),
    [](const ::testing::TestParamInfo<Refused>& param) { return std::string(param.param.what); });

// A manifest store that fails to read, as a vanished network drive would.
class FailingIni : public app::IniStore {
 public:
  const std::string& Path() const override { return path_; }
  std::string ReadString(std::string_view, std::string_view, std::string_view) const override {
    throw std::runtime_error("read failed");
  }
  std::vector<std::string> ReadKeys(std::string_view) const override {
    throw std::runtime_error("read failed");
  }
  std::vector<std::pair<std::string, std::string>> ReadSection(std::string_view) const override {
    throw std::runtime_error("read failed");
  }
  void WriteString(std::string_view, std::string_view, std::string_view) override {}

 private:
  std::string path_ = "Update.ini";
};

TEST_F(CompatibilityCheckTest, ErrorInsideTheWalkStillEnablesTheWindow) {
  PutManifest("[modlist]\r\nCount=1\r\nmod1=a.jar\r\n");
  form->State().ManifestIni = std::make_unique<FailingIni>();
  EXPECT_THROW(form->sButtonCheckClick(), std::runtime_error);
  EXPECT_TRUE(view.window_enabled);
}

}  // namespace
}  // namespace veltrane::ui
