#include "base/environment.h"

#include <windows.h>

#include "base/system_error.h"
#include "base/wide.h"

namespace veltrane::win32 {
namespace {

constexpr DWORD kExpandBuffer = 256;

}  // namespace

std::string ExpandEnvText(std::string_view text) {
  const std::wstring source = Widen(text);
  wchar_t buffer[kExpandBuffer] = {};
  const DWORD needed = ExpandEnvironmentStringsW(source.c_str(), buffer, kExpandBuffer);
  // `needed` counts the terminator; a larger one means the buffer holds nothing usable.
  if (needed == 0 || needed > kExpandBuffer) return {};
  return Narrow(buffer);
}

std::string OwnProgramPath() {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) throw SystemError(GetLastError());
    if (length < buffer.size()) {
      buffer.resize(length);
      return Narrow(buffer);
    }
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace veltrane::win32
