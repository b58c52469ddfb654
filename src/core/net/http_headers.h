#pragma once
// The few response headers a transfer reads beyond the length: where a partial answer starts
// (Content-Range), how long a busy server asks to be left alone (Retry-After), and what names
// the version of a file for a later resumed request (ETag, Last-Modified).
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace veltrane::net {

// A plain non-negative decimal number, as HTTP writes lengths and offsets; nullopt for anything
// else (signs, blanks, hexadecimal, more than 18 digits).
std::optional<std::int64_t> ParseDecimal(std::string_view text);

// "bytes FIRST-LAST/TOTAL" of a 206 answer.
struct ContentRange {
  std::int64_t first = 0;
  std::int64_t last = 0;
  std::int64_t total = 0;
};
std::optional<ContentRange> ParseContentRange(std::string_view text);

// How long Retry-After asks to wait from `now`: delay seconds, or an HTTP date (the IMF form,
// the obsolete RFC 850 and asctime forms too). A date already past is no wait; nullopt for
// text that is neither.
std::optional<std::chrono::seconds> ParseRetryAfter(std::string_view text,
                                                    std::chrono::system_clock::time_point now);

// What If-Range may carry for an answer: its ETag when it is a strong one, else its
// Last-Modified date; empty when it has neither.
std::string ResumeValidator(const std::optional<std::string>& etag,
                            const std::optional<std::string>& last_modified);

}  // namespace veltrane::net
