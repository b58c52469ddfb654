// UI driver for the end-to-end tests: a console program, run under Wine beside the program being
// tested, that reads one JSON command per line on stdin and answers each with one JSON line on
// stdout. One driver process serves a whole test, since starting a Wine process costs seconds.
//
// Request:  {"cmd":"find","parent":65636,"text":"OK","seq":7}
// Answer:   {"seq":7,"ok":true,"hwnd":65640}   or   {"seq":7,"ok":false,"error":"..."}
// "seq" is optional and echoed when given.
//
// Commands (fields in brackets are optional; timeouts poll every 20 ms, default 5000):
//   wait_window class|title [pid visible timeout_ms] -> hwnd     (top-level windows)
//   find parent [text id class index timeout_ms] -> hwnd         (all descendants)
//   text hwnd -> text;  set_text hwnd text
//   props hwnd -> class text id visible enabled rect client in_parent parent owner pid tid
//                 style exstyle                                  (rects are {x,y,w,h})
//   children hwnd [direct] -> children[];  windows [class pid] -> windows[]
//   click hwnd (posted BM_CLICK);  mouse hwnd kind(move|down|up|dblclk) [button] x y
//   real_mouse kind(move|down|up) x y [button]   (SendInput)
//   msgbox caption [pid timeout_ms] -> hwnd pid owner text buttons[]
//   press hwnd button(caption)
//   alpha hwnd -> layered alpha flags;  progress hwnd -> low high pos;  check hwnd -> check
//   listbox hwnd -> count selected items[{text data selected}];  foreground -> hwnd
//   wait_gone hwnd [timeout_ms];  sleep ms
//   process_alive pid -> alive exit_code;  quit
//   close hwnd (posted WM_CLOSE, as the taskbar's "Close window" asks)
//   answers hwnd [timeout_ms] -> answered ms   (a message sent with SendMessageTimeout)
//   trust_root der   (adds the certificate file to the machine's trusted roots, for a test CA)
// Window handles travel as plain integers. Texts are UTF-8 both ways.

// clang-format off
#include <windows.h>
#include <commctrl.h>
#include <wincrypt.h>
#include <fcntl.h>
#include <io.h>
// clang-format on

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// Ordered, so that an answer's fields come out in the order they were written.
using Json = nlohmann::ordered_json;
using Request = Json;

struct BadRequest : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Requests are flat objects: anything else, or a nested value, is refused before a command runs.
Request ParseRequest(const std::string& line) {
  size_t first = line.find_first_not_of(" \t\r");
  if (first == std::string::npos || line[first] != '{') throw BadRequest("expected '{'");
  Request req = Json::parse(line);
  for (const auto& value : req) {
    if (value.is_structured()) throw BadRequest("nested values are not accepted");
  }
  return req;
}

// ---- text conversion ----

std::wstring Widen(const std::string& s) {
  if (s.empty()) return {};
  int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
  std::wstring w(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
  return w;
}

std::string Narrow(const std::wstring& w) {
  if (w.empty()) return {};
  int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr,
                              nullptr);
  std::string s(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr,
                      nullptr);
  return s;
}

// Mnemonic ampersands ("&OK") are not part of what a player reads.
std::wstring StripMnemonic(const std::wstring& s) {
  std::wstring out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == L'&' && i + 1 < s.size()) ++i;  // "&&" keeps one '&', "&x" keeps the x
    out += s[i];
  }
  return out;
}

// ---- window helpers ----

constexpr UINT kSendTimeoutMs = 3000;

HWND ToHwnd(long long v) {
  return reinterpret_cast<HWND>(static_cast<intptr_t>(v));
}
long long FromHwnd(HWND h) {
  return static_cast<long long>(reinterpret_cast<intptr_t>(h));
}

// A blocking SendMessage would hang the driver (and the test) if the target stops pumping.
std::optional<LRESULT> Send(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(h, msg, wp, lp, SMTO_ABORTIFHUNG, kSendTimeoutMs, &result)) {
    return std::nullopt;
  }
  return static_cast<LRESULT>(result);
}

LRESULT SendOrThrow(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  auto r = Send(h, msg, wp, lp);
  if (!r) throw std::runtime_error("the window did not answer message " + std::to_string(msg));
  return *r;
}

