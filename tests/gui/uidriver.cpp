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
//   key hwnd vk [kind(press|down|up)];  type hwnd text (posted WM_CHAR)
//   real_mouse kind(move|down|up) x y [button];  real_click x y [button]   (SendInput)
//   msgbox caption [pid timeout_ms] -> hwnd pid owner text buttons[]
//   press hwnd button(caption)
//   alpha hwnd -> layered alpha flags;  progress hwnd -> low high pos;  check hwnd -> check
//   listbox hwnd -> count selected items[{text data selected}];  combo hwnd -> count selected
//   items[];  foreground -> hwnd;  wait_gone hwnd [timeout_ms];  sleep ms
//   process_alive pid -> alive exit_code;  quit
// Window handles travel as plain integers. Texts are UTF-8 both ways.

// clang-format off
#include <windows.h>
#include <commctrl.h>
#include <fcntl.h>
#include <io.h>
// clang-format on

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/utf8.h"

namespace {

using veltrane::AppendUtf8;

// ---- JSON: flat objects in, arbitrary documents out ----

struct Value {
  enum class Kind { kNull, kBool, kNumber, kString } kind = Kind::kNull;
  bool boolean = false;
  long long number = 0;
  std::string text;
};

using Request = std::map<std::string, Value>;

struct BadRequest : std::runtime_error {
  using std::runtime_error::runtime_error;
};

class Parser {
 public:
  explicit Parser(const std::string& s) : s_(s) {}

  Request ParseObject() {
    Request req;
    Skip();
    Expect('{');
    Skip();
    if (Peek() == '}') {
      ++i_;
    } else {
      for (;;) {
        Skip();
        std::string key = ParseString();
        Skip();
        Expect(':');
        Skip();
        req[key] = ParseValue();
        Skip();
        if (Peek() == ',') {
          ++i_;
          continue;
        }
        Expect('}');
        break;
      }
    }
    Skip();
    if (i_ != s_.size()) throw BadRequest("trailing characters after the object");
    return req;
  }

 private:
  char Peek() const { return i_ < s_.size() ? s_[i_] : '\0'; }
  void Skip() {
    while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\t' || s_[i_] == '\r')) ++i_;
  }
  void Expect(char c) {
    if (Peek() != c) throw BadRequest(std::string("expected '") + c + "'");
    ++i_;
  }
  bool Literal(const char* word) {
    std::string w(word);
    if (s_.compare(i_, w.size(), w) != 0) return false;
    i_ += w.size();
    return true;
  }

  unsigned Hex4() {
    if (i_ + 4 > s_.size()) throw BadRequest("short \\u escape");
    unsigned v = 0;
    for (int k = 0; k < 4; ++k) {
      char c = s_[i_++];
      v <<= 4;
      if (c >= '0' && c <= '9') {
        v |= static_cast<unsigned>(c - '0');
      } else if (c >= 'a' && c <= 'f') {
        v |= static_cast<unsigned>(c - 'a' + 10);
      } else if (c >= 'A' && c <= 'F') {
        v |= static_cast<unsigned>(c - 'A' + 10);
      } else {
        throw BadRequest("bad \\u escape");
      }
    }
    return v;
  }

  std::string ParseString() {
    Expect('"');
    std::string out;
    for (;;) {
      if (i_ >= s_.size()) throw BadRequest("unterminated string");
      char c = s_[i_++];
      if (c == '"') return out;
      if (c != '\\') {
        out += c;
        continue;
      }
      char e = Peek();
      ++i_;
      switch (e) {
        case '"':
          out += '"';
          break;
        case '\\':
          out += '\\';
          break;
        case '/':
          out += '/';
          break;
        case 'b':
          out += '\b';
          break;
        case 'f':
          out += '\f';
          break;
        case 'n':
          out += '\n';
          break;
        case 'r':
          out += '\r';
          break;
        case 't':
          out += '\t';
          break;
        case 'u': {
          unsigned cp = Hex4();
          if (cp >= 0xD800 && cp < 0xDC00 && Literal("\\u")) {
            unsigned lo = Hex4();
            if (lo < 0xDC00 || lo >= 0xE000) throw BadRequest("unpaired surrogate");
            cp = 0x10000 + ((cp - 0xD800) << 10) + (lo - 0xDC00);
          }
          AppendUtf8(out, cp);
          break;
        }
        default:
          throw BadRequest("bad escape");
      }
    }
  }

