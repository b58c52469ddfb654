#pragma once
// Raw P-256 keys and signatures (the formats of net/crypto.h) to and from OpenSSL's objects;
// shared by the check of signatures and the pack tool's signing.
#include <openssl/bn.h>
#include <openssl/evp.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "net/crypto.h"

namespace veltrane::posix {

// Owners of OpenSSL's objects, each freed by its own call.
template <typename T, void (*Free)(T*)>
struct OpenSslFree {
  void operator()(T* object) const { Free(object); }
};
using PkeyPtr = std::unique_ptr<EVP_PKEY, OpenSslFree<EVP_PKEY, EVP_PKEY_free>>;
using MdCtxPtr = std::unique_ptr<EVP_MD_CTX, OpenSslFree<EVP_MD_CTX, EVP_MD_CTX_free>>;
using BnPtr = std::unique_ptr<BIGNUM, OpenSslFree<BIGNUM, BN_free>>;

// A P-256 key from X‖Y (and d, for a key that signs). Null when the point is not on the curve
// or d is not a valid scalar.
PkeyPtr P256KeyFromRaw(const net::P256PublicKey& public_key,
                       const net::P256PrivateKey* private_key);

// r‖s to the DER SEQUENCE that OpenSSL signs and verifies, and back.
std::vector<std::uint8_t> SignatureToDer(const net::P256Signature& signature);
std::optional<net::P256Signature> SignatureFromDer(const std::vector<std::uint8_t>& der);

}  // namespace veltrane::posix
