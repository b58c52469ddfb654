#include "net/crypto.h"

#include <fstream>

#include "base/u8path.h"

namespace veltrane::net {
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string ToHex(const std::uint8_t* data, std::size_t size) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text(2 * size, '0');
  for (std::size_t i = 0; i < size; ++i) {
    text[2 * i] = kDigits[data[i] >> 4];
    text[2 * i + 1] = kDigits[data[i] & 15];
  }
  return text;
}

std::optional<std::vector<std::uint8_t>> ParseHex(std::string_view hex) {
  if (hex.size() % 2 != 0) return std::nullopt;
  std::vector<std::uint8_t> bytes(hex.size() / 2);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const int high = HexValue(hex[2 * i]);
    const int low = HexValue(hex[2 * i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    bytes[i] = static_cast<std::uint8_t>(high << 4 | low);
  }
  return bytes;
}

std::optional<std::string> Sha256OfFile(const std::string& path) {
  std::ifstream in(U8Path(path), std::ios::binary);
  if (!in) return std::nullopt;
  const auto hash = NewSha256();
  std::vector<char> buffer(256 * 1024);
  while (in) {
    in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    if (in.bad()) return std::nullopt;
    hash->Update(buffer.data(), static_cast<std::size_t>(in.gcount()));
  }
  return ToHex(hash->Final());
}

}  // namespace veltrane::net
