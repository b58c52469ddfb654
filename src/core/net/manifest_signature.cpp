#include "net/manifest_signature.h"

#include <algorithm>
#include <optional>

#include "base/file_ops.h"
#include "net/crypto.h"

namespace veltrane::net {
ManifestSignature CheckManifestSignature(std::string_view manifest, std::string_view signature,
                                         std::string_view public_key) {
  P256Signature raw{};
  if (signature.size() != raw.size()) return ManifestSignature::kMissing;
  std::transform(signature.begin(), signature.end(), raw.begin(),
                 [](char c) { return static_cast<std::uint8_t>(c); });
  // Several keys while the admin moves to a new one: any of them will do.
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = std::min(public_key.find(';', start), public_key.size());
    const auto key = ParseHexArray<64>(public_key.substr(start, end - start));
    if (key && VerifyP256Signature(*key, manifest, raw)) return ManifestSignature::kGood;
    if (end == public_key.size()) return ManifestSignature::kBad;
    start = end + 1;
  }
}

ManifestSignature CheckManifestSignatureFiles(const std::string& manifest_file,
                                              const std::string& signature_file,
                                              std::string_view public_key) {
  const auto signature = ReadWholeFile(signature_file);
  if (!signature) return ManifestSignature::kMissing;
  const auto manifest = ReadWholeFile(manifest_file);
  if (!manifest) return ManifestSignature::kBad;
  return CheckManifestSignature(*manifest, *signature, public_key);
}

}  // namespace veltrane::net
