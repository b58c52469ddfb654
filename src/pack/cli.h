#pragma once
// The command line of veltrane-pack, the server admin's tool: build the manifest, verify what
// the server serves, make a signing key.
#include <chrono>
#include <ostream>
#include <string>
#include <vector>

#include "net/transport.h"

namespace veltrane::pack {

// Exit statuses.
inline constexpr int kExitOk = 0;
inline constexpr int kExitProblems = 1;  // verify found problems, or a runtime failure
inline constexpr int kExitRefused = 2;   // refused input or a usage error

struct PackIo {
  std::ostream& out;
  std::ostream& err;
  bool out_is_terminal = false;
  net::Transport* transport = nullptr;  // for verify URL
  // What build and verify count a manifest's days from.
  std::chrono::system_clock::time_point now = std::chrono::system_clock::now();
};

extern const char* const kUsage;

// `args` without the program name, as UTF-8.
int RunPack(const std::vector<std::string>& args, PackIo& io);

}  // namespace veltrane::pack