std::wstring TextOf(HWND h) {
  auto len = Send(h, WM_GETTEXTLENGTH, 0, 0);
  if (!len) {
    wchar_t buf[512];
    int n = InternalGetWindowText(h, buf, 512);
    return std::wstring(buf, static_cast<size_t>(n > 0 ? n : 0));
  }
  std::wstring buf(static_cast<size_t>(*len) + 1, L'\0');
  auto got = Send(h, WM_GETTEXT, buf.size(), reinterpret_cast<LPARAM>(buf.data()));
  buf.resize(got ? static_cast<size_t>(*got) : 0);
  return buf;
}

// A top-level window's title as stored, without sending it a message: other programs' windows
// are enumerated too, and one that has stopped answering must not stall the search.
std::wstring TitleOf(HWND h) {
  wchar_t buf[1024];
  int n = InternalGetWindowText(h, buf, 1024);
  return std::wstring(buf, static_cast<size_t>(n > 0 ? n : 0));
}

std::wstring ClassOf(HWND h) {
  wchar_t buf[256];
  int n = GetClassNameW(h, buf, 256);
  return std::wstring(buf, static_cast<size_t>(n > 0 ? n : 0));
}

DWORD PidOf(HWND h) {
  DWORD pid = 0;
  GetWindowThreadProcessId(h, &pid);
  return pid;
}

bool SameText(const std::wstring& actual, const std::wstring& wanted) {
  return actual == wanted || StripMnemonic(actual) == StripMnemonic(wanted);
}

std::vector<HWND> TopLevelWindows() {
  std::vector<HWND> out;
  EnumWindows(
      [](HWND h, LPARAM lp) -> BOOL {
        reinterpret_cast<std::vector<HWND>*>(lp)->push_back(h);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&out));
  return out;
}

// All descendants, depth first, as EnumChildWindows walks them.
std::vector<HWND> Descendants(HWND parent) {
  std::vector<HWND> out;
  EnumChildWindows(
      parent,
      [](HWND h, LPARAM lp) -> BOOL {
        reinterpret_cast<std::vector<HWND>*>(lp)->push_back(h);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&out));
  return out;
}

HWND ParentOf(HWND h) {
  HWND p = GetAncestor(h, GA_PARENT);
  return p == GetDesktopWindow() ? nullptr : p;
}

// ---- request access ----

const Json* Find(const Request& r, const char* key) {
  auto it = r.find(key);
  return it == r.end() || it->is_null() ? nullptr : &*it;
}

long long Int(const Request& r, const char* key) {
  const Json* v = Find(r, key);
  if (!v || !v->is_number()) throw BadRequest(std::string("\"") + key + "\" must be a number");
  // A fraction is cut off.
  return v->is_number_float() ? static_cast<long long>(v->get<double>()) : v->get<long long>();
}

// Anything but true is false.
bool Flag(const Request& r, const char* key) {
  const Json* v = Find(r, key);
  return v && v->is_boolean() && v->get<bool>();
}

long long IntOr(const Request& r, const char* key, long long fallback) {
  return Find(r, key) ? Int(r, key) : fallback;
}

std::optional<std::wstring> TextArg(const Request& r, const char* key) {
  const Json* v = Find(r, key);
  if (!v) return std::nullopt;
  if (!v->is_string()) throw BadRequest(std::string("\"") + key + "\" must be a string");
  return Widen(v->get_ref<const std::string&>());
}

std::string StrOr(const Request& r, const char* key, const std::string& fallback) {
  const Json* v = Find(r, key);
  return v && v->is_string() ? v->get<std::string>() : fallback;
}

HWND WindowArg(const Request& r, const char* key = "hwnd") {
  HWND h = ToHwnd(Int(r, key));
  if (!IsWindow(h)) throw std::runtime_error(std::string("\"") + key + "\" is not a window");
  return h;
}

// Polls until `found` returns a window or the request's timeout passes.
HWND Poll(const Request& r, const std::function<HWND()>& found) {
  auto limit =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(IntOr(r, "timeout_ms", 5000));
  for (;;) {
    if (HWND h = found()) return h;
    if (std::chrono::steady_clock::now() >= limit) return nullptr;
    Sleep(20);
  }
}

Json RectJson(const RECT& rc) {
  return {{"x", rc.left}, {"y", rc.top}, {"w", rc.right - rc.left}, {"h", rc.bottom - rc.top}};
}

