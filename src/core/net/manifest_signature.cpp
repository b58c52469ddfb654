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
  const auto key = ParseHexArray<64>(public_key);
  if (!key) return ManifestSignature::kBad;
  return VerifyP256Signature(*key, manifest, raw) ? ManifestSignature::kGood
                                                  : ManifestSignature::kBad;
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
