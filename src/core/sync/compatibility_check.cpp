#include "sync/compatibility_check.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "base/file_ops.h"
#include "base/paths.h"
#include "base/size_text.h"
#include "net/manifest.h"
#include "net/manifest_fetch.h"
#include "net/manifest_terms.h"
#include "net/server_paths.h"
#include "net/transfer.h"
#include "sync/hash_cache.h"
#include "sync/mod_fetch.h"
#include "ui/run_beside.h"

namespace veltrane::sync {
namespace {

using ui::Control;

constexpr std::string_view kNoConnection = "Ошибка подключения к серверу.";
constexpr std::string_view kCancelled = "Операция отменена.";
constexpr std::string_view kCheckHeading = "=====Проверка совместимости=====";
constexpr std::string_view kManifestCleared = "Конфиг очищен.";
constexpr std::string_view kManifestLoaded = "Конфиг загружен.";
constexpr std::string_view kManifestFailed = "Ошибка загрузки конфига.";
// A build with a key takes no manifest that is not signed under it.
constexpr std::string_view kManifestNotSigned = " ! Подпись конфига не подтверждена.";
constexpr std::string_view kDamaged = " ! Поврежденный файл: ";
// A file that is not the one the manifest publishes (an older release, or changed since).
constexpr std::string_view kOutdated = " ! Устаревший файл: ";
constexpr std::string_view kMissing = "* Отсутствует: ";
// A manifest name that would leave the mods folders is never turned into a path.
constexpr std::string_view kBadName = " ! Недопустимое имя файла: ";
constexpr std::string_view kUnreadable = " ! Не удалось прочитать файл: ";
constexpr std::string_view kNoFolder = " ! Не удалось создать папку: ";

// A list whose Count leaves more gaps than the reader believes: said once, with the figures.
std::string BoundedListLine(std::string_view section, const net::ManifestList& list) {
  return " ! Неверный Count в конфиге (" + std::string(section) +
         "): " + std::to_string(list.count) + ", записей: " + std::to_string(list.entries.size());
}

// The window takes no input while the check walks the folders, and gets it back on every way
// out, an exception included.
class DisabledWindow {
 public:
  explicit DisabledWindow(ui::MainView& view) : view_(view) { view_.SetWindowEnabled(false); }
  ~DisabledWindow() { view_.SetWindowEnabled(true); }
  DisabledWindow(const DisabledWindow&) = delete;
  DisabledWindow& operator=(const DisabledWindow&) = delete;

 private:
  ui::MainView& view_;
};

// What a listed mod's file in the version folder turns out to be.
enum class Kept { kAsItIs, kErrorPage, kNotPublished, kCannotRead };

// Without a published hash a file is kept unless it is a saved error page (a missing file is
// kept as it is: missing). With one, a file is kept only when it has that hash, which the cache
// gives without reading a file unchanged since it was hashed.
Kept Inspect(const std::string& folder, const std::string& name,
             const std::optional<std::string>& published, std::optional<HashCache>& hashes) {
  const std::string path = JoinPath(folder, name);
  try {
    if (published && hashes && FileExists(path)) {
      const std::optional<std::string> actual = hashes->HashOf(folder, name);
      if (!actual) return Kept::kCannotRead;
      if (actual == published) return Kept::kAsItIs;
      return net::IsDamagedFile(path) ? Kept::kErrorPage : Kept::kNotPublished;
    }
    return net::IsDamagedFile(path) ? Kept::kErrorPage : Kept::kAsItIs;
  } catch (const net::LocalFileError&) {
    return Kept::kCannotRead;
  }
}

// The published sizes are summed as signed 32-bit numbers that wrap around.
std::int32_t AddWrapping(std::int32_t sum, std::int32_t size) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(sum) +
                                   static_cast<std::uint32_t>(size));
}

}  // namespace

CompatibilityCheck::CompatibilityCheck(const ui::FormContext& context, app::IniOpener open_ini)
    : view_(context.view),
      desktop_(context.desktop),
      transport_(context.transport),
      state_(context.state),
      console_(context.console),
      ui_(context.ui),
      pack_key_(context.pack_key),
      open_ini_(std::move(open_ini)) {}

