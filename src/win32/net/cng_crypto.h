#pragma once
// CNG handles and P-256 key blobs, shared by the signature check and the pack tool's signing.
// clang-format off
#include <windows.h>
#include <bcrypt.h>
// clang-format on

#include "base/scoped.h"
#include "net/crypto.h"

namespace veltrane::win32 {

struct CngKeyTraits : scoped_traits::NullEmpty<BCRYPT_KEY_HANDLE> {
  static void Close(Handle h) noexcept { BCryptDestroyKey(h); }
};
using CngKey = Scoped<CngKeyTraits>;

// The ECDSA P-256 provider, opened once for the process. Throws net::CryptoError.
BCRYPT_ALG_HANDLE EcdsaP256Provider();

// A key from X‖Y (and d, for a key that signs); empty when CNG refuses the blob.
CngKey ImportP256Key(const net::P256PublicKey& public_key, const net::P256PrivateKey* private_key);

}  // namespace veltrane::win32
