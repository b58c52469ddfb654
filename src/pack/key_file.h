#pragma once
// The private key file: plain text, so both platforms read it without ASN.1.
//
//   veltrane-pack private key, ECDSA P-256
//   public=<128 lower-case hex characters: X‖Y>
//   private=<64 lower-case hex characters: d>
#include <optional>
#include <string>
#include <string_view>

#include "signing.h"

namespace veltrane::pack {

inline constexpr std::string_view kKeyFileTitle = "veltrane-pack private key, ECDSA P-256";

std::string FormatKeyFile(const P256KeyPair& key);

// The key pair, or nullopt with `error` set to what is wrong. Line ends may be LF or CRLF.
std::optional<P256KeyPair> ParseKeyFile(std::string_view text, std::string& error);

// The public key as `keygen` prints it and VELTRANE_PACK_KEY holds it.
std::string PublicKeyText(const net::P256PublicKey& key);
std::optional<net::P256PublicKey> ParsePublicKeyText(std::string_view text);

}  // namespace veltrane::pack
