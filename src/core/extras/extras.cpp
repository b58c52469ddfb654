// The title bar's two fetch-and-open commands: the extra-settings tool and the Forge installer.
// Neither logs nor asks; their failures are silent.
#include "base/paths.h"
#include "net/server_paths.h"
#include "net/transfer.h"
#include "ui/main_form.h"

namespace veltrane::ui {

bool TProTarvoCompatibility::FetchAndOpen(std::string_view url, std::string_view name) {
  fetching_extra_ = true;
  struct Done {
    bool& flag;
    ~Done() { flag = false; }
  } done{fetching_extra_};
  ChngSize(1);
  const std::string local = JoinPath(state_.GameFolder, name);
  DeleteFileAt(local);
  bool fetched = false;
  try {
    fetched = net::DownloadFile(transport_, std::string(url), local,
                                &view_.Bar(Control::sProgressBar1), desktop_.ProgramName());
  } catch (const net::LocalFileError&) {
    // Silent like every other failure here; the shell then finds nothing to open.
  }
  desktop_.OpenFile(local, JoinPath(state_.GameFolder, ""));
  ChngSize(0);
  return fetched;
}

bool TProTarvoCompatibility::StartSetupsPlus() {
  if (fetching_extra_) return false;
  return FetchAndOpen(state_.ServerUrl + std::string(net::kSettingsToolPath),
                      net::kSettingsToolName);
}

void TProTarvoCompatibility::sTitleBar1Items0MouseUp() {
  StartSetupsPlus();
}

void TProTarvoCompatibility::sTitleBar1Items2MouseUp() {
  if (fetching_extra_) return;
  FetchAndOpen(net::ForgeInstallerUrl(state_.ServerUrl), net::kForgeInstallerName);
}

}  // namespace veltrane::ui
