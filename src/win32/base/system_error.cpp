#include "base/system_error.h"

#include "base/scoped.h"
#include "base/wide.h"

namespace veltrane::win32 {

SystemError::SystemError(DWORD code)
    : std::runtime_error("Системная ошибка. Код: " + std::to_string(code) + ".\r\n" +
                         SystemErrorText(code)),
      code_(code) {}

std::string SystemErrorText(DWORD code) {
  wchar_t* buffer = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  const ScopedLocalMemory<wchar_t> owner(buffer);
  std::wstring text = length != 0 && buffer != nullptr ? std::wstring(buffer, length) : L"";
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) {
    text.pop_back();
  }
  return Narrow(text);
}

}  // namespace veltrane::win32
