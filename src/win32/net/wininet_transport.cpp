#include "net/wininet_transport.h"

// clang-format off
#include <windows.h>
#include <wininet.h>
// clang-format on

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "base/ascii.h"
#include "base/scoped.h"
#include "base/wide.h"
#include "net/transfer.h"

namespace veltrane::win32 {
namespace {

using Clock = std::chrono::steady_clock;

// Wine's WinInet never reports more available than its own buffer holds, however much the
// socket has: an answer of this much means "flowing", and a read may then ask for more.
constexpr DWORD kBufferedAtMost = 8192;
// How often a waiting caller looks at its cancel.
constexpr std::chrono::milliseconds kLook{50};
// A read that has waited this long returns kWaiting.
constexpr std::chrono::seconds kWaitingAfter{1};
// The rest of a body that is dropped unread is read out (so that the connection can serve the
// next request) only when it is known to be this small and comes within the time given.
constexpr std::int64_t kDrainAtMost = 64 * 1024;
constexpr std::chrono::seconds kDrainTime{5};

std::vector<std::pair<std::string, std::string>> ParseHeaders(const std::wstring& raw) {
  std::vector<std::pair<std::string, std::string>> headers;
  const std::string text = Narrow(raw);
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find("\r\n", start);
    if (end == std::string::npos) end = text.size();
    const std::string_view line(text.data() + start, end - start);
    const auto colon = line.find(':');
    if (colon != std::string_view::npos) {
      std::string_view value = line.substr(colon + 1);
      while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) {
        value.remove_prefix(1);
      }
      while (!value.empty() && (value.back() == ' ' || value.back() == '\t'))
        value.remove_suffix(1);
      headers.emplace_back(std::string(line.substr(0, colon)), std::string(value));
    }
    start = end + 2;
  }
  return headers;
}

std::wstring RawHeaders(HINTERNET request) {
  std::wstring text(2048, L'\0');
  DWORD size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
  if (!HttpQueryInfoW(request, HTTP_QUERY_RAW_HEADERS_CRLF, text.data(), &size, nullptr)) {
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return {};
    text.assign(size / sizeof(wchar_t) + 1, L'\0');
    size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    if (!HttpQueryInfoW(request, HTTP_QUERY_RAW_HEADERS_CRLF, text.data(), &size, nullptr)) {
      return {};
    }
  }
  text.resize(size / sizeof(wchar_t));
  return text;
}

// What one request's own thread and its caller share. Every WinInet call of the request runs on
// that thread, so that a caller never waits inside WinInet: a cancel, or a caller that stops
// reading, is free at once, whatever the server does. The thread ends after the call it is in.
struct Exchange {
  std::mutex mutex;
  std::condition_variable changed;

  // The caller's side.
  bool abandoned = false;  // the caller has gone
  std::size_t wanted = 0;  // a read asked for and not yet answered

  // The thread's side.
  bool opened = false;  // HttpSendRequest has returned
  bool answered = false;
  int status = 0;
  std::vector<std::pair<std::string, std::string>> headers;
  std::vector<char> data;  // what the last read gave, not yet taken
  std::size_t taken = 0;
  bool finished = false;  // the body ended, or reading it failed
  bool failed = false;
};

struct Target {
  std::wstring host;
  INTERNET_PORT port = 0;
  std::wstring object;
  bool secure = false;
};

std::int64_t StatedLength(const Exchange& x) {
  for (const auto& [name, value] : x.headers) {
    if (AsciiEqualNoCase(name, "Content-Length")) return net::ParseContentLength(value);
  }
  return -1;
}