RECT RectInParent(HWND h) {
  RECT rc{};
  GetWindowRect(h, &rc);
  if (HWND parent = ParentOf(h)) {
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rc), 2);
  }
  return rc;
}

// ---- commands ----

Json CmdWaitWindow(const Request& r) {
  auto cls = TextArg(r, "class");
  auto title = TextArg(r, "title");
  long long pid = IntOr(r, "pid", 0);
  bool must_be_visible = Flag(r, "visible");
  if (!cls && !title) throw BadRequest("wait_window needs \"class\" or \"title\"");
  HWND h = Poll(r, [&]() -> HWND {
    for (HWND w : TopLevelWindows()) {
      if (cls && ClassOf(w) != *cls) continue;
      if (title && !SameText(TitleOf(w), *title)) continue;
      if (pid && PidOf(w) != static_cast<DWORD>(pid)) continue;
      if (must_be_visible && !IsWindowVisible(w)) continue;
      return w;
    }
    return nullptr;
  });
  if (!h) throw std::runtime_error("no such window appeared in time");
  return {{"hwnd", FromHwnd(h)}};
}

Json CmdFind(const Request& r) {
  HWND parent = WindowArg(r, "parent");
  auto text = TextArg(r, "text");
  auto cls = TextArg(r, "class");
  bool by_id = Find(r, "id") != nullptr;
  long long id = IntOr(r, "id", 0);
  long long index = IntOr(r, "index", 0);
  HWND h = Poll(r, [&]() -> HWND {
    long long seen = 0;
    for (HWND c : Descendants(parent)) {
      if (cls && ClassOf(c) != *cls) continue;
      if (by_id && GetDlgCtrlID(c) != id) continue;
      if (text && !SameText(TextOf(c), *text)) continue;
      if (seen++ == index) return c;
    }
    return nullptr;
  });
  if (!h) throw std::runtime_error("no such control");
  return {{"hwnd", FromHwnd(h)}};
}

Json CmdText(const Request& r) {
  return {{"text", Narrow(TextOf(WindowArg(r)))}};
}

