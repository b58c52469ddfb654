#pragma once
// Whether the manifest is the one the server's admin signed: the detached signature "/Update.sig"
// (64 raw bytes r‖s, ECDSA P-256 over SHA-256) checked over the manifest's exact bytes, as they
// were fetched, against the public key built into the program (build::kPackKey).
#include <string>
#include <string_view>

namespace veltrane::net {

enum class ManifestSignature {
  kGood,     // a signature of exactly these bytes under the key
  kBad,      // 64 bytes, but not a signature of these bytes under this key
  kMissing,  // no signature, or not 64 bytes: nothing that could be checked
};

// `public_key` is the key's text: 128 hex characters, X then Y (either case), or several such
// keys separated by ";" (a signature under any of them is kGood). A key that cannot be read, or
// is not a point on the curve, vouches for nothing: with no other key, every signature is kBad.
ManifestSignature CheckManifestSignature(std::string_view manifest, std::string_view signature,
                                         std::string_view public_key);

// The same over the files: the manifest's local copy and the fetched signature. A signature
// file that is absent or cannot be read is kMissing; a manifest that cannot be read is kBad.
ManifestSignature CheckManifestSignatureFiles(const std::string& manifest_file,
                                              const std::string& signature_file,
                                              std::string_view public_key);

}  // namespace veltrane::net