  Value ParseValue() {
    Value v;
    char c = Peek();
    if (c == '"') {
      v.kind = Value::Kind::kString;
      v.text = ParseString();
    } else if (Literal("true")) {
      v.kind = Value::Kind::kBool;
      v.boolean = true;
    } else if (Literal("false")) {
      v.kind = Value::Kind::kBool;
    } else if (Literal("null")) {
      v.kind = Value::Kind::kNull;
    } else if (c == '-' || (c >= '0' && c <= '9')) {
      const char* begin = s_.c_str() + i_;
      char* end = nullptr;
      double d = std::strtod(begin, &end);
      if (end == begin) throw BadRequest("bad number");
      i_ += static_cast<size_t>(end - begin);
      v.kind = Value::Kind::kNumber;
      v.number = static_cast<long long>(d);
    } else {
      throw BadRequest("nested values are not accepted");
    }
    return v;
  }

  const std::string& s_;
  size_t i_ = 0;
};

// Builds one answer line. Commas are tracked per nesting level.
class Writer {
 public:
  Writer() {
    out_ = "{\"ok\":true";
    first_.push_back(false);
  }

  Writer& Key(const char* k) {
    Comma();
    Str(k);
    out_ += ':';
    pending_value_ = true;
    return *this;
  }
  Writer& Int(long long v) { return Raw(std::to_string(v)); }
  Writer& Bool(bool v) { return Raw(v ? "true" : "false"); }
  Writer& Null() { return Raw("null"); }
  Writer& Text(const std::string& v) {
    BeforeValue();
    Str(v);
    return *this;
  }
  Writer& BeginObject() { return Open('{'); }
  Writer& EndObject() { return Close('}'); }
  Writer& BeginArray() { return Open('['); }
  Writer& EndArray() { return Close(']'); }

  std::string Finish() { return out_ + "}"; }

 private:
  void Comma() {
    if (!first_.back()) out_ += ',';
    first_.back() = false;
  }
  void BeforeValue() {
    if (pending_value_) {
      pending_value_ = false;
    } else {
      Comma();
    }
  }
  Writer& Raw(const std::string& s) {
    BeforeValue();
    out_ += s;
    return *this;
  }
  Writer& Open(char c) {
    BeforeValue();
    out_ += c;
    first_.push_back(true);
    return *this;
  }
  Writer& Close(char c) {
    out_ += c;
    first_.pop_back();
    return *this;
  }
  void Str(const std::string& s) {
    out_ += '"';
    for (unsigned char c : s) {
      if (c == '"' || c == '\\') {
        out_ += '\\';
        out_ += static_cast<char>(c);
      } else if (c < 0x20) {
        char buf[8];
        std::snprintf(buf, sizeof buf, "\\u%04x", c);
        out_ += buf;
      } else {
        out_ += static_cast<char>(c);
      }
    }
    out_ += '"';
  }

