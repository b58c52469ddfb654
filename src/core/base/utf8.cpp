#include "base/utf8.h"

namespace veltrane {

Utf8Sequence DecodeUtf8(std::string_view text, std::size_t at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  Utf8Sequence sequence;
  if (lead < 0x80) {
    return Utf8Sequence{lead, 1};
  } else if ((lead & 0xE0) == 0xC0) {
    sequence = {lead & 0x1Fu, 2};
  } else if ((lead & 0xF0) == 0xE0) {
    sequence = {lead & 0x0Fu, 3};
  } else if ((lead & 0xF8) == 0xF0) {
    sequence = {lead & 0x07u, 4};
  } else {
    return {};
  }
  if (at + sequence.length > text.size()) return {};
  for (std::size_t k = 1; k < sequence.length; ++k) {
    const auto next = static_cast<unsigned char>(text[at + k]);
    if ((next & 0xC0) != 0x80) return {};
    sequence.value = (sequence.value << 6) | (next & 0x3Fu);
  }
  return sequence;
}

bool IsWellFormed(const Utf8Sequence& sequence) {
  static constexpr std::uint32_t kShortest[] = {0, 0, 0x80, 0x800, 0x10000};
  const std::uint32_t cp = sequence.value;
  return sequence.length > 0 && cp >= kShortest[sequence.length] && cp <= 0x10FFFF &&
         (cp < 0xD800 || cp >= 0xE000);
}

void AppendUtf8(std::string& out, std::uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

}  // namespace veltrane
