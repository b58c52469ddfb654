#include "base/process_names.h"

#include "base/ascii.h"

namespace veltrane {

bool ProcessNameMatches(std::string_view exe_path, std::string_view wanted) {
  const size_t slash = exe_path.find_last_of("\\/");
  if (slash != std::string_view::npos) exe_path.remove_prefix(slash + 1);
  // Cutting the exe name to the wanted length and comparing is a prefix test.
  if (exe_path.size() < wanted.size()) return false;
  return AsciiUpper(exe_path.substr(0, wanted.size())) == AsciiUpper(wanted);
}

}  // namespace veltrane