// The request's thread: sends it, then serves the caller's reads one at a time.
void Serve(const std::shared_ptr<Exchange>& x, const Target& target, const std::wstring& agent,
           bool has_agent, const std::wstring& extra_headers, DWORD silence) {
  ScopedInternet root(InternetOpenW(has_agent ? agent.c_str() : nullptr,
                                    INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  ScopedInternet session;
  ScopedInternet request;
  if (root) {
    session.reset(InternetConnectW(root.get(), target.host.c_str(), target.port, nullptr, nullptr,
                                   INTERNET_SERVICE_HTTP, 0, 0));
  }
  if (session) {
    // Wine honours a time-out only when it is set on the session or request handle before the
    // request is sent; on the root handle, the only one InternetOpenUrlW would give us, it is
    // ignored. Hence the request is made in steps. Wine ignores the connect time-out
    // altogether: there a connect to a host that drops packets ends at the system's own limit.
    for (const DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                               INTERNET_OPTION_RECEIVE_TIMEOUT}) {
      InternetSetOptionW(session.get(), option, &silence, sizeof(silence));
    }
    // A stale cached copy of the manifest or a mod would defeat the whole check.
    const DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                        INTERNET_FLAG_PRAGMA_NOCACHE | (target.secure ? INTERNET_FLAG_SECURE : 0);
    const wchar_t* accept[] = {L"*/*", nullptr};
    request.reset(HttpOpenRequestW(session.get(), L"GET", target.object.c_str(), nullptr, nullptr,
                                   accept, flags, 0));
  }
  const bool sent =
      request &&
      HttpSendRequestW(request.get(), extra_headers.empty() ? nullptr : extra_headers.c_str(),
                       static_cast<DWORD>(extra_headers.size()), nullptr, 0);
  {
    const std::lock_guard<std::mutex> lock(x->mutex);
    x->opened = true;
    x->answered = sent;
    if (sent) {
      DWORD status = 0;
      DWORD size = sizeof(status);
      if (HttpQueryInfoW(request.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status,
                         &size, nullptr)) {
        x->status = static_cast<int>(status);
      }
      x->headers = ParseHeaders(RawHeaders(request.get()));
    }
  }
  x->changed.notify_all();
  if (!sent) return;

  std::vector<char> buffer;
  std::int64_t body_read = 0;
  for (;;) {
    std::size_t wanted = 0;
    {
      std::unique_lock<std::mutex> lock(x->mutex);
      x->changed.wait(lock, [&] { return x->abandoned || x->wanted > 0; });
      if (x->abandoned) break;
      wanted = x->wanted;
    }
    DWORD available = 0;
    DWORD got = 0;
    bool ok = InternetQueryDataAvailable(request.get(), &available, 0, 0) != FALSE;
    if (ok && available > 0) {
      // Only what is there already, unless it flows: a read waits until it has all it asked
      // for, and on a line that trickles that would be for ever.
      const std::size_t asked =
          available >= kBufferedAtMost ? wanted : std::min<std::size_t>(available, wanted);
      buffer.resize(asked);
      ok = InternetReadFile(request.get(), buffer.data(), static_cast<DWORD>(asked), &got) != FALSE;
    }
    {
      const std::lock_guard<std::mutex> lock(x->mutex);
      x->wanted = 0;
      x->data.assign(buffer.data(), buffer.data() + (ok ? got : 0));
      x->taken = 0;
      x->finished = !ok || got == 0;
      x->failed = !ok;
    }
    x->changed.notify_all();
    body_read += got;
    if (!ok || got == 0) return;  // the connection is done with: closing it reads nothing
  }
  // The caller stopped before the body's end. Closing the request now would read the rest of it
  // to keep the connection, without end for a server that sends without end; so the rest is
  // read only when it is known to be small, and otherwise the handles are left open.
  const std::int64_t length = StatedLength(*x);
  if (length >= 0 && length - body_read <= kDrainAtMost) {
    const auto until = Clock::now() + kDrainTime;
    std::vector<char> rest(static_cast<std::size_t>(kDrainAtMost));
    for (;;) {
      DWORD available = 0;
      DWORD got = 0;
      if (Clock::now() > until || !InternetQueryDataAvailable(request.get(), &available, 0, 0)) {
        break;
      }
      if (available == 0) return;  // all read: the handles close as usual
      if (!InternetReadFile(request.get(), rest.data(),
                            std::min<DWORD>(available, static_cast<DWORD>(rest.size())), &got) ||
          got == 0) {
        return;
      }
    }
  }
  (void)request.release();
  (void)session.release();
  (void)root.release();
}

class WinInetResponse : public net::Response {
 public:
  WinInetResponse(std::shared_ptr<Exchange> exchange, const net::Cancel* cancel)
      : x_(std::move(exchange)), cancel_(cancel) {}
  ~WinInetResponse() override {
    {
      const std::lock_guard<std::mutex> lock(x_->mutex);
      x_->abandoned = true;
    }
    x_->changed.notify_all();
  }
  WinInetResponse(const WinInetResponse&) = delete;
  WinInetResponse& operator=(const WinInetResponse&) = delete;

  int Status() const override {
    const std::lock_guard<std::mutex> lock(x_->mutex);
    return x_->status;
  }

  std::optional<std::string> Header(std::string_view name) const override {
    const std::lock_guard<std::mutex> lock(x_->mutex);
    for (const auto& [key, value] : x_->headers) {
      if (AsciiEqualNoCase(key, name)) return value;
    }
    return std::nullopt;
  }

  std::int64_t Read(char* buffer, std::size_t size) override {
    if (size == 0) return 0;
    const auto started = Clock::now();
    std::unique_lock<std::mutex> lock(x_->mutex);
    if (x_->taken == x_->data.size() && !x_->finished && x_->wanted == 0) {
      x_->wanted = std::min<std::size_t>(size, 0x7FFFFFFF);
      x_->changed.notify_all();
    }
    for (;;) {
      if (x_->taken < x_->data.size()) {
        const std::size_t count = std::min(size, x_->data.size() - x_->taken);
        std::memcpy(buffer, x_->data.data() + x_->taken, count);
        x_->taken += count;
        return static_cast<std::int64_t>(count);
      }
      if (x_->finished) return x_->failed ? kFailed : 0;
      if (cancel_ && cancel_->Triggered()) return kFailed;
      if (Clock::now() - started >= kWaitingAfter) return kWaiting;
      x_->changed.wait_for(lock, kLook);
    }
  }

 private:
  std::shared_ptr<Exchange> x_;
  const net::Cancel* cancel_;
};

}  // namespace

