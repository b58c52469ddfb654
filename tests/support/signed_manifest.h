#pragma once
// A manifest signed with one test key by both implementations: the OpenSSL signature was made by
// the native pack tool, the CNG one by the Windows pack tool under Wine. Each tier checks both,
// so each implementation verifies the other's. The private key is not kept. With the helpers
// the tests use to publish hashes and to spoil signatures.
#include <cstddef>
#include <string>
#include <string_view>

#include "net/crypto.h"

namespace veltrane::test {

inline constexpr std::string_view kSignedManifest =
    "[Update]\r\nlastversion=1.0\r\n[modlist]\r\nCount=1\r\nmod1=a.jar\r\nmod1size=1\r\n"
    "mod1sha256=ca978112ca1bbdcafac231b39a23dc4da786eff8147c4e72b9807785afee48bb\r\n"
    "[dellist]\r\nCount=0\r\n";
inline constexpr std::string_view kSignerPublicKey =
    "4f78e2841e9f46cb275c71d95ea4edc8cbe2447fe2f2115db81209a8b5f075d1"
    "6a346fcfcb03602dd8487eadf923141e026f967d70d9a19310fcdef5aacbd7eb";
inline constexpr std::string_view kOpenSslSignature =
    "b1c411b6ab9072274ec33f66209f526be0bc3acb9fad44c61b35ba0fae70f972"
    "e489f90fc4d2cd0618bdfd595d41b81061966efb59e36b78c5679c419640de27";
inline constexpr std::string_view kCngSignature =
    "69f3c4330e2589fe5c3af88161ae45f4268b60bcb08781c73f0c0305c5f38ccd"
    "40db09341aa77e9fe1025f3980649932014e3878a6be5e5106dc2ef9040ca829";
// A valid key, but not the signer's.
inline constexpr std::string_view kOtherPublicKey =
    "4651c766b249bb1e619405645bbe70d1147d3cfdfe079715c7c1a5d362a7c14a"
    "5e7b639e38618d596830b938594a3dd6ac07a453da1eaab6aa07ff76a5c7c35f";

// SHA-256 of `bytes` as a manifest publishes it.
inline std::string Sha256Hex(std::string_view bytes) {
  return net::ToHex(net::Sha256Of(bytes));
}

// The raw bytes of a signature (or key) given in hex, as "/Update.sig" holds them.
inline std::string HexBytes(std::string_view hex) {
  const auto bytes = net::ParseHex(hex).value();
  return std::string(bytes.begin(), bytes.end());
}

// `bytes` with the lowest bit of the byte at `at` flipped.
inline std::string OneBitChanged(std::string bytes, std::size_t at) {
  bytes[at] = static_cast<char>(bytes[at] ^ 1);
  return bytes;
}

}  // namespace veltrane::test
