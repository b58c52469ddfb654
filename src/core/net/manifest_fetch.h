#pragma once
// Fetching the manifest into the data folder, and, in a build with a key, its signature beside
// it: start-up, the check and the extras take a manifest only through here.
#include <optional>
#include <string>
#include <string_view>

#include "net/cancel.h"
#include "net/transport.h"

namespace veltrane::net {

enum class ManifestFetch {
  kFailed,      // not fetched: no copy is left
  kUnverified,  // fetched, but not signed under the key: the copy and the signature are deleted
  kTaken,       // the copy is in place (without a key: as it came)
};

// Fetches `server_url` + "/Update" into `data_folder`\Update.ini, deleting an older copy first.
// With a `pack_key` (see build::kPackKey) it also fetches "/Update.sig" into
// `data_folder`\Update.sig and checks it over the copy's bytes; a manifest that it does not
// vouch for is never left for anything to read, nor is a signed one that could be read in more
// than one way (app::PortableIniStore::Ambiguities): that one counts as not fetched. Without a
// key no signature is asked for and the manifest is taken as it came.
// Once `cancel` (when given) is triggered, nothing more is fetched and kFailed is the outcome.
// Throws LocalFileError when a local file cannot be written, like DownloadFile.
ManifestFetch FetchManifest(Transport& transport, std::string_view server_url,
                            std::string_view data_folder, const std::optional<std::string>& agent,
                            std::string_view pack_key, const Cancel* cancel = nullptr);

}  // namespace veltrane::net
