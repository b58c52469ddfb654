#include "net/http_headers.h"

#include <array>
#include <cstdio>

namespace veltrane::net {
namespace {

constexpr std::array<std::string_view, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                      "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// Days since 1970-01-01 of a proleptic Gregorian date.
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  const std::chrono::year_month_day civil{std::chrono::year{static_cast<int>(y)},
                                          std::chrono::month{m}, std::chrono::day{d}};
  return std::chrono::sys_days{civil}.time_since_epoch().count();
}

std::optional<std::chrono::system_clock::time_point> ParseHttpDate(std::string_view text) {
  const std::string date(text);
  char weekday[16] = {};
  char month[4] = {};
  int day = 0;
  int year = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;
  int used = 0;
  const auto whole = [&] { return static_cast<std::size_t>(used) == date.size(); };
  // "Sun, 06 Nov 1994 08:49:37 GMT", "Sunday, 06-Nov-94 08:49:37 GMT", "Sun Nov  6 08:49:37 1994"
  bool parsed = std::sscanf(date.c_str(), "%15[A-Za-z], %2d %3s %4d %2d:%2d:%2d GMT%n", weekday,
                            &day, month, &year, &hour, &minute, &second, &used) == 7 &&
                whole();
  if (!parsed) {
    used = 0;
    parsed = std::sscanf(date.c_str(), "%15[A-Za-z], %2d-%3[A-Za-z]-%2d %2d:%2d:%2d GMT%n", weekday,
                         &day, month, &year, &hour, &minute, &second, &used) == 7 &&
             whole();
    // Two-digit years as RFC 7231 reads them: never more than 50 years ahead.
    if (parsed) year += year < 70 ? 2000 : 1900;
  }
  if (!parsed) {
    used = 0;
    parsed = std::sscanf(date.c_str(), "%3[A-Za-z] %3[A-Za-z] %2d %2d:%2d:%2d %4d%n", weekday,
                         month, &day, &hour, &minute, &second, &year, &used) == 7 &&
             whole();
  }
  if (!parsed) return std::nullopt;
  unsigned month_number = 0;
  for (unsigned i = 0; i < kMonths.size(); ++i) {
    if (kMonths[i] == month) month_number = i + 1;
  }
  if (month_number == 0 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60) {
    return std::nullopt;
  }
  const std::int64_t seconds =
      DaysFromCivil(year, month_number, static_cast<unsigned>(day)) * 86400 + hour * 3600 +
      minute * 60 + second;
  return std::chrono::system_clock::time_point(std::chrono::seconds(seconds));
}

}  // namespace

std::optional<std::int64_t> ParseDecimal(std::string_view text) {
  if (text.empty() || text.size() > 18) return std::nullopt;
  std::int64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

std::optional<ContentRange> ParseContentRange(std::string_view text) {
  text = Trim(text);
  constexpr std::string_view kUnit = "bytes ";
  if (text.substr(0, kUnit.size()) != kUnit) return std::nullopt;
  text.remove_prefix(kUnit.size());
  const auto dash = text.find('-');
  const auto slash = text.find('/');
  if (dash == std::string_view::npos || slash == std::string_view::npos || slash < dash) {
    return std::nullopt;
  }
  const auto first = ParseDecimal(text.substr(0, dash));
  const auto last = ParseDecimal(text.substr(dash + 1, slash - dash - 1));
  const auto total = ParseDecimal(text.substr(slash + 1));
  if (!first || !last || !total || *first > *last || *last >= *total) return std::nullopt;
  return ContentRange{*first, *last, *total};
}

std::optional<std::chrono::seconds> ParseRetryAfter(std::string_view text,
                                                    std::chrono::system_clock::time_point now) {
  text = Trim(text);
  if (const auto delay = ParseDecimal(text)) return std::chrono::seconds(*delay);
  const auto date = ParseHttpDate(text);
  if (!date) return std::nullopt;
  if (*date <= now) return std::chrono::seconds(0);
  return std::chrono::ceil<std::chrono::seconds>(*date - now);
}

std::string ResumeValidator(const std::optional<std::string>& etag,
                            const std::optional<std::string>& last_modified) {
  // A weak ETag may not stand in If-Range: the server would never honour the range.
  if (etag && !etag->empty() && etag->rfind("W/", 0) != 0) return std::string(Trim(*etag));
  if (last_modified) return std::string(Trim(*last_modified));
  return {};
}

}  // namespace veltrane::net
