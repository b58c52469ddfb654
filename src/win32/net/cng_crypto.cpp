// SHA-256 and the ECDSA P-256 check through Windows' CNG (bcrypt). Wine 8's bcrypt verifies
// signatures made by OpenSSL, and OpenSSL verifies CNG's, once both use raw r‖s.
#include "net/cng_crypto.h"

#include <cstring>
#include <string>
#include <vector>

namespace veltrane {
namespace {

BCRYPT_ALG_HANDLE OpenProvider(const wchar_t* algorithm) {
  BCRYPT_ALG_HANDLE handle = nullptr;
  if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&handle, algorithm, nullptr, 0))) {
    throw net::CryptoError("CNG: algorithm not available");
  }
  return handle;
}

// Providers are opened once and kept for the process: opening one is slow, and a handle may
// serve several threads at once.
BCRYPT_ALG_HANDLE Sha256Provider() {
  static const BCRYPT_ALG_HANDLE provider = OpenProvider(BCRYPT_SHA256_ALGORITHM);
  return provider;
}

struct CngHashTraits : win32::scoped_traits::NullEmpty<BCRYPT_HASH_HANDLE> {
  static void Close(Handle h) noexcept { BCryptDestroyHash(h); }
};

class CngSha256 final : public net::Sha256 {
 public:
  CngSha256() {
    BCRYPT_HASH_HANDLE hash = nullptr;
    if (!BCRYPT_SUCCESS(BCryptCreateHash(Sha256Provider(), &hash, nullptr, 0, nullptr, 0, 0))) {
      throw net::CryptoError("CNG: cannot create a SHA-256 hash");
    }
    hash_.reset(hash);
  }

  void Update(const void* data, std::size_t size) override {
    auto* bytes = static_cast<PUCHAR>(const_cast<void*>(data));
    while (size > 0) {
      const ULONG step = size > 0x40000000 ? 0x40000000 : static_cast<ULONG>(size);
      if (!BCRYPT_SUCCESS(BCryptHashData(hash_.get(), bytes, step, 0))) {
        throw net::CryptoError("CNG: hashing failed");
      }
      bytes += step;
      size -= step;
    }
  }
  net::Sha256Digest Final() override {
    net::Sha256Digest digest{};
    if (!BCRYPT_SUCCESS(BCryptFinishHash(hash_.get(), digest.data(), digest.size(), 0))) {
      throw net::CryptoError("CNG: hashing failed");
    }
    return digest;
  }

 private:
  win32::Scoped<CngHashTraits> hash_;
};

}  // namespace

namespace win32 {

BCRYPT_ALG_HANDLE EcdsaP256Provider() {
  static const BCRYPT_ALG_HANDLE provider = OpenProvider(BCRYPT_ECDSA_P256_ALGORITHM);
  return provider;
}

CngKey ImportP256Key(const net::P256PublicKey& public_key, const net::P256PrivateKey* private_key) {
  // BCRYPT_ECCKEY_BLOB, then X‖Y, then d for a private blob.
  std::vector<UCHAR> blob(sizeof(BCRYPT_ECCKEY_BLOB) + public_key.size() +
                          (private_key ? private_key->size() : 0));
  BCRYPT_ECCKEY_BLOB header{};
  header.dwMagic = private_key ? BCRYPT_ECDSA_PRIVATE_P256_MAGIC : BCRYPT_ECDSA_PUBLIC_P256_MAGIC;
  header.cbKey = 32;
  std::memcpy(blob.data(), &header, sizeof(header));
  std::memcpy(blob.data() + sizeof(header), public_key.data(), public_key.size());
  if (private_key) {
    std::memcpy(blob.data() + sizeof(header) + public_key.size(), private_key->data(),
                private_key->size());
  }
  BCRYPT_KEY_HANDLE key = nullptr;
  const wchar_t* type = private_key ? BCRYPT_ECCPRIVATE_BLOB : BCRYPT_ECCPUBLIC_BLOB;
  if (!BCRYPT_SUCCESS(BCryptImportKeyPair(EcdsaP256Provider(), nullptr, type, &key, blob.data(),
                                          static_cast<ULONG>(blob.size()), 0))) {
    return CngKey();
  }
  return CngKey(key);
}

}  // namespace win32

namespace net {

std::unique_ptr<Sha256> NewSha256() {
  return std::make_unique<CngSha256>();
}

bool VerifyP256Signature(const P256PublicKey& public_key, std::string_view message,
                         const P256Signature& signature) {
  const win32::CngKey key = win32::ImportP256Key(public_key, nullptr);
  if (!key) return false;
  Sha256Digest digest = Sha256Of(message);
  // STATUS_INVALID_SIGNATURE (0xC000A000) for a mismatch; any failure counts as one.
  return BCRYPT_SUCCESS(BCryptVerifySignature(key.get(), nullptr, digest.data(), digest.size(),
                                              const_cast<PUCHAR>(signature.data()),
                                              signature.size(), 0));
}

}  // namespace net
}  // namespace veltrane
