#include "net/wininet_transport.h"

// clang-format off
#include <windows.h>
#include <wininet.h>
// clang-format on

#include <string>
#include <utility>
#include <vector>

#include "base/scoped.h"
#include "base/wide.h"

namespace veltrane::win32 {
namespace {

class WinInetResponse : public net::Response {
 public:
  // Handles close in the reverse order of the members: request, session, root.
  WinInetResponse(ScopedInternet root, ScopedInternet session, ScopedInternet request)
      : root_(std::move(root)), session_(std::move(session)), request_(std::move(request)) {}

  int Status() const override {
    DWORD status = 0;
    DWORD size = sizeof(status);
    if (!HttpQueryInfoW(request_.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status,
                        &size, nullptr)) {
      return 0;
    }
    return static_cast<int>(status);
  }

  std::optional<std::string> ContentLengthText() const override {
    // A text too long for the first buffer (leading zeros, say) is asked for again in the size
    // WinInet names, so that it is never taken for a missing header.
    std::wstring text(32, L'\0');
    DWORD size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    if (!HttpQueryInfoW(request_.get(), HTTP_QUERY_CONTENT_LENGTH, text.data(), &size, nullptr)) {
      if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return std::nullopt;
      text.assign(size / sizeof(wchar_t) + 1, L'\0');
      size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
      if (!HttpQueryInfoW(request_.get(), HTTP_QUERY_CONTENT_LENGTH, text.data(), &size, nullptr)) {
        return std::nullopt;
      }
    }
    text.resize(size / sizeof(wchar_t));
    return Narrow(text);
  }

  std::int64_t Read(char* buffer, std::size_t size) override {
    DWORD read = 0;
    const auto wanted = static_cast<DWORD>(size > 0x7FFFFFFF ? 0x7FFFFFFF : size);
    if (!InternetReadFile(request_.get(), buffer, wanted, &read)) return -1;
    return read;
  }

 private:
  ScopedInternet root_;
  ScopedInternet session_;
  ScopedInternet request_;
};

}  // namespace

std::unique_ptr<net::Response> WinInetTransport::Open(const std::string& url,
                                                      const std::optional<std::string>& agent) {
  const std::wstring wide_url = Widen(url);
  URL_COMPONENTSW parts{};
  parts.dwStructSize = sizeof(parts);
  // Non-zero lengths without buffers: the parts are pointed out inside wide_url.
  parts.dwHostNameLength = parts.dwUrlPathLength = parts.dwExtraInfoLength = 1;
  if (!InternetCrackUrlW(wide_url.c_str(), 0, 0, &parts)) return nullptr;
  const bool secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
  if (!secure && parts.nScheme != INTERNET_SCHEME_HTTP) return nullptr;
  const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
  const std::wstring object = std::wstring(parts.lpszUrlPath, parts.dwUrlPathLength) +
                              std::wstring(parts.lpszExtraInfo, parts.dwExtraInfoLength);

  const std::wstring wide_agent = agent ? Widen(*agent) : std::wstring();
  ScopedInternet root(InternetOpenW(agent ? wide_agent.c_str() : nullptr,
                                    INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  if (!root) return nullptr;
  ScopedInternet session(InternetConnectW(root.get(), host.c_str(), parts.nPort, nullptr, nullptr,
                                          INTERNET_SERVICE_HTTP, 0, 0));
  if (!session) return nullptr;
  // Wine honours a time-out only when it is set on the session or request handle before the
  // request is sent; on the root handle, the only one InternetOpenUrlW would give us, it is
  // ignored. Hence the request is made in steps. Wine ignores the connect time-out altogether:
  // there a connect to a host that drops packets ends at the system's own limit.
  DWORD silence = static_cast<DWORD>(silence_.count());
  for (const DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                             INTERNET_OPTION_RECEIVE_TIMEOUT}) {
    InternetSetOptionW(session.get(), option, &silence, sizeof(silence));
  }
  // A stale cached copy of the manifest or a mod would defeat the whole check.
  const DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                      INTERNET_FLAG_PRAGMA_NOCACHE | (secure ? INTERNET_FLAG_SECURE : 0);
  const wchar_t* accept[] = {L"*/*", nullptr};
  ScopedInternet request(
      HttpOpenRequestW(session.get(), L"GET", object.c_str(), nullptr, nullptr, accept, flags, 0));
  if (!request) return nullptr;
  if (!HttpSendRequestW(request.get(), nullptr, 0, nullptr, 0)) return nullptr;
  return std::make_unique<WinInetResponse>(std::move(root), std::move(session), std::move(request));
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
