#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <mutex>
#include <set>
#include <system_error>
#include <thread>

#include "base/error_boundary.h"
#include "base/scope_exit.h"
#include "base/u8path.h"
#include "build_config.h"
#include "form_fixture.h"
#include "signed_manifest.h"

namespace veltrane::ui {
namespace {

class TurboTest : public test::FormFixture {
 protected:
  explicit TurboTest(std::string_view pack_key = "") : FormFixture(pack_key) {
    form->FormCreate();
    form->State().GameFolder = MakeGameFolder("game", true, true, true);
    app::DeriveModsFolders(form->State());
    ForceDirectories(form->State().VersionModsFolder);
    view.window.bounds = {100, 100, 830, 294};
    view.controls[Control::sCheckBox2].checked = false;
  }

  // Dispatcher ticks and UI work, as the message loop would deliver them, until the run closes;
  // `between` runs after each round, as another timer's handler would.
  void RunDispatcher(const std::function<void()>& between = {}) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (view.TimerEnabled(Timer::Timer6) && std::chrono::steady_clock::now() < limit) {
      form->Timer6Timer();
      ui.RunPending();
      if (between) between();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_FALSE(view.TimerEnabled(Timer::Timer6));
  }

  void AwaitOpened(std::size_t count) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (server.Opened().size() < count && std::chrono::steady_clock::now() < limit) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }

  std::set<std::string> OpenedNames() {
    std::set<std::string> names;
    for (const std::string& url : server.Opened()) names.insert(url.substr(mods.size()));
    return names;
  }

