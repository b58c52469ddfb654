// The pack tool's platform services on Windows: the code page and normalization services, the
// console, WinInet.
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include "base/wide.h"
#include "net/wininet_transport.h"
#include "platform.h"

namespace veltrane::pack {

constexpr UINT kCp1251 = 1251;

std::optional<std::string> Utf8ToCp1251(std::string_view utf8) {
  const std::wstring wide = win32::Widen(utf8);
  if (wide.empty()) return std::string();
  BOOL used_default = FALSE;
  const int size = static_cast<int>(wide.size());
  const int count = WideCharToMultiByte(kCp1251, WC_NO_BEST_FIT_CHARS, wide.data(), size, nullptr,
                                        0, nullptr, &used_default);
  std::string bytes(static_cast<std::size_t>(count), '\0');
  WideCharToMultiByte(kCp1251, WC_NO_BEST_FIT_CHARS, wide.data(), size, bytes.data(), count,
                      nullptr, &used_default);
  if (used_default || count == 0) return std::nullopt;
  // Text that does not survive the way back (a lone surrogate) does not fit either.
  if (Cp1251ToUtf8(bytes) != utf8) return std::nullopt;
  return bytes;
}

std::string Cp1251ToUtf8(std::string_view bytes) {
  if (bytes.empty()) return std::string();
  const int size = static_cast<int>(bytes.size());
  const int count = MultiByteToWideChar(kCp1251, 0, bytes.data(), size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(count), L'\0');
  MultiByteToWideChar(kCp1251, 0, bytes.data(), size, wide.data(), count);
  return win32::Narrow(wide);
}

std::string FoldCase(std::string_view utf8) {
  std::wstring wide = win32::Widen(utf8);
  if (!wide.empty()) CharUpperBuffW(wide.data(), static_cast<DWORD>(wide.size()));
  return win32::Narrow(wide);
}

std::string ComposeNfc(std::string_view utf8) {
  const std::wstring wide = win32::Widen(utf8);
  if (wide.empty()) return std::string(utf8);
  const int size = static_cast<int>(wide.size());
  // The size asked for first is an estimate; a too small buffer says how much more it needs.
  int capacity = NormalizeString(NormalizationC, wide.data(), size, nullptr, 0);
  for (int tries = 0; capacity > 0 && tries < 4; ++tries) {
    std::wstring composed(static_cast<std::size_t>(capacity), L'\0');
    const int written =
        NormalizeString(NormalizationC, wide.data(), size, composed.data(), capacity);
    if (written > 0) {
      composed.resize(static_cast<std::size_t>(written));
      return win32::Narrow(composed);
    }
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) break;
    capacity = -written;
  }
  return std::string(utf8);
}

NewFileResult WritePrivateFile(const std::string& path, std::string_view bytes) {
  // A new file in the user's own folders inherits an ACL that keeps other users out.
  const int fd = _wopen(win32::Widen(path).c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY,
                        _S_IREAD | _S_IWRITE);
  if (fd < 0) return errno == EEXIST ? NewFileResult::kExists : NewFileResult::kFailed;
  const bool written = _write(fd, bytes.data(), static_cast<unsigned>(bytes.size())) ==
                       static_cast<int>(bytes.size());
  const bool closed = _close(fd) == 0;
  if (!written || !closed) {
    _wunlink(win32::Widen(path).c_str());
    return NewFileResult::kFailed;
  }
  return NewFileResult::kWritten;
}

bool StdoutIsTerminal() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) != FALSE;
}

std::unique_ptr<net::Transport> NewHttpTransport() {
  return std::make_unique<win32::WinInetTransport>();
}

}  // namespace veltrane::pack
