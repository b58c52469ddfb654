#include "app/self_replace.h"

#include <shellapi.h>
#include <tlhelp32.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "app/replace_batch.h"
#include "base/process_names.h"
#include "base/size_text.h"
#include "base/u8path.h"
#include "base/wide.h"

namespace veltrane::win32 {
namespace {

constexpr DWORD kExpandBuffer = 256;

class Handle {
 public:
  explicit Handle(HANDLE handle) : handle_(handle) {}
  ~Handle() {
    if (valid()) CloseHandle(handle_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  bool valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

}  // namespace

SystemError::SystemError(DWORD code)
    : std::runtime_error("Системная ошибка. Код: " + std::to_string(code) + ".\r\n" +
                         SystemErrorText(code)),
      code_(code) {}

std::string SystemErrorText(DWORD code) {
  wchar_t* buffer = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text = length != 0 && buffer != nullptr ? std::wstring(buffer, length) : L"";
  if (buffer != nullptr) LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) {
    text.pop_back();
  }
  return Narrow(text);
}

std::string UserDecimalSeparator() {
  wchar_t buffer[8] = {};
  const int length = GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, buffer, 8);
  if (length <= 1) return ",";
  return Narrow(std::wstring_view(buffer, static_cast<size_t>(length - 1)));
}

std::string SizeToText(double bytes) {
  return veltrane::SizeToText(bytes, UserDecimalSeparator());
}

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

std::optional<std::string> ReplaceBatchText(std::string_view own_name, std::string_view target,
                                            std::string_view downloaded) {
  const std::vector<std::string> lines = app::ReplaceBatchLines(own_name, target, downloaded);
  if (lines.empty()) return std::nullopt;
  // Windows' cmd reads the lines after "chcp 1251" in that code page; Wine's reads the whole
  // file in the OEM one, so only ASCII names come through there unchanged.
  std::string text;
  for (const std::string& line : lines) {
    const std::string ansi = ToAnsi(line);
    // A name the code page cannot hold would come out with "?", a wildcard to del.
    if (FromAnsi(ansi) != line) return std::nullopt;
    text += ansi;
    text += "\r\n";
  }
  return text;
}

std::string WriteReplaceBatch(const std::string& folder, std::string_view own_name,
                              std::string_view target, std::string_view downloaded) {
  const std::optional<std::string> text = ReplaceBatchText(own_name, target, downloaded);
  if (!text) throw std::runtime_error("file names unfit for the replacement batch");
  const std::filesystem::path path = U8Path(folder) / U8Path(app::kReplaceBatchName);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(text->data(), static_cast<std::streamsize>(text->size()));
  out.close();
  if (!out) throw std::runtime_error("cannot write " + PathText(path));
  return PathText(path);
}

HANDLE StartReplaceBatch(const std::string& batch_path, const std::string& folder) {
  const std::wstring file = Widen(batch_path);
  const std::wstring directory = Widen(folder);
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof(info);
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
  info.lpVerb = L"open";
  info.lpFile = file.c_str();
  info.lpDirectory = directory.c_str();
  info.nShow = SW_HIDE;
  if (!ShellExecuteExW(&info)) return nullptr;
  return info.hProcess;
}

bool ReplaceSelfAndExit(std::string_view target, std::string_view downloaded) {
  std::string batch;
  std::string folder;
  try {
    const std::filesystem::path own = U8Path(OwnProgramPath());
    folder = PathText(own.parent_path());
    batch = WriteReplaceBatch(folder, PathText(own.filename()), target, downloaded);
  } catch (const std::exception&) {
    return false;
  }
  const HANDLE process = StartReplaceBatch(batch, folder);
  if (process == nullptr) {
    std::error_code ignored;
    std::filesystem::remove(U8Path(batch), ignored);
    return false;
  }
  CloseHandle(process);
  ExitProcess(0);
}

void RestoreAndActivate(HWND window) {
  // The owner is the running copy's application window when it has one.
  HWND owner = GetWindow(window, GW_OWNER);
  if (owner == nullptr) owner = window;
  // A hung first copy must not hang the second one as well.
  DWORD_PTR ignored = 0;
  SendMessageTimeoutW(owner, WM_SYSCOMMAND, SC_RESTORE, 0, SMTO_ABORTIFHUNG, 5000, &ignored);
  ShowWindow(owner, SW_SHOWNORMAL);
  SetForegroundWindow(window);
}

HWND FindAndActivate(const std::string& class_name) {
  HWND window = FindWindowW(Widen(class_name).c_str(), nullptr);
  if (window != nullptr) RestoreAndActivate(window);
  return window;
}

bool ActivateRunningCopy(const std::string& class_name) {
  if (FindAndActivate(class_name) == nullptr) return false;
  ExitProcess(0);
}

bool IsProcessRunning(std::string_view exe_name) {
  const Handle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPALL, 0));
  if (!snapshot.valid()) return false;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32FirstW(snapshot.get(), &entry); more;
       more = Process32NextW(snapshot.get(), &entry)) {
    if (ProcessNameMatches(Narrow(entry.szExeFile), exe_name)) return true;
  }
  return false;
}

void RunCommandLine(const std::string& command_line, int show) {
  if (command_line.empty()) throw std::invalid_argument("empty command line");
  // CreateProcessW may write into the command line.
  std::wstring buffer = Widen(command_line);
  buffer.push_back(L'\0');
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = static_cast<WORD>(show);
  PROCESS_INFORMATION process{};
  // A failure that sets no code of its own reports this one.
  SetLastError(ERROR_INVALID_PARAMETER);
  if (!CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE,
                      CREATE_DEFAULT_ERROR_MODE | CREATE_UNICODE_ENVIRONMENT, nullptr, nullptr,
                      &startup, &process)) {
    throw SystemError(GetLastError());
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
}

}  // namespace veltrane::win32