std::unique_ptr<net::Response> WinInetTransport::Open(const net::Request& request) {
  const std::wstring wide_url = Widen(request.url);
  URL_COMPONENTSW parts{};
  parts.dwStructSize = sizeof(parts);
  // Non-zero lengths without buffers: the parts are pointed out inside wide_url.
  parts.dwHostNameLength = parts.dwUrlPathLength = parts.dwExtraInfoLength = 1;
  if (!InternetCrackUrlW(wide_url.c_str(), 0, 0, &parts)) return nullptr;
  Target target;
  target.secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
  if (!target.secure && parts.nScheme != INTERNET_SCHEME_HTTP) return nullptr;
  target.host.assign(parts.lpszHostName, parts.dwHostNameLength);
  target.port = parts.nPort;
  target.object = std::wstring(parts.lpszUrlPath, parts.dwUrlPathLength) +
                  std::wstring(parts.lpszExtraInfo, parts.dwExtraInfoLength);
  std::wstring headers;
  for (const auto& [name, value] : request.headers) headers += Widen(name + ": " + value + "\r\n");

  auto exchange = std::make_shared<Exchange>();
  const std::wstring agent = request.agent ? Widen(*request.agent) : std::wstring();
  const bool has_agent = request.agent.has_value();
  const auto silence = static_cast<DWORD>(silence_.count());
  try {
    std::thread([exchange, target, agent, has_agent, headers, silence] {
      try {
        Serve(exchange, target, agent, has_agent, headers, silence);
      } catch (...) {
        // Nothing to report to: the caller sees a request that failed.
        const std::lock_guard<std::mutex> lock(exchange->mutex);
        exchange->opened = exchange->finished = exchange->failed = true;
        exchange->changed.notify_all();
      }
    }).detach();
  } catch (const std::system_error&) {
    return nullptr;
  }
  auto response = std::make_unique<WinInetResponse>(exchange, request.cancel);
  std::unique_lock<std::mutex> lock(exchange->mutex);
  while (!exchange->opened) {
    if (request.cancel && request.cancel->Triggered()) return nullptr;
    exchange->changed.wait_for(lock, kLook);
  }
  if (!exchange->answered) return nullptr;
  lock.unlock();
  return response;
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
