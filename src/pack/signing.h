#pragma once
// Key generation and signing: only the pack tool has them, the client only checks (net/crypto.h).
// OpenSSL natively, CNG on Windows; both give the same raw formats.
#include <optional>
#include <string_view>

#include "net/crypto.h"

namespace veltrane::pack {

struct P256KeyPair {
  net::P256PublicKey public_key{};
  net::P256PrivateKey private_key{};
};

// A fresh key pair. Throws net::CryptoError when the platform cannot make one.
P256KeyPair GenerateP256KeyPair();

// The r‖s signature of SHA-256(`message`); nullopt when the platform refuses the key (d out of
// range, X‖Y not on the curve or not belonging to d).
std::optional<net::P256Signature> SignP256(const P256KeyPair& key, std::string_view message);

}  // namespace veltrane::pack
