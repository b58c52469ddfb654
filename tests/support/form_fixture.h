#pragma once
// The main window's logic over a fake window and fake desktop, with real files in a temporary
// folder that also stands for %appdata%.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "base/paths.h"
#include "base/portable_ini.h"
#include "fake_desktop.h"
#include "fake_main_view.h"
#include "fake_server.h"
#include "temp_dir.h"
#include "ui/main_form.h"

namespace veltrane::test {

class FixedClock : public ui::ConsoleClock {
 public:
  std::string LongTimeNow() const override { return "9:05:07"; }
};

class FormFixture : public ::testing::Test {
 protected:
  // The form checks the manifest under `pack_key`: by default under none, as a build without a
  // key does, whatever key this build carries.
  explicit FormFixture(std::string_view pack_key = "") : engine(ticks), view(ticks, ui) {
    ui::SetAnimationEngine(&engine);
    desktop.appdata = temp.path().string();
    form = std::make_unique<ui::TProTarvoCompatibility>(
        view, desktop, ui, clock, server,
        [](const std::string& path) { return std::make_unique<app::PortableIniStore>(path); },
        pack_key);
  }
  ~FormFixture() override { ui::SetAnimationEngine(nullptr); }

  // Delivers animation ticks until the engine stops.
  void FinishAnimations() { ticks.RunUntilStopped(); }

  // A game folder below the temporary folder, with the given subfolders.
  std::string MakeGameFolder(const std::string& name, bool versions, bool assets,
                             bool version_folder) {
    const std::string folder = temp.Sub(name);
    ForceDirectories(folder);
    if (versions) ForceDirectories(JoinPath(folder, "versions"));
    if (assets) ForceDirectories(JoinPath(folder, "assets"));
    if (version_folder) ForceDirectories(JoinPath(JoinPath(folder, "versions"), "1.12.2"));
    return folder;
  }

  void WriteLauncherConfig(const std::string& text) {
    temp.Write(".tlauncher/legacy.properties", text);
  }

  // How often the status console holds `line`.
  std::size_t LineCount(const std::string& line) const {
    const auto& lines = form->StatusLog().Lines();
    return static_cast<std::size_t>(std::count(lines.begin(), lines.end(), line));
  }
  bool Logged(const std::string& line) const { return LineCount(line) > 0; }

  TempDir temp;
  FakeTickSource ticks;
  ui::AnimationEngine engine;
  ManualUiThread ui;
  FakeMainView view;
  FakeDesktop desktop;
  FixedClock clock;
  FakeServer server;
  std::unique_ptr<ui::TProTarvoCompatibility> form;
};

}  // namespace veltrane::test
