#pragma once
// `veltrane-pack build`: the manifest (and its signature) from the server's web folder.
#include <chrono>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "net/manifest_terms.h"

namespace veltrane::pack {

struct BuildOptions {
  std::string dir;                      // the server's web folder
  std::optional<std::string> version;   // lastversion; kept from the old manifest when absent
  std::optional<std::string> key_file;  // sign with this private key
  // Mirror base URLs in the order the client tries them; none given keeps the old manifest's,
  // unless `no_mirrors`.
  std::vector<std::string> mirrors;
  bool no_mirrors = false;
  // The manifest's serial; absent: the replaced manifest's plus one (1 for the first).
  std::optional<std::int64_t> serial;
  // Its last day (UTC); absent: kDefaultValidDays after `today`.
  std::optional<net::Date> expires;
  net::Date today = net::UtcDay(std::chrono::system_clock::now());
};

// How long a manifest is valid when no --expires says: players on a pack nobody signs anew
// stop getting self-updates after this.
inline constexpr int kDefaultValidDays = 180;

// Exit status: 0 written, 2 refused (bad input: nothing written), 1 failed while writing.
int RunBuild(const BuildOptions& options, std::ostream& out, std::ostream& err);

// SHA-256 of a file as 64 lower-case hex characters. Throws net::LocalFileError.
std::string HashFile(const std::string& path);

}  // namespace veltrane::pack
