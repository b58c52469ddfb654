#pragma once
// UTF-8 taken apart one sequence at a time, for readers that each keep their own rule for
// malformed text (the INI store replaces it, the pack tool refuses it), and put together again.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace veltrane {

// The sequence at `at` as its bytes spell it: `length` bytes holding `value`. A length of 0 means
// the bytes there form no sequence (a stray continuation byte, a lead byte above F7, a sequence
// cut short or broken by a byte that does not continue it). The value is not judged: it may be an
// overlong form, a surrogate or above U+10FFFF.
struct Utf8Sequence {
  std::uint32_t value = 0;
  std::size_t length = 0;
};
Utf8Sequence DecodeUtf8(std::string_view text, std::size_t at);

// Whether a decoded sequence is well-formed UTF-8: the shortest form of a code point up to
// U+10FFFF that is not a surrogate.
bool IsWellFormed(const Utf8Sequence& sequence);

// Appends `code_point` (at most U+10FFFF) in UTF-8.
void AppendUtf8(std::string& out, std::uint32_t code_point);

}  // namespace veltrane
