#pragma once
// CNG handles and P-256 key blobs, shared by the signature check and the pack tool's signing.
// clang-format off
#include <windows.h>
#include <bcrypt.h>
// clang-format on

#include <array>
#include <cstdint>

#include "net/crypto.h"

namespace veltrane::win32 {

using P256PrivateKey = std::array<std::uint8_t, 32>;

class CngKey {
 public:
  CngKey() = default;
  explicit CngKey(BCRYPT_KEY_HANDLE handle) : handle_(handle) {}
  ~CngKey() {
    if (handle_) BCryptDestroyKey(handle_);
  }
  CngKey(CngKey&& other) noexcept : handle_(other.handle_) { other.handle_ = nullptr; }
  CngKey& operator=(CngKey&&) = delete;
  CngKey(const CngKey&) = delete;
  CngKey& operator=(const CngKey&) = delete;
  BCRYPT_KEY_HANDLE get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }

 private:
  BCRYPT_KEY_HANDLE handle_ = nullptr;
};

// The ECDSA P-256 provider, opened once for the process. Throws net::CryptoError.
BCRYPT_ALG_HANDLE EcdsaP256Provider();

// A key from X‖Y (and d, for a key that signs); empty when CNG refuses the blob.
CngKey ImportP256Key(const net::P256PublicKey& public_key, const P256PrivateKey* private_key);

}  // namespace veltrane::win32