  std::string out_;
  std::vector<bool> first_;
  bool pending_value_ = false;
};

std::string ErrorLine(const std::string& message) {
  std::string line = "{\"ok\":false,\"error\":";
  // Reuse the writer's escaping by building a throwaway document.
  std::string doc = Writer().Key("e").Text(message).Finish();
  line += doc.substr(doc.find("\"e\":") + 4);
  return line;
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

const Value* Find(const Request& r, const char* key) {
  auto it = r.find(key);
  return it == r.end() || it->second.kind == Value::Kind::kNull ? nullptr : &it->second;
}

long long Int(const Request& r, const char* key) {
  const Value* v = Find(r, key);
  if (!v || v->kind != Value::Kind::kNumber) {
    throw BadRequest(std::string("\"") + key + "\" must be a number");
  }
  return v->number;
}

long long IntOr(const Request& r, const char* key, long long fallback) {
  return Find(r, key) ? Int(r, key) : fallback;
}

std::optional<std::wstring> TextArg(const Request& r, const char* key) {
  const Value* v = Find(r, key);
  if (!v) return std::nullopt;
  if (v->kind != Value::Kind::kString) {
    throw BadRequest(std::string("\"") + key + "\" must be a string");
  }
  return Widen(v->text);
}

std::string StrOr(const Request& r, const char* key, const std::string& fallback) {
  const Value* v = Find(r, key);
  return v && v->kind == Value::Kind::kString ? v->text : fallback;
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

void WriteRect(Writer& w, const char* key, const RECT& rc) {
  w.Key(key).BeginObject();
  w.Key("x").Int(rc.left).Key("y").Int(rc.top);
  w.Key("w").Int(rc.right - rc.left).Key("h").Int(rc.bottom - rc.top);
  w.EndObject();
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

std::string CmdWaitWindow(const Request& r) {
  auto cls = TextArg(r, "class");
  auto title = TextArg(r, "title");
  long long pid = IntOr(r, "pid", 0);
  bool must_be_visible = Find(r, "visible") && Find(r, "visible")->boolean;
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
  return Writer().Key("hwnd").Int(FromHwnd(h)).Finish();
}

std::string CmdFind(const Request& r) {
  HWND parent = WindowArg(r, "parent");
  auto text = TextArg(r, "text");
  auto cls = TextArg(r, "class");
  const Value* id = Find(r, "id");
  long long index = IntOr(r, "index", 0);
  HWND h = Poll(r, [&]() -> HWND {
    long long seen = 0;
    for (HWND c : Descendants(parent)) {
      if (cls && ClassOf(c) != *cls) continue;
      if (id && GetDlgCtrlID(c) != static_cast<int>(id->number)) continue;
      if (text && !SameText(TextOf(c), *text)) continue;
      if (seen++ == index) return c;
    }
    return nullptr;
  });
  if (!h) throw std::runtime_error("no such control");
  return Writer().Key("hwnd").Int(FromHwnd(h)).Finish();
}

std::string CmdText(const Request& r) {
  return Writer().Key("text").Text(Narrow(TextOf(WindowArg(r)))).Finish();
}

std::string CmdSetText(const Request& r) {
  HWND h = WindowArg(r);
  std::wstring text = TextArg(r, "text").value_or(L"");
  SendOrThrow(h, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
  return Writer().Finish();
}

std::string CmdProps(const Request& r) {
  HWND h = WindowArg(r);
  RECT window{}, client{};
  GetWindowRect(h, &window);
  GetClientRect(h, &client);
  MapWindowPoints(h, nullptr, reinterpret_cast<POINT*>(&client), 2);
  DWORD tid = 0, pid = 0;
  tid = GetWindowThreadProcessId(h, &pid);
  Writer w;
  w.Key("class").Text(Narrow(ClassOf(h)));
  w.Key("text").Text(Narrow(TextOf(h)));
  w.Key("id").Int(GetDlgCtrlID(h));
  w.Key("visible").Bool(IsWindowVisible(h) != FALSE);
  w.Key("enabled").Bool(IsWindowEnabled(h) != FALSE);
  WriteRect(w, "rect", window);
  WriteRect(w, "client", client);
  WriteRect(w, "in_parent", RectInParent(h));
  w.Key("parent").Int(FromHwnd(ParentOf(h)));
  w.Key("owner").Int(FromHwnd(GetWindow(h, GW_OWNER)));
  w.Key("pid").Int(pid).Key("tid").Int(tid);
  w.Key("style").Int(static_cast<long long>(static_cast<DWORD>(GetWindowLongW(h, GWL_STYLE))));
  w.Key("exstyle").Int(static_cast<long long>(static_cast<DWORD>(GetWindowLongW(h, GWL_EXSTYLE))));
  return w.Finish();
}

void WriteWindowEntry(Writer& w, HWND c) {
  w.BeginObject();
  w.Key("hwnd").Int(FromHwnd(c));
  w.Key("parent").Int(FromHwnd(ParentOf(c)));
  w.Key("class").Text(Narrow(ClassOf(c)));
  w.Key("text").Text(Narrow(TextOf(c)));
  w.Key("id").Int(GetDlgCtrlID(c));
  w.Key("visible").Bool(IsWindowVisible(c) != FALSE);
  WriteRect(w, "rect", RectInParent(c));
  w.EndObject();
}

std::string CmdChildren(const Request& r) {
  HWND h = WindowArg(r);
  bool direct = Find(r, "direct") && Find(r, "direct")->boolean;
  Writer w;
  w.Key("children").BeginArray();
  for (HWND c : Descendants(h)) {
    if (direct && ParentOf(c) != h) continue;
    WriteWindowEntry(w, c);
  }
  w.EndArray();
  return w.Finish();
}

std::string CmdWindows(const Request& r) {
  auto cls = TextArg(r, "class");
  long long pid = IntOr(r, "pid", 0);
  Writer w;
  w.Key("windows").BeginArray();
  for (HWND h : TopLevelWindows()) {
    if (cls && ClassOf(h) != *cls) continue;
    if (pid && PidOf(h) != static_cast<DWORD>(pid)) continue;
    WriteWindowEntry(w, h);
  }
  w.EndArray();
  return w.Finish();
}

std::string CmdClick(const Request& r) {
  if (!PostMessageW(WindowArg(r), BM_CLICK, 0, 0)) throw std::runtime_error("PostMessage failed");
  return Writer().Finish();
}

std::string CmdMouse(const Request& r) {
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
  return Writer().Finish();
}

std::string CmdKey(const Request& r) {
  HWND h = WindowArg(r);
  auto vk = static_cast<UINT>(Int(r, "vk"));
  std::string kind = StrOr(r, "kind", "press");
  LPARAM scan = static_cast<LPARAM>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC)) << 16;
  bool ok = true;
  if (kind == "down" || kind == "press") ok = ok && PostMessageW(h, WM_KEYDOWN, vk, 1 | scan);
  if (kind == "up" || kind == "press") {
    ok = ok && PostMessageW(h, WM_KEYUP, vk, static_cast<LPARAM>(0xC0000001u) | scan);
  }
  if (kind != "down" && kind != "up" && kind != "press")
    throw BadRequest("kind is down, up or press");
  if (!ok) throw std::runtime_error("PostMessage failed");
  return Writer().Finish();
}

std::string CmdType(const Request& r) {
  HWND h = WindowArg(r);
  for (wchar_t c : TextArg(r, "text").value_or(L"")) {
    if (!PostMessageW(h, WM_CHAR, c, 1)) throw std::runtime_error("PostMessage failed");
  }
  return Writer().Finish();
}

std::string CmdRealMouse(const Request& r, bool click) {
  std::string button = StrOr(r, "button", "left");
  bool right = button == "right";
  std::string kind = click ? "click" : StrOr(r, "kind", "");
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
  } else if (kind == "click") {
    add(0);
    add(down);
    add(up);
  } else {
    throw BadRequest("kind is move, down, up or click");
  }
  UINT sent = SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
  if (sent != inputs.size()) throw std::runtime_error("SendInput refused the input");
  POINT at{};
  GetCursorPos(&at);
  return Writer().Key("cursor_x").Int(at.x).Key("cursor_y").Int(at.y).Finish();
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

std::string CmdMsgBox(const Request& r) {
  auto caption = TextArg(r, "caption");
  if (!caption) throw BadRequest("msgbox needs \"caption\"");
  long long pid = IntOr(r, "pid", 0);
  HWND box = Poll(r, [&] { return FindBox(*caption, pid); });
  if (!box) throw std::runtime_error("no message box with that caption appeared in time");
  HWND text = GetDlgItem(box, 0xFFFF);
  Writer w;
  w.Key("hwnd").Int(FromHwnd(box));
  w.Key("pid").Int(PidOf(box));
  w.Key("owner").Int(FromHwnd(GetWindow(box, GW_OWNER)));
  w.Key("text").Text(text ? Narrow(TextOf(text)) : std::string());
  w.Key("buttons").BeginArray();
  for (HWND c : Descendants(box)) {
    if (ClassOf(c) == L"Button" && IsWindowVisible(c)) w.Text(Narrow(StripMnemonic(TextOf(c))));
  }
  w.EndArray();
  return w.Finish();
}

std::string CmdPress(const Request& r) {
  HWND box = WindowArg(r);
  auto caption = TextArg(r, "button");
  if (!caption) throw BadRequest("press needs \"button\"");
  for (HWND c : Descendants(box)) {
    if (ClassOf(c) != L"Button" || !SameText(TextOf(c), *caption)) continue;
    // Posted: a SendMessage would not return until the box has closed.
    if (!PostMessageW(c, BM_CLICK, 0, 0)) throw std::runtime_error("PostMessage failed");
    return Writer().Key("button").Int(FromHwnd(c)).Finish();
  }
  throw std::runtime_error("the box has no such button");
}

std::string CmdAlpha(const Request& r) {
  HWND h = WindowArg(r);
  bool layered = (GetWindowLongW(h, GWL_EXSTYLE) & WS_EX_LAYERED) != 0;
  COLORREF key = 0;
  BYTE alpha = 255;
  DWORD flags = 0;
  Writer w;
  w.Key("layered").Bool(layered);
  if (layered && GetLayeredWindowAttributes(h, &key, &alpha, &flags)) {
    w.Key("alpha").Int((flags & LWA_ALPHA) ? alpha : 255);
    w.Key("flags").Int(flags);
  } else {
    w.Key("alpha").Int(255).Key("flags").Int(0);
  }
  return w.Finish();
}

std::string CmdProgress(const Request& r) {
  HWND h = WindowArg(r);
  // lParam stays null: a pointer into this process would mean nothing to the target.
  LRESULT low = SendOrThrow(h, PBM_GETRANGE, TRUE, 0);
  LRESULT high = SendOrThrow(h, PBM_GETRANGE, FALSE, 0);
  LRESULT pos = SendOrThrow(h, PBM_GETPOS, 0, 0);
  return Writer().Key("low").Int(low).Key("high").Int(high).Key("pos").Int(pos).Finish();
}

std::string CmdListBox(const Request& r) {
  HWND h = WindowArg(r);
  LRESULT count = SendOrThrow(h, LB_GETCOUNT, 0, 0);
  if (count < 0) throw std::runtime_error("not a list box");
  Writer w;
  w.Key("count").Int(count);
  w.Key("selected").Int(SendOrThrow(h, LB_GETCURSEL, 0, 0));
  w.Key("items").BeginArray();
  for (LRESULT i = 0; i < count; ++i) {
    auto index = static_cast<WPARAM>(i);
    LRESULT len = SendOrThrow(h, LB_GETTEXTLEN, index, 0);
    std::wstring text(static_cast<size_t>(len > 0 ? len : 0) + 1, L'\0');
    LRESULT got = SendOrThrow(h, LB_GETTEXT, index, reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(got > 0 ? got : 0));
    w.BeginObject();
    w.Key("text").Text(Narrow(text));
    w.Key("data").Int(static_cast<long long>(SendOrThrow(h, LB_GETITEMDATA, index, 0)));
    w.Key("selected").Bool(SendOrThrow(h, LB_GETSEL, index, 0) > 0);
    w.EndObject();
  }
  w.EndArray();
  return w.Finish();
}

std::string CmdCombo(const Request& r) {
  HWND h = WindowArg(r);
  LRESULT count = SendOrThrow(h, CB_GETCOUNT, 0, 0);
  if (count < 0) throw std::runtime_error("not a combo box");
  Writer w;
  w.Key("count").Int(count);
  w.Key("selected").Int(SendOrThrow(h, CB_GETCURSEL, 0, 0));
  w.Key("items").BeginArray();
  for (LRESULT i = 0; i < count; ++i) {
    auto index = static_cast<WPARAM>(i);
    LRESULT len = SendOrThrow(h, CB_GETLBTEXTLEN, index, 0);
    std::wstring text(static_cast<size_t>(len > 0 ? len : 0) + 1, L'\0');
    LRESULT got = SendOrThrow(h, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(got > 0 ? got : 0));
    w.Text(Narrow(text));
  }
  w.EndArray();
  return w.Finish();
}

std::string CmdCheck(const Request& r) {
  return Writer().Key("check").Int(SendOrThrow(WindowArg(r), BM_GETCHECK, 0, 0)).Finish();
}

std::string CmdForeground(const Request&) {
  return Writer().Key("hwnd").Int(FromHwnd(GetForegroundWindow())).Finish();
}

std::string CmdWaitGone(const Request& r) {
  HWND h = ToHwnd(Int(r, "hwnd"));
  HWND still = Poll(r, [&]() -> HWND { return IsWindow(h) ? nullptr : GetDesktopWindow(); });
  if (!still) throw std::runtime_error("the window is still there");
  return Writer().Finish();
}

std::string CmdSleep(const Request& r) {
  Sleep(static_cast<DWORD>(IntOr(r, "ms", 0)));
  return Writer().Finish();
}

std::string CmdProcessAlive(const Request& r) {
  auto pid = static_cast<DWORD>(Int(r, "pid"));
  HANDLE p = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, pid);
  Writer w;
  if (!p) return w.Key("alive").Bool(false).Key("exit_code").Null().Finish();
  DWORD code = 0;
  BOOL got = GetExitCodeProcess(p, &code);
  bool alive = WaitForSingleObject(p, 0) == WAIT_TIMEOUT;
  CloseHandle(p);
  w.Key("alive").Bool(alive);
  if (!alive && got) {
    w.Key("exit_code").Int(code);
  } else {
    w.Key("exit_code").Null();
  }
  return w.Finish();
}

using Handler = std::function<std::string(const Request&)>;

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
      {"key", CmdKey},
      {"type", CmdType},
      {"real_mouse", [](const Request& r) { return CmdRealMouse(r, false); }},
      {"real_click", [](const Request& r) { return CmdRealMouse(r, true); }},
      {"msgbox", CmdMsgBox},
      {"press", CmdPress},
      {"alpha", CmdAlpha},
      {"progress", CmdProgress},
      {"listbox", CmdListBox},
      {"combo", CmdCombo},
      {"check", CmdCheck},
      {"foreground", CmdForeground},
      {"wait_gone", CmdWaitGone},
      {"sleep", CmdSleep},
      {"process_alive", CmdProcessAlive},
  };
  return table;
}

