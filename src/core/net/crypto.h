#pragma once
// What the program needs of cryptography: SHA-256 of streamed bytes and the check of an ECDSA
// P-256 signature over SHA-256. The hashing and the check come from the platform at link time
// (CNG on Windows, OpenSSL's libcrypto elsewhere); the hex helpers are portable.
//
// Formats shared with the pack tool: a public key is the uncompressed point X‖Y without the 04
// prefix (64 bytes, written as 128 lower-case hex characters); a signature is r‖s, each 32
// bytes big-endian (64 bytes, no DER); a hash is written as 64 lower-case hex characters.
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace veltrane::net {

using Sha256Digest = std::array<std::uint8_t, 32>;
using P256PublicKey = std::array<std::uint8_t, 64>;
using P256Signature = std::array<std::uint8_t, 64>;
// The signer's secret d, 32 bytes big-endian: only the pack tool holds one.
using P256PrivateKey = std::array<std::uint8_t, 32>;

// The platform's crypto library failed where it should not (out of memory, missing algorithm).
class CryptoError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class Sha256 {
 public:
  virtual ~Sha256() = default;
  virtual void Update(const void* data, std::size_t size) = 0;
  // The digest of everything given so far; the object is spent afterwards.
  virtual Sha256Digest Final() = 0;
};

// Throws CryptoError when the platform cannot provide SHA-256.
std::unique_ptr<Sha256> NewSha256();

// Whether `signature` is a valid ECDSA P-256 signature of SHA-256(`message`) under
// `public_key`. False as well for a key that is not a point on the curve.
bool VerifyP256Signature(const P256PublicKey& public_key, std::string_view message,
                         const P256Signature& signature);

// Lower-case hex of the bytes.
std::string ToHex(const std::uint8_t* data, std::size_t size);
template <std::size_t N>
std::string ToHex(const std::array<std::uint8_t, N>& bytes) {
  return ToHex(bytes.data(), N);
}
// The bytes of an even-length hex text (either case); nullopt for anything else.
std::optional<std::vector<std::uint8_t>> ParseHex(std::string_view hex);
// Exactly N bytes of hex (2N characters); nullopt otherwise.
template <std::size_t N>
std::optional<std::array<std::uint8_t, N>> ParseHexArray(std::string_view hex) {
  if (hex.size() != 2 * N) return std::nullopt;
  const auto bytes = ParseHex(hex);
  if (!bytes) return std::nullopt;
  std::array<std::uint8_t, N> out{};
  for (std::size_t i = 0; i < N; ++i) out[i] = (*bytes)[i];
  return out;
}

// SHA-256 of one text in memory.
inline Sha256Digest Sha256Of(std::string_view bytes) {
  const auto hash = NewSha256();
  hash->Update(bytes.data(), bytes.size());
  return hash->Final();
}

// SHA-256 of a file read through, as 64 lower-case hex characters; nullopt when it cannot be
// read (absent, a folder, a read error).
std::optional<std::string> Sha256OfFile(const std::string& path);

}  // namespace veltrane::net
