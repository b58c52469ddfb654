#include "extras/extras.h"

#include <chrono>

#include "base/paths.h"
#include "net/manifest_fetch.h"
#include "net/manifest_terms.h"
#include "net/server_paths.h"
#include "net/transfer.h"
#include "ui/run_beside.h"
#include "ui/size_modes.h"

namespace veltrane::extras {

Extras::Extras(const ui::FormContext& context)
    : view_(context.view),
      desktop_(context.desktop),
      transport_(context.transport),
      state_(context.state),
      ui_(context.ui),
      pack_key_(context.pack_key) {}

net::ExpectedBody Extras::Published(ServedFile file) {
  if (pack_key_.empty()) {
    if (!state_.ManifestIni) return {};
    return net::ReadServedFiles(*state_.ManifestIni).*file;
  }
  if (!state_.VerifiedFiles && state_.ManifestIni) {
    net::ManifestFetch fetched = net::ManifestFetch::kFailed;
    try {
      const std::string agent = desktop_.ProgramName();
      if (!ui::RunBeside(ui_, [&](const net::Cancel& cancel) {
            fetched = net::FetchManifest(transport_, state_.ServerUrl, state_.DataFolder, agent,
                                         pack_key_, &cancel);
          })) {
        return {};
      }
    } catch (const net::LocalFileError&) {
      // Silent like every failure here: nothing verified, nothing fetched.
    }
    if (fetched == net::ManifestFetch::kTaken &&
        net::JudgeManifest(*state_.ManifestIni, app::ManifestIniPath(state_.DataFolder),
                           state_.DataFolder, std::chrono::system_clock::now())
                .standing != net::Standing::kOlder) {
      state_.VerifiedFiles = net::ReadServedFiles(*state_.ManifestIni);
    }
  }
  if (!state_.VerifiedFiles) return {};
  return (*state_.VerifiedFiles).*file;
}

std::vector<std::string> Extras::Mirrors() const {
  if (!pack_key_.empty()) {
    return state_.VerifiedFiles ? state_.VerifiedFiles->mirrors : std::vector<std::string>{};
  }
  return state_.ManifestIni ? net::ReadServedFiles(*state_.ManifestIni).mirrors
                            : std::vector<std::string>{};
}

bool Extras::FetchAndOpen(std::string_view name, ServedFile file) {
  fetching_extra_ = true;
  struct Done {
    bool& flag;
    ~Done() { flag = false; }
  } done{fetching_extra_};
  ui::ChngSize(view_, 1);
  const net::ExpectedBody published = Published(file);
  const std::optional<std::string>& sha256 = published.sha256;
  const std::string local = JoinPath(state_.GameFolder, name);
  bool fetched = false;
  if (view_.AppEnding()) return false;
  if (sha256 || pack_key_.empty()) {
    DeleteFileAt(local);
    net::Download download{net::FileUrls(state_.ServerUrl, Mirrors(), net::ServedFilePath(name)),
                           &view_.Bar(ui::Control::sProgressBar1), desktop_.ProgramName(),
                           published, nullptr};
    bool finished = true;
    try {
      finished = ui::RunBeside(ui_, [&](const net::Cancel& cancel) {
        download.cancel = &cancel;
        fetched = net::DownloadFile(transport_, local, download);
      });
    } catch (const net::LocalFileError&) {
      // Silent like every other failure here; the shell then finds nothing to open.
    }
    if (!finished) return false;  // the program ends: nothing is opened
    // A file with a published hash is opened only as fetched, having it: never an old copy
    // that could not be replaced.
    if (fetched || !sha256) desktop_.OpenFile(local, JoinPath(state_.GameFolder, ""));
  }
  ui::ChngSize(view_, 0);
  return fetched;
}

bool Extras::StartSetupsPlus() {
  if (fetching_extra_) return false;
  return FetchAndOpen(net::kSettingsToolName, &net::ServedFiles::settings_tool);
}

void Extras::sTitleBar1Items0MouseUp() {
  StartSetupsPlus();
}

void Extras::sTitleBar1Items2MouseUp() {
  if (fetching_extra_) return;
  FetchAndOpen(net::kForgeInstallerName, &net::ServedFiles::forge);
}

}  // namespace veltrane::extras
