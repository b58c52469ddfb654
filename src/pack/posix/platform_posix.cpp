// The pack tool's platform services on Linux: iconv for code page 1251, the C.UTF-8 locale's
// case mapping, libunistring's normalization, POSIX files and terminals, libcurl.
#include <fcntl.h>
#include <iconv.h>
#include <locale.h>
#include <uninorm.h>
#include <unistd.h>
#include <wctype.h>

#include <cerrno>
#include <cstdlib>
#include <stdexcept>
#include <vector>

#include "net/curl_transport.h"
#include "platform.h"

namespace veltrane::pack {
namespace {

class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) {
      throw std::runtime_error(std::string("iconv cannot convert from ") + from + " to " + to);
    }
  }
  ~Converter() { iconv_close(cd_); }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Converts `in`; on a sequence it cannot convert, calls `on_error` with the output so far
  // and skips `skip` input bytes, or gives up when `on_error` is empty.
  std::optional<std::string> Run(std::string_view in, const char* replacement, std::size_t skip) {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);  // a fresh start after an earlier failure
    std::string out;
    char* src = const_cast<char*>(in.data());
    std::size_t src_left = in.size();
    std::vector<char> buffer(4 * in.size() + 16);
    while (src_left > 0) {
      char* dst = buffer.data();
      std::size_t dst_left = buffer.size();
      const std::size_t result = iconv(cd_, &src, &src_left, &dst, &dst_left);
      out.append(buffer.data(), buffer.size() - dst_left);
      if (result != static_cast<std::size_t>(-1)) continue;
      if (errno == E2BIG) continue;
      if (!replacement) return std::nullopt;
      out += replacement;
      const std::size_t step = std::min(skip, src_left);
      src += step;
      src_left -= step;
    }
    return out;
  }

 private:
  iconv_t cd_;
};

}  // namespace

// Opening a converter costs more than converting a name: one of each per thread.
std::optional<std::string> Utf8ToCp1251(std::string_view utf8) {
  thread_local Converter converter("CP1251", "UTF-8");
  return converter.Run(utf8, nullptr, 0);
}

std::string Cp1251ToUtf8(std::string_view bytes) {
  thread_local Converter converter("UTF-8", "CP1251");
  return *converter.Run(bytes, "\xEF\xBF\xBD", 1);
}

std::string FoldCase(std::string_view utf8) {
  static const locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
  thread_local Converter to_wide("WCHAR_T", "UTF-8");
  thread_local Converter from_wide("UTF-8", "WCHAR_T");
  const auto wide = to_wide.Run(utf8, nullptr, 0);
  if (!wide || !locale) return std::string(utf8);
  std::wstring text(reinterpret_cast<const wchar_t*>(wide->data()), wide->size() / sizeof(wchar_t));
  for (wchar_t& c : text) c = static_cast<wchar_t>(towupper_l(static_cast<wint_t>(c), locale));
  const std::string_view bytes(reinterpret_cast<const char*>(text.data()),
                               text.size() * sizeof(wchar_t));
  return from_wide.Run(bytes, nullptr, 0).value_or(std::string(utf8));
}

std::string ComposeNfc(std::string_view utf8) {
  std::size_t length = 0;
  std::uint8_t* composed =
      u8_normalize(UNINORM_NFC, reinterpret_cast<const std::uint8_t*>(utf8.data()), utf8.size(),
                   nullptr, &length);
  if (!composed) return std::string(utf8);
  std::string out(reinterpret_cast<const char*>(composed), length);
  std::free(composed);
  return out;
}

NewFileResult WritePrivateFile(const std::string& path, std::string_view bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return errno == EEXIST ? NewFileResult::kExists : NewFileResult::kFailed;
  std::size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t step = ::write(fd, bytes.data() + written, bytes.size() - written);
    if (step < 0 && errno == EINTR) continue;
    if (step <= 0) break;
    written += static_cast<std::size_t>(step);
  }
  const bool closed = ::close(fd) == 0;
  if (written < bytes.size() || !closed) {
    ::unlink(path.c_str());
    return NewFileResult::kFailed;
  }
  return NewFileResult::kWritten;
}

bool StdoutIsTerminal() {
  return ::isatty(STDOUT_FILENO) == 1;
}

std::unique_ptr<net::Transport> NewHttpTransport() {
  return std::make_unique<posix::CurlTransport>();
}

}  // namespace veltrane::pack