const app::IniStore& CompatibilityCheck::Manifest() {
  if (!state_.ManifestIni) state_.ManifestIni = open_ini_(app::ManifestIniPath(state_.DataFolder));
  return *state_.ManifestIni;
}

bool CompatibilityCheck::conecteon() {
  if (transport_.IsConnected()) return true;
  console_.Console(kNoConnection);
  console_.Console(kCancelled);
  return false;
}

void CompatibilityCheck::sButtonCheckClick() {
  if (!conecteon()) return;
  console_.Console(ui::kHeading, false, kCheckHeading);

  const std::string manifest = app::ManifestIniPath(state_.DataFolder);
  if (FileExists(manifest)) {
    DeleteFileAt(manifest);
    console_.Console(kManifestCleared);
  }
  // The fetch runs beside the window, which takes no input meanwhile; on failure the lists and
  // the button keep their state. When the program is asked to end meanwhile, the check ends.
  net::ManifestFetch fetched = net::ManifestFetch::kFailed;
  {
    const DisabledWindow disabled(view_);
    const std::string agent = desktop_.ProgramName();
    if (!ui::RunBeside(ui_, [&](const net::Cancel& cancel) {
          fetched = net::FetchManifest(transport_, state_.ServerUrl, state_.DataFolder, agent,
                                       pack_key_, &cancel);
        })) {
      return;
    }
  }
  switch (fetched) {
    case net::ManifestFetch::kFailed:
      console_.Console(kManifestFailed);
      return;
    case net::ManifestFetch::kUnverified:
      console_.Console(kManifestNotSigned);
      console_.Console(kManifestFailed);
      return;
    case net::ManifestFetch::kTaken:
      break;
  }
  if (!pack_key_.empty()) {
    const net::Judgement judged = net::JudgeManifest(Manifest(), manifest, state_.DataFolder,
                                                     std::chrono::system_clock::now());
    if (judged.standing == net::Standing::kOlder) {
      // A replay of an older pack changes nothing.
      console_.Console(net::OlderManifestLine(judged));
      return;
    }
    console_.Console(kManifestLoaded);
    if (judged.standing == net::Standing::kExpired) {
      console_.Console(net::ExpiredManifestLine(judged));
    }
  } else {
    console_.Console(kManifestLoaded);
  }
  const net::ServedFiles served = net::ReadServedFiles(Manifest());
  if (!pack_key_.empty()) state_.VerifiedFiles = served;
  state_.Mirrors = served.mirrors;

  bool finished = false;
  {
    DisabledWindow disabled(view_);
    finished = CheckModsAgainstManifest();
  }
  if (finished && view_.Enabled(Control::sButtonDownload)) view_.Focus(Control::sButtonDownload);
}

