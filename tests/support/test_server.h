#pragma once
// The loopback HTTP server that the test runner puts in front of the Wine tests: its base URL
// (VELTRANE_TEST_SERVER) and the folder it serves (VELTRANE_TEST_SERVER_ROOT, a Linux path).
#include <string>

namespace veltrane::test {

// Empty when the variable is not set.
std::string TestServerUrl();
// The served folder in the platform's own syntax: on Windows the Linux path as Wine maps it
// ("/srv/x" -> "Z:\srv\x"), elsewhere as given. Empty when not set.
std::string TestServerRoot();
// "/a/b" -> "Z:\a\b": how Wine shows a Linux path to a Windows program.
std::string LinuxPathToWine(const std::string& linux_path);
// Writes `bytes` to the served folder under `name` (which may hold '/'); returns its local path.
std::string ServeFile(const std::string& name, const std::string& bytes);

}  // namespace veltrane::test