Json CmdSetText(const Request& r) {
  HWND h = WindowArg(r);
  std::wstring text = TextArg(r, "text").value_or(L"");
  SendOrThrow(h, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
  return Json::object();
}

Json CmdProps(const Request& r) {
  HWND h = WindowArg(r);
  RECT window{}, client{};
  GetWindowRect(h, &window);
  GetClientRect(h, &client);
  MapWindowPoints(h, nullptr, reinterpret_cast<POINT*>(&client), 2);
  DWORD tid = 0, pid = 0;
  tid = GetWindowThreadProcessId(h, &pid);
  Json w;
  w["class"] = Narrow(ClassOf(h));
  w["text"] = Narrow(TextOf(h));
  w["id"] = GetDlgCtrlID(h);
  w["visible"] = IsWindowVisible(h) != FALSE;
  w["enabled"] = IsWindowEnabled(h) != FALSE;
  w["rect"] = RectJson(window);
  w["client"] = RectJson(client);
  w["in_parent"] = RectJson(RectInParent(h));
  w["parent"] = FromHwnd(ParentOf(h));
  w["owner"] = FromHwnd(GetWindow(h, GW_OWNER));
  w["pid"] = pid;
  w["tid"] = tid;
  w["style"] = static_cast<DWORD>(GetWindowLongW(h, GWL_STYLE));
  w["exstyle"] = static_cast<DWORD>(GetWindowLongW(h, GWL_EXSTYLE));
  return w;
}

Json WindowEntry(HWND c) {
  Json w;
  w["hwnd"] = FromHwnd(c);
  w["parent"] = FromHwnd(ParentOf(c));
  w["class"] = Narrow(ClassOf(c));
  w["text"] = Narrow(TextOf(c));
  w["id"] = GetDlgCtrlID(c);
  w["visible"] = IsWindowVisible(c) != FALSE;
  w["rect"] = RectJson(RectInParent(c));
  return w;
}

Json CmdChildren(const Request& r) {
  HWND h = WindowArg(r);
  bool direct = Flag(r, "direct");
  Json children = Json::array();
  for (HWND c : Descendants(h)) {
    if (direct && ParentOf(c) != h) continue;
    children.push_back(WindowEntry(c));
  }
  return {{"children", children}};
}

Json CmdWindows(const Request& r) {
  auto cls = TextArg(r, "class");
  long long pid = IntOr(r, "pid", 0);
  Json windows = Json::array();
  for (HWND h : TopLevelWindows()) {
    if (cls && ClassOf(h) != *cls) continue;
    if (pid && PidOf(h) != static_cast<DWORD>(pid)) continue;
    windows.push_back(WindowEntry(h));
  }
  return {{"windows", windows}};
}

Json CmdClick(const Request& r) {
  if (!PostMessageW(WindowArg(r), BM_CLICK, 0, 0)) throw std::runtime_error("PostMessage failed");
  return Json::object();
}

Json CmdMouse(const Request& r) {
  HWND h = WindowArg(r);
  std::string kind = StrOr(r, "kind", "");
  std::string button = StrOr(r, "button", "left");
  bool right = button == "right";
  if (button != "left" && button != "right") throw BadRequest("button is left or right");
  WPARAM held = right ? MK_RBUTTON : MK_LBUTTON;
  UINT msg = 0;
  WPARAM wp = 0;
  if (kind == "move") {
    msg = WM_MOUSEMOVE;
    wp = Find(r, "button") ? held : 0;  // a move with a button named is a drag
  } else if (kind == "down") {
    msg = right ? WM_RBUTTONDOWN : WM_LBUTTONDOWN;
    wp = held;
  } else if (kind == "up") {
    msg = right ? WM_RBUTTONUP : WM_LBUTTONUP;
  } else if (kind == "dblclk") {
    msg = right ? WM_RBUTTONDBLCLK : WM_LBUTTONDBLCLK;
    wp = held;
  } else {
    throw BadRequest("kind is move, down, up or dblclk");
  }
  LPARAM lp = MAKELPARAM(static_cast<int>(Int(r, "x")), static_cast<int>(Int(r, "y")));
  if (!PostMessageW(h, msg, wp, lp)) throw std::runtime_error("PostMessage failed");
  return Json::object();
}

Json CmdRealMouse(const Request& r) {
  std::string button = StrOr(r, "button", "left");
  bool right = button == "right";
  std::string kind = StrOr(r, "kind", "");
  int x = static_cast<int>(Int(r, "x")), y = static_cast<int>(Int(r, "y"));
  int cx = GetSystemMetrics(SM_CXSCREEN), cy = GetSystemMetrics(SM_CYSCREEN);
  std::vector<INPUT> inputs;
  auto add = [&](DWORD flags) {
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dx = MulDiv(x, 65535, cx > 1 ? cx - 1 : 1);
    in.mi.dy = MulDiv(y, 65535, cy > 1 ? cy - 1 : 1);
    in.mi.dwFlags = flags | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE;
    inputs.push_back(in);
  };
  DWORD down = right ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN;
  DWORD up = right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP;
  if (kind == "move") {
    add(0);
  } else if (kind == "down") {
    add(down);
  } else if (kind == "up") {
    add(up);
  } else {
    throw BadRequest("kind is move, down or up");
  }
  UINT sent = SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
  if (sent != inputs.size()) throw std::runtime_error("SendInput refused the input");
  POINT at{};
  GetCursorPos(&at);
  return {{"cursor_x", at.x}, {"cursor_y", at.y}};
}

HWND FindBox(const std::wstring& caption, long long pid) {
  for (HWND w : TopLevelWindows()) {
    if (ClassOf(w) != L"#32770" || !IsWindowVisible(w)) continue;
    if (TitleOf(w) != caption) continue;
    if (pid && PidOf(w) != static_cast<DWORD>(pid)) continue;
    return w;
  }
  return nullptr;
}

Json CmdMsgBox(const Request& r) {
  auto caption = TextArg(r, "caption");
  if (!caption) throw BadRequest("msgbox needs \"caption\"");
  long long pid = IntOr(r, "pid", 0);
  HWND box = Poll(r, [&] { return FindBox(*caption, pid); });
  if (!box) throw std::runtime_error("no message box with that caption appeared in time");
  HWND text = GetDlgItem(box, 0xFFFF);
  Json buttons = Json::array();
  for (HWND c : Descendants(box)) {
    if (ClassOf(c) == L"Button" && IsWindowVisible(c)) {
      buttons.push_back(Narrow(StripMnemonic(TextOf(c))));
    }
  }
  return {{"hwnd", FromHwnd(box)},
          {"pid", PidOf(box)},
          {"owner", FromHwnd(GetWindow(box, GW_OWNER))},
          {"text", text ? Narrow(TextOf(text)) : std::string()},
          {"buttons", buttons}};
}

Json CmdPress(const Request& r) {
  HWND box = WindowArg(r);
  auto caption = TextArg(r, "button");
  if (!caption) throw BadRequest("press needs \"button\"");
  for (HWND c : Descendants(box)) {
    if (ClassOf(c) != L"Button" || !SameText(TextOf(c), *caption)) continue;
    // Posted: a SendMessage would not return until the box has closed.
    if (!PostMessageW(c, BM_CLICK, 0, 0)) throw std::runtime_error("PostMessage failed");
    return {{"button", FromHwnd(c)}};
  }
  throw std::runtime_error("the box has no such button");
}

Json CmdAlpha(const Request& r) {
  HWND h = WindowArg(r);
  bool layered = (GetWindowLongW(h, GWL_EXSTYLE) & WS_EX_LAYERED) != 0;
  COLORREF key = 0;
  BYTE alpha = 255;
  DWORD flags = 0;
  if (layered && GetLayeredWindowAttributes(h, &key, &alpha, &flags)) {
    return {{"layered", true}, {"alpha", (flags & LWA_ALPHA) ? alpha : 255}, {"flags", flags}};
  }
  return {{"layered", layered}, {"alpha", 255}, {"flags", 0}};
}

Json CmdProgress(const Request& r) {
  HWND h = WindowArg(r);
  // lParam stays null: a pointer into this process would mean nothing to the target.
  LRESULT low = SendOrThrow(h, PBM_GETRANGE, TRUE, 0);
  LRESULT high = SendOrThrow(h, PBM_GETRANGE, FALSE, 0);
  LRESULT pos = SendOrThrow(h, PBM_GETPOS, 0, 0);
  return {{"low", low}, {"high", high}, {"pos", pos}};
}

Json CmdListBox(const Request& r) {
  HWND h = WindowArg(r);
  LRESULT count = SendOrThrow(h, LB_GETCOUNT, 0, 0);
  if (count < 0) throw std::runtime_error("not a list box");
  LRESULT selected = SendOrThrow(h, LB_GETCURSEL, 0, 0);
  Json items = Json::array();
  for (LRESULT i = 0; i < count; ++i) {
    auto index = static_cast<WPARAM>(i);
    LRESULT len = SendOrThrow(h, LB_GETTEXTLEN, index, 0);
    std::wstring text(static_cast<size_t>(len > 0 ? len : 0) + 1, L'\0');
    LRESULT got = SendOrThrow(h, LB_GETTEXT, index, reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(got > 0 ? got : 0));
    items.push_back({{"text", Narrow(text)},
                     {"data", SendOrThrow(h, LB_GETITEMDATA, index, 0)},
                     {"selected", SendOrThrow(h, LB_GETSEL, index, 0) > 0}});
  }
  return {{"count", count}, {"selected", selected}, {"items", items}};
}

Json CmdCheck(const Request& r) {
  return {{"check", SendOrThrow(WindowArg(r), BM_GETCHECK, 0, 0)}};
}

Json CmdForeground(const Request&) {
  return {{"hwnd", FromHwnd(GetForegroundWindow())}};
}

Json CmdWaitGone(const Request& r) {
  HWND h = ToHwnd(Int(r, "hwnd"));
  HWND still = Poll(r, [&]() -> HWND { return IsWindow(h) ? nullptr : GetDesktopWindow(); });
  if (!still) throw std::runtime_error("the window is still there");
  return Json::object();
}

Json CmdSleep(const Request& r) {
  Sleep(static_cast<DWORD>(IntOr(r, "ms", 0)));
  return Json::object();
}

Json CmdProcessAlive(const Request& r) {
  auto pid = static_cast<DWORD>(Int(r, "pid"));
  HANDLE p = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, pid);
  if (!p) return {{"alive", false}, {"exit_code", nullptr}};
  DWORD code = 0;
  BOOL got = GetExitCodeProcess(p, &code);
  bool alive = WaitForSingleObject(p, 0) == WAIT_TIMEOUT;
  CloseHandle(p);
  Json exit_code = nullptr;
  if (!alive && got) exit_code = code;
  return {{"alive", alive}, {"exit_code", exit_code}};
}