bool CompatibilityCheck::CheckModsAgainstManifest() {
  if (!DirectoryExists(state_.VersionModsFolder) && !ForceDirectories(state_.VersionModsFolder)) {
    console_.Console(false, std::string(kNoFolder) + state_.VersionModsFolder);
    return false;
  }
  const app::IniStore& ini = Manifest();
  const std::string separator = desktop_.DecimalSeparator();

  const net::ManifestList mod_list = net::ReadModList(ini);
  const std::vector<net::ManifestEntry>& mods = mod_list.entries;
  if (mod_list.bounded) console_.Console(false, BoundedListLine(net::kModListSection, mod_list));
  // Count, or when the list was bounded the entries the manifest really describes.
  state_.ModCount = static_cast<std::int32_t>(mods.size());
  state_.ModsSize = 0;
  for (const net::ManifestEntry& mod : mods)
    state_.ModsSize = AddWrapping(state_.ModsSize, mod.size);
  // What killed or broken transfers left, unless a run of this pack would continue it.
  std::map<std::string, std::string> resumable;
  for (const net::ManifestEntry& mod : mods) {
    if (mod.plain) resumable.try_emplace(mod.name, mod.sha256.value_or(""));
  }
  net::RemoveStalePartials(state_.VersionModsFolder, resumable);
  console_.Console(false, "Всего модов на сервере: " + std::to_string(state_.ModCount) + " шт. (" +
                              SizeToText(state_.ModsSize, separator) + ")");

  // A file found in the plain mods folder joins the version folder unless one is there already.
  const auto bring_in = [this](const std::string& name) {
    const std::string loose = JoinPath(state_.ModsFolder, name);
    if (FileExists(loose)) MoveFileTo(loose, JoinPath(state_.VersionModsFolder, name), true);
  };

  state_.MissingMods.clear();
  state_.MissingHashes.clear();
  state_.MissingSize = 0;
  // Read and saved once per check, and only for a manifest that publishes hashes.
  std::optional<HashCache> hashes;
  if (std::any_of(mods.begin(), mods.end(), [](const auto& mod) { return mod.sha256; }))
    hashes.emplace(JoinPath(state_.DataFolder, kHashCacheFileName));
  for (const net::ManifestEntry& mod : mods) {
    state_.ModIndex = mod.index;
    // A gap in the numbering names no file: it is reported missing but never touched.
    if (!mod.name.empty()) {
      if (!mod.plain) {
        console_.Console(false, std::string(kBadName) + mod.name);
        continue;
      }
      bring_in(mod.name);
      const std::string kept = JoinPath(state_.VersionModsFolder, mod.name);
      // A damaged file that cannot be deleted (a folder the program may not write) is no mod:
      // it counts as missing, and the run that cannot replace it says so.
      bool stays = false;
      const auto remove = [&](std::string_view why) {
        stays = !DeleteFileAt(kept);
        console_.Console(false, std::string(why) + mod.name);
        if (stays) console_.Console(false, std::string(kDeleteFailedPrefix) + mod.name);
      };
      switch (Inspect(state_.VersionModsFolder, mod.name, mod.sha256, hashes)) {
        case Kept::kErrorPage:
          remove(kDamaged);
          break;
        case Kept::kNotPublished:
          remove(kOutdated);
          break;
        case Kept::kCannotRead:
          // The file is there but cannot be read: say so and go on; it still counts as present.
          console_.Console(false, std::string(kUnreadable) + mod.name);
          break;
        case Kept::kAsItIs:
          break;
      }
      if (FileExists(kept) && !stays) continue;
    }
    state_.MissingMods.push_back(mod.name);
    if (mod.sha256) {
      state_.MissingHashes.insert_or_assign(mod.name, net::PublishedBody(mod.sha256, mod.size));
    }
    state_.MissingSize = AddWrapping(state_.MissingSize, mod.size);
    console_.Console(false, std::string(kMissing) + mod.name);
  }

  if (hashes) hashes->Save();

  state_.RemovableFiles.clear();
  const net::ManifestList del_list = net::ReadDelList(ini);
  if (del_list.bounded) console_.Console(false, BoundedListLine(net::kDelListSection, del_list));
  for (const net::ManifestEntry& entry : del_list.entries) {
    if (entry.name.empty()) continue;
    if (!entry.plain) {
      console_.Console(false, std::string(kBadName) + entry.name);
      continue;
    }
    bring_in(entry.name);
    if (FileExists(JoinPath(state_.VersionModsFolder, entry.name)))
      state_.RemovableFiles.push_back(entry.name);
  }

  console_.Console(false, "======Завершение проверки=======\r\nОтсутствуют моды: " +
                              std::to_string(state_.MissingMods.size()) + " шт. (" +
                              SizeToText(state_.MissingSize, separator) +
                              ")\r\nМожно удалить файлов: " +
                              std::to_string(state_.RemovableFiles.size()) + " шт.");
  view_.SetEnabled(Control::sButtonDownload,
                   !state_.MissingMods.empty() || !state_.RemovableFiles.empty());
  return true;
}

}  // namespace veltrane::sync
