#include "key_file.h"

#include <vector>

namespace veltrane::pack {
namespace {

std::vector<std::string_view> Lines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const auto end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return lines;
}

}  // namespace

std::string FormatKeyFile(const P256KeyPair& key) {
  return std::string(kKeyFileTitle) + "\npublic=" + net::ToHex(key.public_key) +
         "\nprivate=" + net::ToHex(key.private_key) + "\n";
}

std::optional<P256KeyPair> ParseKeyFile(std::string_view text, std::string& error) {
  const std::vector<std::string_view> lines = Lines(text);
  if (lines.empty() || lines[0] != kKeyFileTitle) {
    error = "not a veltrane-pack private key (the first line must be \"" +
            std::string(kKeyFileTitle) + "\")";
    return std::nullopt;
  }
  std::optional<net::P256PublicKey> public_key;
  std::optional<net::P256PrivateKey> private_key;
  for (std::size_t i = 1; i < lines.size(); ++i) {
    const std::string_view line = lines[i];
    if (line.starts_with("public=")) {
      public_key = net::ParseHexArray<64>(line.substr(7));
      if (!public_key) {
        error = "public= must hold 128 hex characters";
        return std::nullopt;
      }
    } else if (line.starts_with("private=")) {
      private_key = net::ParseHexArray<32>(line.substr(8));
      if (!private_key) {
        error = "private= must hold 64 hex characters";
        return std::nullopt;
      }
    } else if (!line.empty()) {
      error = "unexpected line " + std::to_string(i + 1);
      return std::nullopt;
    }
  }
  if (!public_key || !private_key) {
    error = "public= or private= is missing";
    return std::nullopt;
  }
  return P256KeyPair{*public_key, *private_key};
}

std::string PublicKeyText(const net::P256PublicKey& key) {
  return net::ToHex(key);
}

std::optional<net::P256PublicKey> ParsePublicKeyText(std::string_view text) {
  return net::ParseHexArray<64>(text);
}

}  // namespace veltrane::pack
