#pragma once
// Fetching single files from the server into new local files, remote sizes, and recognising
// a saved server error page.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "net/cancel.h"
#include "net/progress.h"
#include "net/transport.h"

namespace veltrane::net {

// A local file could not be created, written, renamed or read. Raised to the caller; a
// transfer that raises it has already removed its temporary file.
class LocalFileError : public std::runtime_error {
 public:
  LocalFileError(const std::string& what, const std::string& path)
      : std::runtime_error(what + ": " + path), path_(path) {}
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// What is known of a body before it arrives. Its `sha256`, when given (64 hex characters in
// either case), is the hash the body must have; its `largest`, when not negative, the most it may
// hold.
struct ExpectedBody {
  std::optional<std::string> sha256;
  std::int64_t largest = -1;
  bool operator==(const ExpectedBody&) const = default;
};

// One file to fetch, and from where.
struct Download {
  // The server's URL of the file, then each mirror's: a URL is tried only when the one before
  // failed, for any reason but a body with another hash (a mirror would serve the same one).
  std::vector<std::string> urls;
  // Sees Begin(length or -1) at each try (a resumed try: the whole file's length, then one
  // Advance of what is already there) and one Advance per chunk written.
  ProgressSink* bar = nullptr;
  std::optional<std::string> agent;
  ExpectedBody expected;
  // Once triggered, the transfer ends at once and leaves nothing.
  const Cancel* cancel = nullptr;
};

// Fetches the file into the new file `file_name` (a full path). Returns false without touching
// anything or connecting when the folder is missing, `file_name` already exists or its last
// component is not a plain file name. Otherwise the body goes to a partial file beside the
// target, which becomes `file_name` only when the answer was 2xx, the body arrived whole (as long
// as a stated Content-Length; not empty when no length is stated) and it is not an error page.
//
// Each URL is tried up to three times while a try fails for a transient reason (no answer, a 5xx
// answer or one without a status, a body that broke off or came slower than 4 KiB in 60 seconds,
// a 429 or 503 that asks to come back later), after pauses of 0.5 s and then 1.5 s, or as long
// as Retry-After asks when that is at most 60 s; any other failure ends that URL's tries at once.
//
// With an expected hash the body is hashed as it streams, and one with another hash counts as
// broken (a body cut where the platform cannot see it shows up only so); a hash that is not 64
// hex characters is one no body can have: false at once, nothing fetched. Such a transfer can be
// resumed: its partial file is named `file_name` + ".part", and what the answer's ETag or
// Last-Modified says of it is kept beside it (PartialTagPath). When a try breaks off, or the
// process is killed, the next try (or run) asks for the rest with Range and If-Range, and starts
// from zero when the server sends the whole file instead (or cannot serve the range); the hash
// is checked over the whole file. Without a hash a partial file is never kept.
//
// `expected.largest` bounds the body: reading stops as soon as the body (or its stated length)
// passes it, and the body counts as broken, so that a server sending without end cannot fill the
// disk. Throws LocalFileError, and never tries again, when the local file cannot be named,
// created or written.
bool DownloadFile(Transport& transport, const std::string& file_name, const Download& download);
// The same for a single URL.
bool DownloadFile(Transport& transport, const std::string& url, const std::string& file_name,
                  ProgressSink* bar, const std::optional<std::string>& agent,
                  const ExpectedBody& expected = {});

// Where a resumable transfer of `file_name` keeps its bytes, and what it knows of them.
std::string PartialPath(const std::string& file_name);
std::string PartialTagPath(const std::string& file_name);
// Whether the partial file of `file_name` is one a transfer expecting `sha256` (64 lower-case
// hex characters) would continue.
bool CanResume(const std::string& file_name, std::string_view sha256);

// Removes from `folder` what killed or broken transfers left that no transfer would continue:
// every "*.part" and "*.part.tag" file but the partial files of the names in `resumable` (a name
// and the hash its transfer expects) that CanResume, and never a file whose own name is a key of
// `resumable` (a listed mod may end in ".part" itself; its hash may be empty). Returns how many
// files it removed.
int RemoveStalePartials(const std::string& folder,
                        const std::map<std::string, std::string>& resumable);

// A transfer fails when it receives fewer than this many bytes in any span this long.
inline constexpr std::int64_t kLeastBytesPerSpan = 4096;
inline constexpr std::chrono::seconds kRateSpan{60};
// The longest Retry-After a transfer waits for; a longer one counts as a failed try.
inline constexpr std::chrono::seconds kLongestRetryAfter{60};

// The length the server states for `url`, -1 when it states none, the text is not a
// non-negative number, or no 2xx answer came (tried like DownloadFile). Reads no body, and does
// not read what the server sends of it either.
std::int64_t GetRemoteFileSize(Transport& transport, const std::string& url);

std::int64_t ParseContentLength(const std::optional<std::string>& text);

// Whether the file holds "404: Not Found" or "unknown domain" once CR and LF bytes are
// removed, looking only at what precedes the first Ctrl-Z byte. False when the file cannot be
// opened. Reads in chunks, so memory stays small whatever the file's size.
// Throws LocalFileError when a read fails after the file was opened.
bool IsDamagedFile(const std::string& file_name);

}  // namespace veltrane::net