void Answer(const std::string& line) {
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

}  // namespace

// A test that gave up waiting for an answer must not read it as the answer to its next
// command: a request's "seq" comes back in its answer so the late one can be told apart.
std::string Tagged(std::string answer, std::optional<long long> seq) {
  if (seq) answer.insert(1, "\"seq\":" + std::to_string(*seq) + ",");
  return answer;
}

int main() {
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
  Answer(Writer().Key("ready").Bool(true).Key("pid").Int(GetCurrentProcessId()).Finish());
  std::string line;
  for (;;) {
    line.clear();
    int c;
    while ((c = std::fgetc(stdin)) != EOF && c != '\n') line += static_cast<char>(c);
    if (c == EOF && line.empty()) return 0;
    if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
    std::optional<long long> seq;
    try {
      Request req = Parser(line).ParseObject();
      if (const Value* tag = Find(req, "seq"); tag && tag->kind == Value::Kind::kNumber) {
        seq = tag->number;
      }
      const Value* cmd = Find(req, "cmd");
      if (!cmd || cmd->kind != Value::Kind::kString) throw BadRequest("\"cmd\" is missing");
      if (cmd->text == "quit") {
        Answer(Tagged(Writer().Finish(), seq));
        return 0;
      }
      auto it = Commands().find(cmd->text);
      if (it == Commands().end()) throw BadRequest("unknown command " + cmd->text);
      Answer(Tagged(it->second(req), seq));
    } catch (const std::exception& e) {
      Answer(Tagged(ErrorLine(e.what()), seq));
    }
  }
}
