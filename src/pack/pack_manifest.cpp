#include "pack_manifest.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>

#include "base/u8path.h"
#include "net/manifest.h"
#include "net/manifest_terms.h"
#include "net/server_paths.h"
#include "platform.h"

namespace veltrane::pack {

ManifestPlan PlanManifest(const PreviousManifest& previous, std::vector<std::string> present,
                          const std::optional<std::string>& version, const Fold& fold) {
  ManifestPlan plan;
  plan.last_version = version ? version : previous.last_version;

  std::set<std::string> present_exact(present.begin(), present.end());
  std::set<std::string> present_folded;
  for (const auto& name : present) present_folded.insert(fold(name));

  std::set<std::string> listed;
  for (const auto& name : previous.mods) {
    if (present_exact.count(name) && listed.insert(name).second) plan.mods.push_back(name);
  }
  std::sort(present.begin(), present.end());
  for (const auto& name : present) {
    if (listed.insert(name).second) plan.mods.push_back(name);
  }

  std::set<std::string> removed;
  auto remove = [&](const std::string& name) {
    if (name.empty()) return;
    const std::string folded = fold(name);
    if (present_folded.count(folded) || !removed.insert(folded).second) return;
    plan.removed.push_back(name);
  };
  for (const auto& name : previous.removed) remove(name);
  for (const auto& name : previous.mods) remove(name);
  return plan;
}

app::IniCodec Cp1251Codec() {
  return app::IniCodec{
      [](std::string_view bytes) { return Cp1251ToUtf8(bytes); },
      [](std::string_view utf8) {
        // Only called for text that ChooseEncoding found to fit.
        return Utf8ToCp1251(utf8).value_or(std::string());
      },
  };
}

PreviousManifest ReadPreviousManifest(const std::string& path) {
  PreviousManifest previous;
  std::error_code ec;
  if (!std::filesystem::is_regular_file(U8Path(path), ec)) return previous;
  const app::PortableIniStore store(path, Cp1251Codec());
  const std::string version = store.ReadString(net::kUpdateSection, net::kLastVersionKey, "");
  if (!version.empty()) previous.last_version = version;
  for (const auto& entry : net::ReadModList(store).entries) previous.mods.push_back(entry.name);
  for (const auto& entry : net::ReadDelList(store).entries) previous.removed.push_back(entry.name);
  previous.mirrors = net::ReadServedFiles(store).mirrors;
  previous.serial = net::ReadTerms(store).serial;
  // The client stops at the first index without a value and passes over what it cannot use.
  std::size_t listed = 0;
  while (
      !store.ReadString(net::kUpdateSection, net::MirrorKey(static_cast<long long>(listed) + 1), "")
           .empty()) {
    ++listed;
  }
  previous.unusable_mirrors = listed - std::min(listed, previous.mirrors.size());
  return previous;
}

ManifestEncoding ChooseEncoding(const std::vector<ManifestSection>& sections) {
  for (const auto& section : sections) {
    for (const auto& [key, value] : section.entries) {
      if (!Utf8ToCp1251(value)) return ManifestEncoding::kUtf16Le;
    }
  }
  return ManifestEncoding::kCp1251;
}

void WriteManifestFile(const std::string& path, const std::vector<ManifestSection>& sections,
                       ManifestEncoding encoding) {
  {
    // The store writes a file in the encoding its byte-order mark names, so a new file that
    // holds only the mark comes out in UTF-16LE.
    std::ofstream out(U8Path(path), std::ios::binary | std::ios::trunc);
    if (encoding == ManifestEncoding::kUtf16Le) out << "\xFF\xFE";
    out.close();
    if (!out) throw app::IniWriteError(path);
  }
  app::PortableIniStore store(path, Cp1251Codec());
  for (const auto& section : sections) store.WriteSection(section.name, section.entries);
}

}  // namespace veltrane::pack
