#include "net/manifest_fetch.h"

#include "base/paths.h"
#include "base/portable_ini.h"
#include "net/crypto.h"
#include "net/manifest_signature.h"
#include "net/server_paths.h"
#include "net/transfer.h"

namespace veltrane::net {

ManifestFetch FetchManifest(Transport& transport, std::string_view server_url,
                            std::string_view data_folder, const std::optional<std::string>& agent,
                            std::string_view pack_key, const Cancel* cancel) {
  const std::string manifest = JoinPath(data_folder, kManifestFileName);
  const std::string signature = JoinPath(data_folder, kManifestSignatureFileName);
  DeleteFileAt(manifest);
  // A signature never stays beside a manifest it was not fetched with.
  DeleteFileAt(signature);
  // The manifest and its signature come from the server only: a mirror is named by them.
  const auto fetch = [&](std::string_view path, const std::string& file, std::int64_t largest) {
    return DownloadFile(
        transport, file,
        Download{{FileUrl(server_url, path)}, nullptr, agent, {std::nullopt, largest}, cancel});
  };
  if (!fetch(kManifestPath, manifest, kLargestManifest)) return ManifestFetch::kFailed;
  if (pack_key.empty()) return ManifestFetch::kTaken;
  // A signature that cannot be fetched leaves nothing, and counts as missing.
  fetch(kManifestSignaturePath, signature, std::tuple_size_v<P256Signature>);
  if (cancel && cancel->Triggered()) {
    DeleteFileAt(manifest);
    return ManifestFetch::kFailed;
  }
  if (CheckManifestSignatureFiles(manifest, signature, pack_key) != ManifestSignature::kGood) {
    DeleteFileAt(manifest);
    DeleteFileAt(signature);
    return ManifestFetch::kUnverified;
  }
  // What is signed must read one way only: the pack tool's check and this program read it alike.
  if (!app::PortableIniStore(manifest).Ambiguities().empty()) {
    DeleteFileAt(manifest);
    DeleteFileAt(signature);
    return ManifestFetch::kFailed;
  }
  return ManifestFetch::kTaken;
}

}  // namespace veltrane::net