  const std::string mods = std::string(build::kServerUrl) + "/mods3/";
};

TEST_F(TurboTest, SevenModsAreHandedOutFromTheLastAndTheRunClosesAfterTheWorkers) {
  for (int i = 1; i <= 7; ++i) {
    const std::string name = "m" + std::to_string(i) + ".jar";
    form->State().MissingMods.push_back(name);
    if (i != 4) server.Put(mods + name, std::string(100 * i, 'x'));
  }
  form->sButtonDownloadClick();
  ASSERT_TRUE(view.TimerEnabled(Timer::Timer6));
  form->Timer6Timer();
  EXPECT_EQ(form->State().ModIndex, 2);
  for (int slot = 1; slot <= 5; ++slot) EXPECT_TRUE(form->Runs().FlowBusy(slot));
  // A tick that hands out work never closes the run.
  EXPECT_TRUE(view.TimerEnabled(Timer::Timer6));
  AwaitOpened(5);
  EXPECT_EQ(OpenedNames(),
            (std::set<std::string>{"m3.jar", "m4.jar", "m5.jar", "m6.jar", "m7.jar"}));
  RunDispatcher();

  EXPECT_EQ(OpenedNames().size(), 7u);
  const auto& lines = form->StatusLog().Lines();
  EXPECT_EQ(
      std::count_if(lines.begin(), lines.end(),
                    [](const std::string& l) { return l.starts_with("[9:05:07] Успешно: m"); }),
      6);
  EXPECT_EQ(LineCount("[9:05:07]  ! Ошибка загрузки: m4.jar"), 1u);
  // Every worker line comes before the summary.
  const auto summary = std::find(lines.begin(), lines.end(), "======Завершение загрузки=======");
  ASSERT_NE(summary, lines.end());
  EXPECT_EQ(
      std::count_if(summary, lines.end(), [](const std::string& l) { return l.find("m") == 10; }),
      0);
  EXPECT_EQ(*(summary + 2), "Объем загруженых файлов(6 из 7): 2,344 Кб");
  EXPECT_EQ(lines.back(), "! Не все файлы были загружены !");
  EXPECT_TRUE(view.window_enabled);
  EXPECT_EQ(view.window.bounds.height, 294);
  EXPECT_EQ(test::ReadFileBytes(JoinPath(form->State().VersionModsFolder, "m7.jar")).size(), 700u);
}

TEST_F(TurboTest, ReValidatingAnotherFolderMidTransferKeepsEachWorkersTargetAndSize) {
  for (int i = 1; i <= 5; ++i) {
    const std::string name = "m" + std::to_string(i) + ".jar";
    form->State().MissingMods.push_back(name);
    server.Put(mods + name, std::string(300 * i, 'x'));
  }
  const std::string first = form->State().VersionModsFolder;
  server.HoldBodies();
  form->sButtonDownloadClick();
  form->Timer6Timer();
  server.AwaitHeldReads(5);
  // The player picks another valid folder while all five transfers are under way.
  form->State().GameFolder = MakeGameFolder("other", true, true, true);
  form->Timer5Timer();
  ASSERT_NE(form->State().VersionModsFolder, first);
  server.ReleaseBodies();
  RunDispatcher([this] { form->Timer5Timer(); });

  for (int i = 1; i <= 5; ++i) {
    EXPECT_EQ(test::ReadFileBytes(JoinPath(first, "m" + std::to_string(i) + ".jar")).size(),
              300u * i);
  }
  EXPECT_TRUE(Logged("Объем загруженых файлов(5 из 5): 4,395 Кб"));
}

TEST_F(TurboTest, AWorkerThatCannotStartLeavesItsSlotFreeAndItsModFailed) {
  int starts = 0;
  form->Runs().SetThreadStarter([&starts](std::function<void()> body) {
    if (starts++ == 0) {
      throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    }
    return std::thread(std::move(body));
  });
  form->State().MissingMods = {"a.jar", "b.jar"};
  server.Put(mods + "a.jar", "a");
  server.Put(mods + "b.jar", "b");
  form->sButtonDownloadClick();
  form->Timer6Timer();
  EXPECT_FALSE(form->Runs().FlowBusy(1));
  EXPECT_TRUE(form->Runs().FlowBusy(2));
  RunDispatcher();
  EXPECT_TRUE(Logged("[9:05:07]  ! Ошибка загрузки: b.jar"));
  EXPECT_TRUE(Logged("Объем загруженых файлов(1 из 2): 1 Байт"));
  EXPECT_EQ(form->StatusLog().Lines().back(), "! Не все файлы были загружены !");
  EXPECT_TRUE(view.window_enabled);
}

TEST_F(TurboTest, AnErrorLeavingAWorkerGoesToTheErrorBoundaryAndTheRunGoesOn) {
  std::mutex mutex;
  std::vector<std::string> reported;
  SetErrorReporter([&](const std::string& message) {
    const std::lock_guard<std::mutex> lock(mutex);
    reported.push_back(message);
  });
  const ScopeExit restore([] { SetErrorReporter({}); });
  form->State().MissingMods = {"odd.jar", "fine.jar"};
  server.PutRaising(mods + "odd.jar", test::FakeServer::Raise::kOther);
  server.Put(mods + "fine.jar", "f");
  form->sButtonDownloadClick();
  RunDispatcher();
  EXPECT_EQ(reported, std::vector<std::string>{"Unknown error."});
  EXPECT_TRUE(Logged("[9:05:07]  ! Ошибка загрузки: odd.jar"));
  EXPECT_TRUE(Logged("Объем загруженых файлов(1 из 2): 1 Байт"));
}

TEST_F(TurboTest, AFormDestroyedMidRunStopsItsTransfersAndWaitsForItsWorkers) {
  // As when the session ends during a run: the window fades out and the program ends.
  form->State().MissingMods = {"a.jar", "b.jar"};
  for (const char* name : {"a.jar", "b.jar"}) {
    server.PutSlow(mods + name, std::string(4 << 20, 'x'), 4096);  // over a second each
  }
  const std::string folder = form->State().VersionModsFolder;
  form->sButtonDownloadClick();
  form->Timer6Timer();
  AwaitOpened(2);
  form.reset();
  // Stopped at their next chunk, before their files were whole; nothing left behind.
  EXPECT_TRUE(std::filesystem::is_empty(U8Path(folder)));
  ui.RunPending();  // their results arrive after the form and change nothing
}

TEST_F(TurboTest, AnUnsafeNameFailsWithoutAnyTransfer) {
  form->State().MissingMods = {"../up.jar"};
  server.Put(mods + "../up.jar", "x");
  form->sButtonDownloadClick();
  RunDispatcher();
  EXPECT_TRUE(server.Opened().empty());
  EXPECT_FALSE(FileExists(JoinPath(form->State().ModsFolder, "up.jar")));
  EXPECT_TRUE(Logged("[9:05:07]  ! Ошибка загрузки: ../up.jar"));
}

TEST_F(TurboTest, ATransferThatRaisesIsLoggedAsFailedAndTheRunCloses) {
  form->State().MissingMods = {"broken.jar"};
  server.PutRaising(mods + "broken.jar");
  form->sButtonDownloadClick();
  RunDispatcher();
  EXPECT_TRUE(Logged("[9:05:07]  ! Ошибка загрузки: broken.jar"));
  EXPECT_TRUE(Logged("Объем загруженых файлов(0 из 1): 0 Байт"));
  EXPECT_TRUE(view.window_enabled);
  EXPECT_FALSE(FileExists(JoinPath(form->State().VersionModsFolder, "broken.jar")));
}

class KeyedTurboTest : public TurboTest {
 protected:
  KeyedTurboTest() : TurboTest(test::kSignerPublicKey) {}
};

// A body without the published hash is not kept; a mod without one is not even asked for.
TEST_F(KeyedTurboTest, WorkersTakeOnlyPublishedBodies) {
  form->State().MissingMods = {"good.jar", "tampered.jar", "unpublished.jar"};
  form->State().MissingHashes = {{"good.jar", {test::Sha256Hex("good")}},
                                 {"tampered.jar", {test::Sha256Hex("published")}}};
  server.Put(mods + "good.jar", "good");
  server.Put(mods + "tampered.jar", "tampered");
  server.Put(mods + "unpublished.jar", "x");
  form->sButtonDownloadClick();
  RunDispatcher();
  EXPECT_TRUE(Logged("[9:05:07] Успешно: good.jar"));
  EXPECT_TRUE(Logged("[9:05:07]  ! Ошибка загрузки: tampered.jar"));
  EXPECT_TRUE(Logged("[9:05:07]  ! Ошибка загрузки: unpublished.jar"));
  EXPECT_TRUE(Logged("Объем загруженых файлов(1 из 3): 4 Байт"));
  EXPECT_EQ(OpenedNames(), (std::set<std::string>{"good.jar", "tampered.jar"}));
  EXPECT_FALSE(FileExists(JoinPath(form->State().VersionModsFolder, "tampered.jar")));
}

TEST_F(TurboTest, OneModUsesTheFirstSlotOnly) {
  form->State().MissingMods = {"only.jar"};
  server.Put(mods + "only.jar", "x");
  form->sButtonDownloadClick();
  form->Timer6Timer();
  EXPECT_TRUE(form->Runs().FlowBusy(1));
  for (int slot = 2; slot <= 5; ++slot) EXPECT_FALSE(form->Runs().FlowBusy(slot));
  RunDispatcher();
  EXPECT_EQ(form->StatusLog().Lines().back(), "Объем загруженых файлов(1 из 1): 1 Байт");
}

}  // namespace
}  // namespace veltrane::ui
