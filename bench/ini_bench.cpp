// How long the portable INI store takes over a large manifest: the manifest reader's parse of
// 2 000 and 10 000 entries, and one WriteSection of 10 000 entries, each the best of a few runs.
// Prints one "what: time" line each; tools/bench-ini builds it optimised and runs it.
//   ini_bench [FOLDER]   (the files go to FOLDER, by default the system's temporary folder)
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "base/portable_ini.h"
#include "base/u8path.h"
#include "net/manifest.h"

namespace {

using namespace veltrane;
using Clock = std::chrono::steady_clock;
using Entries = std::vector<std::pair<std::string, std::string>>;

constexpr int kRuns = 5;

Entries ModList(int count) {
  Entries entries = {{"Count", std::to_string(count)}};
  for (int i = 1; i <= count; ++i) {
    entries.emplace_back("mod" + std::to_string(i), "mod-" + std::to_string(i) + "_1.12.2.jar");
    entries.emplace_back("mod" + std::to_string(i) + "size", std::to_string(100000 + i));
  }
  return entries;
}

// The best of kRuns, in milliseconds.
double BestMs(const std::function<void()>& work) {
  double best = 1e300;
  for (int run = 0; run < kRuns; ++run) {
    const auto start = Clock::now();
    work();
    best = std::min(best, std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  return best;
}

std::string Manifest(const std::filesystem::path& folder, int count) {
  const std::string path = PathText(folder / ("Update-" + std::to_string(count) + ".ini"));
  std::ofstream(U8Path(path), std::ios::binary | std::ios::trunc)
      << "[Update]\r\nlastversion=1.2.6.3\r\n";
  app::PortableIniStore store(path);
  store.WriteSection("modlist", ModList(count));
  store.WriteSection("dellist", {{"Count", "1"}, {"mod1", "old.jar"}});
  return path;
}

}  // namespace

int main(int argc, char** argv) {
  const std::filesystem::path folder =
      (argc > 1 ? std::filesystem::path(argv[1]) : std::filesystem::temp_directory_path()) /
      "veltrane-ini-bench";
  std::filesystem::create_directories(folder);

  for (const int count : {2000, 10000}) {
    const app::PortableIniStore store(Manifest(folder, count));
    std::size_t listed = 0;
    const double ms = BestMs([&] {
      listed = net::ReadModList(store).entries.size() + net::ReadDelList(store).entries.size();
    });
    std::printf("manifest parse, %d entries: %.1f ms (%zu listed)\n", count, ms, listed);
  }

  const Entries entries = ModList(10000);
  app::PortableIniStore store(PathText(folder / "Update-10000.ini"));
  const double ms = BestMs([&] { store.WriteSection("modlist", entries); });
  std::printf("WriteSection, 10000 entries: %.1f ms (%ju bytes)\n", ms,
              static_cast<std::uintmax_t>(std::filesystem::file_size(folder / "Update-10000.ini")));

  std::filesystem::remove_all(folder);
  return 0;
}
