#pragma once
// The title bar's two fetch-and-open commands: the extra-settings tool and the Forge installer,
// fetched into the game folder with the first bar, beside the window, and opened. Neither logs
// nor asks; their failures are silent. A file the server fails to give comes from the mirrors
// the manifest names. A file whose hash the manifest publishes is checked as it streams and
// opened only when it has it; a build with a key fetches and opens no file without one.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "net/manifest.h"
#include "ui/form_context.h"

namespace veltrane::extras {

class Extras {
 public:
  // Everything the context refers to must outlive the extras.
  explicit Extras(const ui::FormContext& context);
  Extras(const Extras&) = delete;
  Extras& operator=(const Extras&) = delete;

  // Fetches the extra-settings tool and opens it; true when it was fetched. Refused (false)
  // while a fetch is under way.
  bool StartSetupsPlus();
  // "Setups+" and "Forge Install".
  void sTitleBar1Items0MouseUp();
  void sTitleBar1Items2MouseUp();

  // Set while the tool or the installer is being fetched. The transfer lets window messages
  // run, so a second activation is refused (the half-written file is never deleted or opened),
  // and so are the check and the run, which would nest in the transfer.
  bool Busy() const { return fetching_extra_; }

 private:
  using ServedFile = net::ExpectedBody net::ServedFiles::*;

  // The file served at "/" + `name`, fetched into the game folder under that name.
  bool FetchAndOpen(std::string_view name, ServedFile file);
  // What the manifest publishes for the file (its hash and size): from its local copy, or in a
  // build with a key from the manifest verified in this process, which is fetched and verified
  // first when there is none yet (the program started offline, say). Empty when none is known.
  net::ExpectedBody Published(ServedFile file);
  // The mirrors the same manifest names.
  std::vector<std::string> Mirrors() const;

  ui::MainView& view_;
  ui::Desktop& desktop_;
  net::Transport& transport_;
  app::SharedState& state_;
  ui::UiThread& ui_;
  const std::string pack_key_;
  bool fetching_extra_ = false;
};

}  // namespace veltrane::extras
