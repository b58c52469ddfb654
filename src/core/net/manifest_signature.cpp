#include "net/manifest_signature.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <optional>

#include "base/u8path.h"
#include "net/crypto.h"

namespace veltrane::net {
namespace {

std::optional<std::string> ReadWhole(const std::string& path) {
  std::ifstream in(U8Path(path), std::ios::binary);
  if (!in) return std::nullopt;
  std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (in.bad()) return std::nullopt;
  return bytes;
}

}  // namespace

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
  const auto signature = ReadWhole(signature_file);
  if (!signature) return ManifestSignature::kMissing;
  const auto manifest = ReadWhole(manifest_file);
  if (!manifest) return ManifestSignature::kBad;
  return CheckManifestSignature(*manifest, *signature, public_key);
}

}  // namespace veltrane::net
