// seal_pack DIR KEYFILE: seals a served folder for the tests. Their manifests are written by hand,
// with oddities the pack tool refuses (gaps, unsafe names, error pages), so instead of building
// the manifest anew this adds only the hash keys it lacks for the files DIR holds: "mod"+i+
// "sha256" for each listed plain name found in mods3/, and updatesha256, settingssha256 and
// forgesha256 for Update.exe, Settingss.exe and the Forge installer. Keys already there stay as
// written, wrong or not. Then it signs the manifest's bytes into Update.sig with KEYFILE.
//
// The keys go in through the portable INI store, which keeps the file's encoding and every other
// line but ends each line in CRLF, the last one too. A manifest whose other bytes that would
// change (or whose text does not survive the store's read and write) is refused and left as it
// was: a test never serves bytes it did not write.
//
// Exit status: 0 sealed, 2 refused, 1 failed.
#include <algorithm>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "base/ascii.h"
#include "base/file_ops.h"
#include "base/portable_ini.h"
#include "base/u8path.h"
#include "build.h"
#include "key_file.h"
#include "net/manifest.h"
#include "net/server_paths.h"
#include "net/transfer.h"
#include "pack_manifest.h"
#include "signing.h"
#ifdef _WIN32
#include "base/wide.h"
#endif

namespace {

using namespace veltrane;
namespace fs = std::filesystem;
using Entries = std::vector<std::pair<std::string, std::string>>;

struct Added {
  std::string_view section;
  std::string key;
  std::string sha256;
};

std::string ReadWhole(const fs::path& path) {
  auto bytes = ReadWholeFile(PathText(path));
  if (!bytes) throw net::LocalFileError("Unable to read", PathText(path));
  return std::move(*bytes);
}

void WriteWhole(const fs::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) throw net::LocalFileError("Unable to write", PathText(path));
}

bool HasKey(const Entries& entries, std::string_view key) {
  return std::ranges::any_of(entries,
                             [&](const auto& e) { return AsciiLower(e.first) == AsciiLower(key); });
}

// An ASCII line and its CRLF as the store writes them into a file that starts like `file`.
std::string EncodedLine(std::string_view file, const std::string& line) {
  const bool little_endian = file.starts_with("\xFF\xFE");
  const bool big_endian = file.starts_with("\xFE\xFF");
  std::string bytes;
  for (const char c : line + "\r\n") {
    if (big_endian) bytes += '\0';
    bytes += c;
    if (little_endian) bytes += '\0';
  }
  return bytes;
}

// Whether `sealed` is `original` with the added lines (and the [Update] header the store appends
// when the manifest has no such section) and nothing else changed.
bool OnlyAdded(const std::string& original, std::string sealed, const std::vector<Added>& added) {
  for (const auto& line : added) {
    const std::string bytes = EncodedLine(original, line.key + "=" + line.sha256);
    const auto at = sealed.find(bytes);
    if (at == std::string::npos) return false;
    sealed.erase(at, bytes.size());
  }
  if (sealed == original) return true;
  const std::string header = EncodedLine(original, "[" + std::string(net::kUpdateSection) + "]");
  return sealed.ends_with(header) && sealed.substr(0, sealed.size() - header.size()) == original;
}

int Seal(const std::string& dir, const std::string& key_file) {
  std::string why;
  const auto key = pack::ParseKeyFile(ReadWhole(U8Path(key_file)), why);
  if (!key) {
    std::cerr << "seal_pack: " << key_file << ": " << why << "\n";
    return 2;
  }
  const fs::path root = U8Path(dir);
  const fs::path manifest = root / U8Path(net::kManifestPath.substr(1));
  std::error_code ec;
  if (!fs::is_regular_file(manifest, ec)) {
    std::cerr << "seal_pack: " << PathText(manifest) << " does not exist: write it first\n";
    return 2;
  }
  const std::string original = ReadWhole(manifest);

  app::PortableIniStore store(PathText(manifest), pack::Cp1251Codec());
  std::vector<Added> added;
  auto add_if_served = [&](std::string_view section, const Entries& present, std::string name,
                           std::string_view served_path) {
    const fs::path file = root / U8Path(served_path.substr(1));
    if (HasKey(present, name) || !fs::is_regular_file(file, ec)) return;
    added.push_back({section, std::move(name), pack::HashFile(PathText(file))});
  };
  const Entries modlist = store.ReadSection(net::kModListSection);
  for (const auto& entry : net::ReadModList(store).entries) {
    // A name the client refuses never becomes a path, here neither: it may lead out of mods3.
    if (!entry.plain) continue;
    add_if_served(net::kModListSection, modlist, net::EntrySha256Key(entry.index),
                  net::ModPath(entry.name));
  }
  const Entries update = store.ReadSection(net::kUpdateSection);
  for (const net::ServedFile& file : net::kServedFiles) {
    add_if_served(net::kUpdateSection, update, std::string(file.sha256_key),
                  "/" + std::string(file.name));
  }

  for (const auto& line : added) store.WriteString(line.section, line.key, line.sha256);
  if (!OnlyAdded(original, ReadWhole(manifest), added)) {
    WriteWhole(manifest, original);
    std::cerr << "seal_pack: " << PathText(manifest)
              << ": adding the hash keys would change other bytes (line ends other than CRLF, "
                 "a last line without one, or text that does not survive a read and a write); "
                 "left as it was. End every line in CRLF, or write the hash keys yourself: then "
                 "it is only signed.\n";
    return 2;
  }
  const auto signature = pack::SignP256(*key, ReadWhole(manifest));
  if (!signature) {
    std::cerr << "seal_pack: the key in " << key_file << " does not hold together\n";
    return 1;
  }
  WriteWhole(root / U8Path(net::kManifestSignaturePath.substr(1)),
             std::string_view(reinterpret_cast<const char*>(signature->data()), signature->size()));
  std::cout << PathText(manifest) << ": " << added.size() << " hash keys added, signed\n";
  return 0;
}

int Run(const std::vector<std::string>& args) {
  if (args.size() != 2) {
    std::cerr << "usage: seal_pack DIR KEYFILE\n";
    return 2;
  }
  try {
    return Seal(args[0], args[1]);
  } catch (const std::exception& e) {
    std::cerr << "seal_pack: " << e.what() << "\n";
    return 1;
  }
}

}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(veltrane::win32::Narrow(argv[i]));
  return Run(args);
}
#else
int main(int argc, char** argv) {
  return Run(std::vector<std::string>(argv + 1, argv + argc));
}
#endif
