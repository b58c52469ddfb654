#include <cstring>
#include <vector>

#include "net/cng_crypto.h"
#include "signing.h"

namespace veltrane::pack {

P256KeyPair GenerateP256KeyPair() {
  BCRYPT_KEY_HANDLE handle = nullptr;
  if (!BCRYPT_SUCCESS(BCryptGenerateKeyPair(win32::EcdsaP256Provider(), &handle, 256, 0))) {
    throw net::CryptoError("CNG: key generation failed");
  }
  const win32::CngKey key(handle);
  if (!BCRYPT_SUCCESS(BCryptFinalizeKeyPair(key.get(), 0))) {
    throw net::CryptoError("CNG: key generation failed");
  }
  // BCRYPT_ECCKEY_BLOB, X, Y, d.
  std::vector<UCHAR> blob(sizeof(BCRYPT_ECCKEY_BLOB) + 96);
  ULONG size = 0;
  if (!BCRYPT_SUCCESS(BCryptExportKey(key.get(), nullptr, BCRYPT_ECCPRIVATE_BLOB, blob.data(),
                                      static_cast<ULONG>(blob.size()), &size, 0)) ||
      size != blob.size()) {
    throw net::CryptoError("CNG: key export failed");
  }
  BCRYPT_ECCKEY_BLOB header{};
  std::memcpy(&header, blob.data(), sizeof(header));
  if (header.cbKey != 32) throw net::CryptoError("CNG: unexpected key blob");
  P256KeyPair pair;
  std::memcpy(pair.public_key.data(), blob.data() + sizeof(header), 64);
  std::memcpy(pair.private_key.data(), blob.data() + sizeof(header) + 64, 32);
  return pair;
}

std::optional<net::P256Signature> SignP256(const P256KeyPair& pair, std::string_view message) {
  const win32::CngKey key = win32::ImportP256Key(pair.public_key, &pair.private_key);
  if (!key) return std::nullopt;
  net::Sha256Digest digest = net::Sha256Of(message);
  net::P256Signature signature{};
  ULONG size = 0;
  if (!BCRYPT_SUCCESS(BCryptSignHash(key.get(), nullptr, digest.data(), digest.size(),
                                     signature.data(), signature.size(), &size, 0)) ||
      size != signature.size()) {
    throw net::CryptoError("CNG: cannot sign");
  }
  // A key file whose X‖Y does not belong to its d must not sign, whatever the import checked.
  if (!net::VerifyP256Signature(pair.public_key, message, signature)) return std::nullopt;
  return signature;
}

}  // namespace veltrane::pack
