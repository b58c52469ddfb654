#include "net/wininet_transport.h"

// clang-format off
#include <windows.h>
#include <wininet.h>
// clang-format on

#include <vector>

#include "base/wide.h"

namespace veltrane::win32 {
namespace {

class InetHandle {
 public:
  explicit InetHandle(HINTERNET handle = nullptr) : handle_(handle) {}
  ~InetHandle() {
    if (handle_) InternetCloseHandle(handle_);
  }
  InetHandle(const InetHandle&) = delete;
  InetHandle& operator=(const InetHandle&) = delete;
  HINTERNET get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }

 private:
  HINTERNET handle_;
};

class WinInetResponse : public net::Response {
 public:
  // The request handle must close before the root handle, hence the member order.
  WinInetResponse(std::unique_ptr<InetHandle> root, std::unique_ptr<InetHandle> request)
      : root_(std::move(root)), request_(std::move(request)) {}

  int Status() const override {
    DWORD status = 0;
    DWORD size = sizeof(status);
    if (!HttpQueryInfoW(request_->get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status,
                        &size, nullptr)) {
      return 0;
    }
    return static_cast<int>(status);
  }

  std::optional<std::string> ContentLengthText() const override {
    // 31 characters hold any 64-bit length; a longer header fails the query like a missing one.
    wchar_t text[31] = {};
    DWORD size = sizeof(text);
    if (!HttpQueryInfoW(request_->get(), HTTP_QUERY_CONTENT_LENGTH, text, &size, nullptr)) {
      return std::nullopt;
    }
    return Narrow(std::wstring_view(text, size / sizeof(wchar_t)));
  }

  std::int64_t Read(char* buffer, std::size_t size) override {
    DWORD read = 0;
    const auto wanted = static_cast<DWORD>(size > 0x7FFFFFFF ? 0x7FFFFFFF : size);
    if (!InternetReadFile(request_->get(), buffer, wanted, &read)) return -1;
    return read;
  }

 private:
  std::unique_ptr<InetHandle> root_;
  std::unique_ptr<InetHandle> request_;
};

}  // namespace

std::unique_ptr<net::Response> WinInetTransport::Open(const std::string& url,
                                                      const std::optional<std::string>& agent) {
  const std::wstring wide_agent = agent ? Widen(*agent) : std::wstring();
  auto root = std::make_unique<InetHandle>(InternetOpenW(
      agent ? wide_agent.c_str() : nullptr, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  if (!*root) return nullptr;
  // A stale cached copy of the manifest or a mod would defeat the whole check.
  const DWORD flags =
      INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE;
  const std::wstring wide_url = Widen(url);
  auto request = std::make_unique<InetHandle>(
      InternetOpenUrlW(root->get(), wide_url.c_str(), nullptr, 0, flags, 0));
  if (!*request) return nullptr;
  return std::make_unique<WinInetResponse>(std::move(root), std::move(request));
}

void WinInetTransport::Pause(std::chrono::milliseconds span) {
  Sleep(static_cast<DWORD>(span.count()));
}

bool WinInetTransport::IsConnected() {
  DWORD flags = 0;
  return InternetGetConnectedState(&flags, 0) != FALSE;
}

std::string OwnExeName() {
  std::vector<wchar_t> path(MAX_PATH);
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return std::string();
    if (length < path.size()) {
      const std::wstring_view full(path.data(), length);
      const auto cut = full.find_last_of(L"\\/");
      return Narrow(cut == std::wstring_view::npos ? full : full.substr(cut + 1));
    }
    path.resize(path.size() * 2);
  }
}

}  // namespace veltrane::win32
