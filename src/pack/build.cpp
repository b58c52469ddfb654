#include "build.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <map>
#include <vector>

#include "base/file_ops.h"
#include "base/u8path.h"
#include "key_file.h"
#include "net/crypto.h"
#include "net/manifest.h"
#include "net/server_paths.h"
#include "net/transfer.h"
#include "pack_manifest.h"
#include "pack_rules.h"
#include "platform.h"
#include "signing.h"
#include "text.h"

namespace veltrane::pack {
namespace {

namespace fs = std::filesystem;

// The folder the mods are served from, without its slashes.
constexpr std::string_view kModsFolder = net::kModsPath.substr(1, net::kModsPath.size() - 2);

struct Problem {
  std::string file;  // as shown: relative to DIR
  std::string reason;
};

struct PackFile {
  std::string name;
  std::string path;
  std::int64_t size = 0;
  std::string sha256;
};

std::string ReadWhole(const std::string& path) {
  auto bytes = ReadWholeFile(path);
  if (!bytes) throw net::LocalFileError("Unable to read", path);
  return std::move(*bytes);
}

// Empty, too large, or a saved error page: what the client would not take as the file.
void CheckContent(const std::string& shown, const std::string& path, std::int64_t size,
                  std::vector<Problem>& problems) {
  if (size == 0) {
    problems.push_back({shown, "the file is empty"});
  } else if (size > kMaxFileSize) {
    problems.push_back({shown, "larger than " + std::to_string(kMaxFileSize) +
                                   " bytes, more than the manifest's size field holds"});
  } else if (net::IsDamagedFile(path)) {
    problems.push_back({shown,
                        "holds \"404: Not Found\" or \"unknown domain\": the client would take it "
                        "for a saved error page and delete it"});
  }
}

// Writes `bytes` to a new file beside `target` and gives it the target's name.
void ReplaceFile(const std::string& target, const std::function<void(const std::string&)>& write) {
  const std::string temporary = target + ".new";
  std::error_code ec;
  try {
    write(temporary);
  } catch (...) {
    fs::remove(U8Path(temporary), ec);
    throw;
  }
  fs::rename(U8Path(temporary), U8Path(target), ec);
  if (ec) {
    fs::remove(U8Path(temporary), ec);
    throw net::LocalFileError("Unable to replace", target);
  }
}

}  // namespace

std::string HashFile(const std::string& path) {
  auto sha256 = net::Sha256OfFile(path);
  if (!sha256) throw net::LocalFileError("Unable to read", path);
  return std::move(*sha256);
}

int RunBuild(const BuildOptions& options, std::ostream& out, std::ostream& err) {
  const fs::path dir = U8Path(options.dir);
  const fs::path mods_dir = dir / U8Path(kModsFolder);
  std::error_code ec;
  if (!fs::is_directory(dir, ec)) {
    err << "veltrane-pack: " << options.dir << " is not a folder\n";
    return 2;
  }
  if (!fs::is_directory(mods_dir, ec)) {
    err << "veltrane-pack: " << PathText(mods_dir) << " does not exist: the pack's mods go there\n";
    return 2;
  }
  std::optional<P256KeyPair> key;
  if (options.key_file) {
    std::string why;
    if (!fs::is_regular_file(U8Path(*options.key_file), ec)) {
      err << "veltrane-pack: " << *options.key_file << ": no such key file\n";
      return 2;
    }
    key = ParseKeyFile(ReadWhole(*options.key_file), why);
    if (!key) {
      err << "veltrane-pack: " << *options.key_file << ": " << why << "\n";
      return 2;
    }
  }

  std::vector<std::string> mirrors;
  for (const auto& given : options.mirrors) {
    if (auto base = net::MirrorBase(given)) {
      mirrors.push_back(std::move(*base));
    } else {
      err << "refused: --mirror " << given
          << ": the client could not use it (http:// or https://, a host, no blanks or control "
             "characters, no ? or #)\n";
    }
  }
  if (mirrors.size() < options.mirrors.size()) {
    err << "veltrane-pack: nothing written\n";
    return 2;
  }

  // Everything the folder holds is checked before anything is written.
  std::vector<Problem> problems;
  std::vector<PackFile> mods;
  std::vector<std::string> names;
  // In name order, so that messages come out the same way on every run.
  std::vector<fs::directory_entry> items(fs::directory_iterator(mods_dir), {});
  std::sort(items.begin(), items.end());
  for (const auto& item : items) {
    PackFile file;
    file.name = PathText(item.path().filename());
    file.path = PathText(item.path());
    const std::string shown = std::string(kModsFolder) + "/" + file.name;
    if (!item.is_regular_file()) {
      problems.push_back({shown, "not a regular file"});
      continue;
    }
    for (auto& reason : NameProblems(file.name)) problems.push_back({shown, std::move(reason)});
    file.size = static_cast<std::int64_t>(item.file_size());
    CheckContent(shown, file.path, file.size, problems);
    names.push_back(file.name);
    mods.push_back(std::move(file));
  }
  for (const auto& group : Collisions(names, NameKey)) {
    std::string list;
    for (const auto& name : group) list += (list.empty() ? "" : ", ") + name;
    problems.push_back(
        {std::string(kModsFolder) + "/" + group.front(),
         "names that differ only in letter case, a trailing dot or space, or in composed "
         "and decomposed letters are one file to the client: " +
             list});
  }
  std::vector<PackFile> extras(net::kServedFiles.size());
  for (std::size_t i = 0; i < net::kServedFiles.size(); ++i) {
    const fs::path path = dir / U8Path(net::kServedFiles[i].name);
    if (!fs::exists(path, ec)) continue;
    extras[i].name = net::kServedFiles[i].name;
    extras[i].path = PathText(path);
    if (!fs::is_regular_file(path, ec)) {
      problems.push_back({extras[i].name, "not a regular file"});
      continue;
    }
    extras[i].size = static_cast<std::int64_t>(fs::file_size(path, ec));
    CheckContent(extras[i].name, extras[i].path, extras[i].size, problems);
  }
  const std::string manifest_path = PathText(dir / U8Path(net::kManifestPath.substr(1)));
  const std::string signature_path = PathText(dir / U8Path(net::kManifestSignaturePath.substr(1)));
  // The next manifest builds on this one: it must say one thing.
  if (fs::is_regular_file(U8Path(manifest_path), ec)) {
    for (auto& where : app::PortableIniStore(manifest_path, Cp1251Codec()).Ambiguities()) {
      problems.push_back({std::string(net::kManifestPath.substr(1)),
                          std::move(where) + " (readers disagree on what it says)"});
    }
  }
  if (!problems.empty()) {
    for (const auto& problem : problems)
      err << "refused: " << problem.file << ": " << problem.reason << "\n";
    err << "veltrane-pack: " << problems.size() << (problems.size() == 1 ? " problem" : " problems")
        << " in " << options.dir << "; nothing written\n";
    return 2;
  }

  const PreviousManifest previous = ReadPreviousManifest(manifest_path);
  const ManifestPlan plan = PlanManifest(previous, names, options.version, NameKey);
  const bool mirrors_kept = options.mirrors.empty() && !options.no_mirrors;
  if (mirrors_kept) mirrors = previous.mirrors;

  std::int64_t total = 0;
  const std::int64_t serial = options.serial.value_or(previous.serial + 1);
  const net::Date expires =
      options.expires.value_or(net::AddDays(options.today, kDefaultValidDays));
  ManifestSection update{std::string(net::kUpdateSection), {}};
  if (plan.last_version) update.entries.emplace_back(net::kLastVersionKey, *plan.last_version);
  update.entries.emplace_back(net::kSerialKey, std::to_string(serial));
  update.entries.emplace_back(net::kExpiresKey, net::IsoText(expires));
  for (std::size_t i = 0; i < mirrors.size(); ++i) {
    update.entries.emplace_back(net::MirrorKey(static_cast<long long>(i + 1)), mirrors[i]);
  }
  for (std::size_t i = 0; i < net::kServedFiles.size(); ++i) {
    if (extras[i].path.empty()) continue;
    update.entries.emplace_back(net::kServedFiles[i].sha256_key, HashFile(extras[i].path));
    update.entries.emplace_back(net::kServedFiles[i].size_key, std::to_string(extras[i].size));
  }
  ManifestSection modlist{std::string(net::kModListSection), {}};
  modlist.entries.emplace_back(net::kCountKey, std::to_string(plan.mods.size()));
  std::map<std::string_view, const PackFile*> by_name;
  for (const auto& mod : mods) by_name.emplace(mod.name, &mod);
  for (std::size_t i = 0; i < plan.mods.size(); ++i) {
    const PackFile* file = by_name.at(plan.mods[i]);
    const auto index = static_cast<long long>(i + 1);
    modlist.entries.emplace_back(net::EntryKey(index), file->name);
    modlist.entries.emplace_back(net::EntrySizeKey(index), std::to_string(file->size));
    modlist.entries.emplace_back(net::EntrySha256Key(index), HashFile(file->path));
    total += file->size;
  }
  ManifestSection dellist{std::string(net::kDelListSection), {}};
  dellist.entries.emplace_back(net::kCountKey, std::to_string(plan.removed.size()));
  for (std::size_t i = 0; i < plan.removed.size(); ++i) {
    dellist.entries.emplace_back(net::EntryKey(static_cast<long long>(i + 1)), plan.removed[i]);
  }
  const std::vector<ManifestSection> sections = {update, modlist, dellist};
  const ManifestEncoding encoding = ChooseEncoding(sections);

  std::optional<net::P256Signature> signature;
  ReplaceFile(manifest_path, [&](const std::string& temporary) {
    WriteManifestFile(temporary, sections, encoding);
    if (key) {
      signature = SignP256(*key, ReadWhole(temporary));
      if (!signature) {
        throw net::CryptoError("the key in " + *options.key_file + " does not hold together");
      }
    }
  });

  out << manifest_path << ": " << plan.mods.size() << " mods (" << SizeText(total) << "), "
      << plan.removed.size() << " to remove, "
      << (encoding == ManifestEncoding::kCp1251 ? "code page 1251" : "UTF-16LE") << "\n";
  if (plan.last_version) {
    out << "lastversion: " << *plan.last_version << "\n";
  } else {
    out << "lastversion: none (no --version and none before): clients will not update themselves\n";
  }
  out << "serial: " << serial
      << (options.serial    ? ""
          : previous.serial ? " (the replaced manifest's plus one)"
                            : "")
      << "\n";
  out << "expires: " << net::IsoText(expires) << " (UTC, "
      << net::DaysBetween(options.today, expires) << " days from today)\n";
  if (expires < options.today) {
    err << "warning: expires " << net::IsoText(expires)
        << " is already past: clients take the mods but no self-update from this manifest\n";
  }
  if (options.serial && *options.serial < previous.serial) {
    err << "warning: serial " << *options.serial << " is below the replaced manifest's "
        << previous.serial << ": clients that took that one refuse this one\n";
  }
  for (std::size_t i = 0; i < mirrors.size(); ++i) {
    out << net::MirrorKey(static_cast<long long>(i + 1)) << ": " << mirrors[i]
        << (mirrors_kept ? " (kept from the manifest replaced)" : "") << "\n";
  }
  if (mirrors_kept && previous.unusable_mirrors > 0) {
    out << "mirrors: " << previous.unusable_mirrors
        << " of the manifest replaced dropped; the client could not use them\n";
  } else if (options.no_mirrors && !previous.mirrors.empty()) {
    out << "mirrors: " << previous.mirrors.size() << " dropped (--no-mirrors)\n";
  }
  for (std::size_t i = 0; i < net::kServedFiles.size(); ++i) {
    if (!extras[i].path.empty()) out << "hashed: " << extras[i].name << "\n";
  }
  if (signature) {
    ReplaceFile(signature_path, [&](const std::string& temporary) {
      std::ofstream sig(U8Path(temporary), std::ios::binary | std::ios::trunc);
      sig.write(reinterpret_cast<const char*>(signature->data()), signature->size());
      sig.close();
      if (!sig) throw net::LocalFileError("Unable to write", temporary);
    });
    out << signature_path << ": signed, public key " << PublicKeyText(key->public_key) << "\n";
  } else if (fs::exists(U8Path(signature_path), ec)) {
    fs::remove(U8Path(signature_path), ec);
    if (ec) throw net::LocalFileError("Unable to remove", signature_path);
    out << signature_path << ": removed; it would not match the new manifest (no --key given)\n";
  }
  return 0;
}

}  // namespace veltrane::pack
