#pragma once
// `veltrane-pack build`: the manifest (and its signature) from the server's web folder.
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace veltrane::pack {

struct BuildOptions {
  std::string dir;                      // the server's web folder
  std::optional<std::string> version;   // lastversion; kept from the old manifest when absent
  std::optional<std::string> key_file;  // sign with this private key
  // Mirror base URLs in the order the client tries them; none given keeps the old manifest's,
  // unless `no_mirrors`.
  std::vector<std::string> mirrors;
  bool no_mirrors = false;
};

// Exit status: 0 written, 2 refused (bad input: nothing written), 1 failed while writing.
int RunBuild(const BuildOptions& options, std::ostream& out, std::ostream& err);

// SHA-256 of a file as 64 lower-case hex characters. Throws net::LocalFileError.
std::string HashFile(const std::string& path);

}  // namespace veltrane::pack
