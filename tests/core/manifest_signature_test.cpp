#include "net/manifest_signature.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/ascii.h"
#include "net/crypto.h"
#include "signed_manifest.h"
#include "temp_dir.h"

namespace veltrane::net {
namespace {

using test::kSignedManifest;
using test::kSignerPublicKey;

using test::HexBytes;
using test::OneBitChanged;

TEST(ManifestSignatureTest, OnlyTheSignersSignatureOfTheseBytesIsGood) {
  const std::string signature = HexBytes(test::kOpenSslSignature);
  std::string off_curve(kSignerPublicKey);
  off_curve.back() = off_curve.back() == '0' ? '1' : '0';
  struct Case {
    const char* what;
    std::string manifest;
    std::string signature;
    std::string key;
    ManifestSignature verdict;
  };
  const std::vector<Case> cases = {
      {"OpenSSL's", std::string(kSignedManifest), signature, std::string(kSignerPublicKey),
       ManifestSignature::kGood},
      {"CNG's", std::string(kSignedManifest), HexBytes(test::kCngSignature),
       std::string(kSignerPublicKey), ManifestSignature::kGood},
      {"key in upper case", std::string(kSignedManifest), signature, AsciiUpper(kSignerPublicKey),
       ManifestSignature::kGood},
      {"a manifest byte changed", OneBitChanged(std::string(kSignedManifest), 30), signature,
       std::string(kSignerPublicKey), ManifestSignature::kBad},
      {"a line end dropped", std::string(kSignedManifest.substr(0, kSignedManifest.size() - 2)),
       signature, std::string(kSignerPublicKey), ManifestSignature::kBad},
      {"a signature byte changed", std::string(kSignedManifest), OneBitChanged(signature, 5),
       std::string(kSignerPublicKey), ManifestSignature::kBad},
      {"a signature of zeros", std::string(kSignedManifest), std::string(64, '\0'),
       std::string(kSignerPublicKey), ManifestSignature::kBad},
      {"another key", std::string(kSignedManifest), signature, std::string(test::kOtherPublicKey),
       ManifestSignature::kBad},
      {"a key off the curve", std::string(kSignedManifest), signature, off_curve,
       ManifestSignature::kBad},
      {"a key that is not hex", std::string(kSignedManifest), signature,
       "zz" + std::string(kSignerPublicKey.substr(2)), ManifestSignature::kBad},
      {"no key", std::string(kSignedManifest), signature, "", ManifestSignature::kBad},
      // Key rotation: the old key and the new one, in either order; only keys that sign count.
      {"the signer's among two keys", std::string(kSignedManifest), signature,
       std::string(test::kOtherPublicKey) + ";" + std::string(kSignerPublicKey),
       ManifestSignature::kGood},
      {"the signer's first of two", std::string(kSignedManifest), signature,
       std::string(kSignerPublicKey) + ";" + std::string(test::kOtherPublicKey),
       ManifestSignature::kGood},
      {"two keys, neither the signer's", std::string(kSignedManifest), signature,
       std::string(test::kOtherPublicKey) + ";" + off_curve, ManifestSignature::kBad},
      {"a key broken by its separator", std::string(kSignedManifest), signature,
       std::string(kSignerPublicKey.substr(0, 64)) + ";" + std::string(kSignerPublicKey.substr(64)),
       ManifestSignature::kBad},
      {"no signature", std::string(kSignedManifest), "", std::string(kSignerPublicKey),
       ManifestSignature::kMissing},
      {"a signature one byte short", std::string(kSignedManifest), signature.substr(1),
       std::string(kSignerPublicKey), ManifestSignature::kMissing},
      {"a signature one byte long", std::string(kSignedManifest), signature + "\n",
       std::string(kSignerPublicKey), ManifestSignature::kMissing},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CheckManifestSignature(c.manifest, c.signature, c.key), c.verdict) << c.what;
  }
}

// The files are read as bytes: a manifest with CR LF line ends verifies as it was signed.
TEST(ManifestSignatureTest, ReadsTheFilesAsTheyAre) {
  test::TempDir dir;
  const std::string manifest = dir.Write("Update.ini", std::string(kSignedManifest));
  const std::string signature = dir.Write("Update.sig", HexBytes(test::kOpenSslSignature));
  const std::string key(kSignerPublicKey);
  EXPECT_EQ(CheckManifestSignatureFiles(manifest, signature, key), ManifestSignature::kGood);
  EXPECT_EQ(CheckManifestSignatureFiles(manifest, dir.Sub("none.sig"), key),
            ManifestSignature::kMissing);
  EXPECT_EQ(CheckManifestSignatureFiles(dir.Sub("none.ini"), signature, key),
            ManifestSignature::kBad);
}

}  // namespace
}  // namespace veltrane::net