Json CmdClose(const Request& r) {
  if (!PostMessageW(WindowArg(r), WM_CLOSE, 0, 0)) throw std::runtime_error("PostMessage failed");
  return Json::object();
}

// Whether the window's thread takes a message within the time, and how long it took.
Json CmdAnswers(const Request& r) {
  const HWND h = WindowArg(r);
  const auto timeout = static_cast<UINT>(IntOr(r, "timeout_ms", 5000));
  const auto start = std::chrono::steady_clock::now();
  DWORD_PTR result = 0;
  const bool answered =
      SendMessageTimeoutW(h, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, timeout, &result) != 0;
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::steady_clock::now() - start)
                      .count();
  return {{"answered", answered}, {"ms", ms}};
}

Json CmdTrustRoot(const Request& r) {
  auto path = TextArg(r, "der");
  if (!path) throw BadRequest("trust_root needs \"der\"");
  HANDLE file =
      CreateFileW(path->c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot open the certificate");
  std::vector<BYTE> der(64 * 1024);
  DWORD size = 0;
  const BOOL read = ReadFile(file, der.data(), static_cast<DWORD>(der.size()), &size, nullptr);
  CloseHandle(file);
  if (!read || size == 0) throw std::runtime_error("cannot read the certificate");
  HCERTSTORE store =
      CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root");
  if (!store) throw std::runtime_error("cannot open the trusted roots");
  const BOOL added = CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, der.data(), size,
                                                      CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
  CertCloseStore(store, 0);
  if (!added) throw std::runtime_error("the certificate was not added");
  return Json::object();
}

using Handler = std::function<Json(const Request&)>;

const std::map<std::string, Handler>& Commands() {
  static const std::map<std::string, Handler> table = {
      {"wait_window", CmdWaitWindow},
      {"find", CmdFind},
      {"text", CmdText},
      {"set_text", CmdSetText},
      {"props", CmdProps},
      {"children", CmdChildren},
      {"windows", CmdWindows},
      {"click", CmdClick},
      {"mouse", CmdMouse},
      {"real_mouse", CmdRealMouse},
      {"msgbox", CmdMsgBox},
      {"press", CmdPress},
      {"alpha", CmdAlpha},
      {"progress", CmdProgress},
      {"listbox", CmdListBox},
      {"check", CmdCheck},
      {"foreground", CmdForeground},
      {"wait_gone", CmdWaitGone},
      {"sleep", CmdSleep},
      {"process_alive", CmdProcessAlive},
      {"close", CmdClose},
      {"answers", CmdAnswers},
      {"trust_root", CmdTrustRoot},
  };
  return table;
}

// One line: "seq" first when the request had one, then "ok", then the command's fields. A test
// that gave up waiting for an answer must not read it as the answer to its next command: the
// request's "seq" comes back so that the late one can be told apart. A text that is not UTF-8
// goes out with U+FFFD in place of its bad bytes rather than ending the driver.
void Answer(std::optional<long long> seq, bool ok, const Json& fields) {
  Json answer = Json::object();
  if (seq) answer["seq"] = *seq;
  answer["ok"] = ok;
  answer.update(fields);
  std::string line = answer.dump(-1, ' ', false, Json::error_handler_t::replace) + '\n';
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fflush(stdout);
}

}  // namespace

int main() {
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
  Answer(std::nullopt, true, {{"ready", true}, {"pid", GetCurrentProcessId()}});
  std::string line;
  for (;;) {
    line.clear();
    int c;
    while ((c = std::fgetc(stdin)) != EOF && c != '\n') line += static_cast<char>(c);
    if (c == EOF && line.empty()) return 0;
    if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
    std::optional<long long> seq;
    try {
      Request req = ParseRequest(line);
      if (const Json* tag = Find(req, "seq"); tag && tag->is_number()) seq = Int(req, "seq");
      const Json* cmd = Find(req, "cmd");
      if (!cmd || !cmd->is_string()) throw BadRequest("\"cmd\" is missing");
      const auto& name = cmd->get_ref<const std::string&>();
      if (name == "quit") {
        Answer(seq, true, Json::object());
        return 0;
      }
      auto it = Commands().find(name);
      if (it == Commands().end()) throw BadRequest("unknown command " + name);
      Answer(seq, true, it->second(req));
    } catch (const std::exception& e) {
      Answer(seq, false, {{"error", e.what()}});
    }
  }
}
