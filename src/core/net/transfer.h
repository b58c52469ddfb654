#pragma once
// Fetching single files from the server into new local files, remote sizes, and recognising
// a saved server error page.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

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

// Fetches `url` into the new file `file_name` (a full path). Returns false without touching
// anything or connecting when the folder is missing, `file_name` already exists or its last
// component is not a plain file name. Otherwise the body goes to a temporary file beside the
// target, which becomes `file_name` only when the answer was 2xx, the body arrived whole (as
// long as a stated Content-Length; not empty when no length is stated) and it is not an error
// page; on any other outcome nothing is left.
// A try that failed for a transient reason (no answer, a 5xx answer or one without a status, a
// body that broke off) is made again, up to three tries in all, after pauses of 0.5 s and then
// 1.5 s; any other failure is final at once.
// `bar`, when given, sees Begin(length or -1) at each try and one Advance per chunk written;
// during a pause it sees Advance(0) every few dozen milliseconds, so that a transfer on the
// user-interface thread keeps the window answering.
// `expected` says what is known of the body before it arrives. Its `sha256`, when given (64 hex
// characters in either case), is the hash the body must have: it is hashed as it streams, and a
// body with another hash counts as broken (a body cut where the platform cannot see it shows up
// only so) and is tried again like one. A text that is not 64 hex characters is a hash no body
// can have: false at once, nothing fetched. Its `largest`, when not negative, bounds the body:
// reading stops as soon as the body (or its stated length) passes it, and the body counts as
// broken, so that a server sending without end cannot fill the disk.
// Throws LocalFileError, and never tries again, when the local file cannot be named, created
// or written.
struct ExpectedBody {
  std::optional<std::string> sha256;
  std::int64_t largest = -1;
  bool operator==(const ExpectedBody&) const = default;
};
bool DownloadFile(Transport& transport, const std::string& url, const std::string& file_name,
                  ProgressSink* bar, const std::optional<std::string>& agent,
                  const ExpectedBody& expected = {});

// The length the server states for `url`, -1 when it states none, the text is not a
// non-negative number, or no 2xx answer came (tried like DownloadFile). Reads no body.
std::int64_t GetRemoteFileSize(Transport& transport, const std::string& url);

std::int64_t ParseContentLength(const std::optional<std::string>& text);

// Whether the file holds "404: Not Found" or "unknown domain" once CR and LF bytes are
// removed, looking only at what precedes the first Ctrl-Z byte. False when the file cannot be
// opened. Reads in chunks, so memory stays small whatever the file's size.
// Throws LocalFileError when a read fails after the file was opened.
bool IsDamagedFile(const std::string& file_name);

}  // namespace veltrane::net
