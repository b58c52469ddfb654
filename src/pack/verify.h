#pragma once
// `veltrane-pack verify`: fetches the manifest and every file it names as the client would, and
// reports what does not match.
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "net/crypto.h"
#include "net/manifest_terms.h"
#include "net/transport.h"

namespace veltrane::pack {

// How fetching one file ended.
struct Fetched {
  // kTooLong: the body passed the bound it was fetched with; reading stopped there.
  enum class Outcome { kOk, kMissing, kStatus, kUnreachable, kBroken, kTooLong };
  Outcome outcome = Outcome::kOk;
  int status = 0;            // HTTP status, when there was one
  std::int64_t bytes = 0;    // body bytes received
  std::int64_t stated = -1;  // Content-Length, -1 when none
  std::int64_t passed = -1;  // for kTooLong, the bound the body passed
};

using Sink = std::function<void(const char* data, std::size_t size)>;

// Where the files come from: the server over a transport, or its web folder.
class PackSource {
 public:
  virtual ~PackSource() = default;
  // Streams the file at `path` ("/Update", "/mods3/<name>") to `sink` as it arrives, but never
  // more than `largest` bytes when that is not negative. Called from several threads at once.
  virtual Fetched Fetch(const std::string& path, std::int64_t largest, const Sink& sink) = 0;
  // The base URL or the folder, as a report names it.
  virtual std::string Where() const = 0;
};

// `base_url` without a trailing slash; each file's URL is made as the client makes it.
std::unique_ptr<PackSource> HttpSource(net::Transport& transport, std::string base_url);
std::unique_ptr<PackSource> FolderSource(std::string dir);

using SourceMaker = std::function<std::unique_ptr<PackSource>(const std::string& base_url)>;

struct VerifyOptions {
  // The keys Update.sig is checked against, as the client holds them (128 lower-case hex
  // characters each, ";" between); nullopt: the signature is not checked.
  std::optional<std::string> public_key;
  bool progress = false;  // draw a progress bar on `out` (a terminal)
  // When set, each mirror the manifest lists is checked too, through the source this makes of
  // its base URL.
  SourceMaker mirror_source;
  // The day (UTC) the manifest's last day is counted from.
  net::Date today = net::UtcDay(std::chrono::system_clock::now());
};

// Exit status: 0 when the server and every mirror checked match, 1 when anything is wrong.
int RunVerify(PackSource& source, const VerifyOptions& options, std::ostream& out);

}  // namespace veltrane::pack
