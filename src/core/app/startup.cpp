#include "app/startup.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <utility>
#include <vector>

#include "app/replace_batch.h"
#include "app/shared_state.h"
#include "base/ascii.h"
#include "base/file_ops.h"
#include "base/paths.h"
#include "base/u8path.h"
#include "net/manifest.h"
#include "net/manifest_fetch.h"
#include "net/manifest_terms.h"
#include "net/server_paths.h"
#include "net/transfer.h"

namespace veltrane::app {

std::string UpdateOfferText(std::string_view size_text) {
  return "Программа будет автоматически обновлена.\r\nРазмер обновления: " +
         std::string(size_text) + "\r\n\r\nДля продолжения нажмите ОК";
}

bool UpdateDue(std::string_view server_version) {
  return server_version != kAppVersion && IsPlainVersion(server_version);
}

bool LooksLikeTheProgram(const std::string& path, std::int64_t stated_size) {
  std::ifstream in(U8Path(path), std::ios::binary);
  std::array<char, 2> head{};
  if (!in.read(head.data(), head.size()) || head[0] != 'M' || head[1] != 'Z') return false;
  if (stated_size < 0) return true;
  std::error_code ec;
  const std::uintmax_t actual = std::filesystem::file_size(U8Path(path), ec);
  return !ec && actual == static_cast<std::uintmax_t>(stated_size);
}

namespace {

// A local file error counts as a failed transfer here (the manifest's too): there is no window
// to report it in yet.
bool Fetch(StartupServices& services, std::vector<std::string> urls, const std::string& file,
           const net::ExpectedBody& expected) {
  try {
    return net::DownloadFile(
        services.Transport(), file,
        net::Download{std::move(urls), nullptr, services.ProgramName(), expected, nullptr});
  } catch (const net::LocalFileError&) {
    return false;
  }
}

// Bounded in all: there is no window yet in which the player could see or stop it.
net::ManifestFetch FetchManifest(StartupServices& services, const std::string& server_url,
                                 const std::string& data_folder, std::string_view key) {
  const net::Cancel deadline(net::Cancel::Clock::now() + kStartupManifestTime);
  try {
    return net::FetchManifest(services.Transport(), server_url, data_folder, services.ProgramName(),
                              key, &deadline);
  } catch (const net::LocalFileError&) {
    return net::ManifestFetch::kFailed;
  }
}

// What a self-update killed on its way leaves: its download under its 20-digit name, whole or
// partial, in the data folder or beside the program, the old program moved aside under that
// name, and the replacement batch file. Nothing will ever continue them; the program's own file
// is never touched, whatever its name.
void RemoveStaleUpdates(const std::string& folder, std::string_view own_name, bool beside_program) {
  if (!beside_program) net::RemoveStalePartials(folder, {});
  const auto temporary = [](std::string_view name) {
    constexpr std::string_view kExe = ".exe";
    if (name.ends_with(kAsideSuffix)) name.remove_suffix(kAsideSuffix.size());
    return name.size() == 20 + kExe.size() && name.ends_with(kExe) &&
           std::all_of(name.begin(), name.begin() + 20,
                       [](char c) { return c >= '0' && c <= '9'; });
  };
  std::vector<std::string> stale;
  std::error_code ec;
  for (std::filesystem::directory_iterator it(U8Path(folder), ec), end; !ec && it != end;
       it.increment(ec)) {
    const std::string name = PathText(it->path().filename());
    if (AsciiEqualNoCase(name, own_name) || !it->is_regular_file(ec)) continue;
    if (temporary(name) || (beside_program && AsciiEqualNoCase(name, kReplaceBatchName))) {
      stale.push_back(PathText(it->path()));
    }
  }
  for (const std::string& path : stale) DeleteFileAt(path);
}

// The box of an update that could not be put in place; the program then starts as it is.
StartupResult NotPlaced(StartupServices& services) {
  services.ShowMessage(kUpdateNotPlacedText, kErrorCaption, ui::Desktop::Buttons::Ok,
                       ui::Desktop::Icon::Error);
  return StartupResult::kRunWindows;
}

// The update, once the server announced another version. kRunWindows when it cannot be put in
// place: the running program is never replaced by anything but a whole program file, and, when
// the manifest publishes its hash, only by one that has it.
StartupResult Update(StartupServices& services, const std::string& data_folder,
                     const std::string& server_url, const std::string& version,
                     const net::ServedFiles& served) {
  const net::ExpectedBody& published = served.update;
  const std::string temp_name = services.RandomDigits(20) + ".exe";
  const std::string final_name = "Veltrane Dravenna v" + version + ".exe";
  // A name the batch file cannot carry (our own, renamed by the player) is known now: nothing
  // is offered or downloaded that could not be put in place.
  if (!services.CanReplaceSelf(final_name, temp_name)) return NotPlaced(services);

  const std::string update_url = net::FileUrl(server_url, net::kUpdatePath);
  const std::int64_t size = net::GetRemoteFileSize(services.Transport(), update_url);
  if (!services.ShowMessage(UpdateOfferText(services.SizeToText(static_cast<double>(size))),
                            kUpdateCaption, ui::Desktop::Buttons::OkCancel,
                            ui::Desktop::Icon::Information)) {
    return StartupResult::kExit;
  }
  const std::string downloaded = JoinPath(data_folder, temp_name);
  // The size published beside the hash, else the one just stated, bounds the body: a server
  // sending without end fills no disk.
  if (!Fetch(services, net::FileUrls(server_url, served.mirrors, net::kUpdatePath), downloaded,
             {published.sha256, published.largest >= 0 ? published.largest : size})) {
    services.ShowMessage(kUpdateFailedText, kErrorCaption, ui::Desktop::Buttons::Ok,
                         ui::Desktop::Icon::Error);
    return StartupResult::kExit;
  }
  // An empty answer or an error page with status 200 is no program.
  if (!LooksLikeTheProgram(downloaded, size)) {
    DeleteFileAt(downloaded);
    return NotPlaced(services);
  }
  const std::string beside = JoinPath(services.ProgramFolder(), temp_name);
  if (!MoveFileTo(downloaded, beside, false)) {
    DeleteFileAt(downloaded);
    return NotPlaced(services);
  }
  if (!services.ReplaceSelfAndExit(final_name, temp_name)) {
    DeleteFileAt(beside);
    return NotPlaced(services);
  }
  return StartupResult::kExit;
}

}  // namespace

StartupResult RunStartup(StartupServices& services, std::optional<net::ServedFiles>* verified) {
  // Two starts a moment apart would both find no window yet: the token decides between them.
  if (!services.ClaimOnlyCopy()) {
    services.HandOverToRunningCopy(kMainWindowClass);
    return StartupResult::kExit;
  }
  if (services.ActivateRunningCopy(kMainWindowClass)) return StartupResult::kExit;
  const std::string server_url = build::kServerUrl;
  const std::string data_folder = DataFolderIn(services.ExpandEnvText("%appdata%"));
  ForceDirectories(data_folder);
  RemoveStaleUpdates(data_folder, services.ProgramName(), false);
  RemoveStaleUpdates(services.ProgramFolder(), services.ProgramName(), true);
  const std::string manifest_path = ManifestIniPath(data_folder);
  {
    const std::unique_ptr<IniStore> manifest = services.OpenIni(manifest_path);
    if (!services.Transport().IsConnected()) {
      services.ShowMessage(kNoConnectionText, kErrorCaption, ui::Desktop::Buttons::Ok,
                           ui::Desktop::Icon::Warning);
    } else {
      const std::string_view key = services.PackKey();
      // A failed fetch, or one not signed under the key, leaves no file: the version then
      // reads as our own.
      // With a key, a manifest older than one taken before is refused, and one past its last
      // day offers no update (its mods still sync).
      const bool taken =
          FetchManifest(services, server_url, data_folder, key) == net::ManifestFetch::kTaken;
      net::Standing standing = net::Standing::kCurrent;
      if (taken && !key.empty()) {
        standing = net::JudgeManifest(*manifest, manifest_path, data_folder,
                                      std::chrono::system_clock::now())
                       .standing;
      }
      if (taken && standing != net::Standing::kOlder) {
        const net::ServedFiles served = net::ReadServedFiles(*manifest);
        if (!key.empty() && verified) *verified = served;
        const std::string version = net::ReadLastVersion(*manifest, kAppVersion);
        // With a key, the program is replaced only by a file whose hash the signer published.
        if (UpdateDue(version) && standing == net::Standing::kCurrent &&
            (key.empty() || served.update.sha256)) {
          const StartupResult result = Update(services, data_folder, server_url, version, served);
          if (result == StartupResult::kExit) return result;
        }
      }
    }
    services.BringApplicationToFront();
  }
  if (services.ActivateRunningCopy(kMainWindowClass)) return StartupResult::kExit;
  return StartupResult::kRunWindows;
}

}  // namespace veltrane::app
