#include "app/self_replace.h"

#include <shellapi.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <system_error>
#include <vector>

#include "app/replace_batch.h"
#include "base/environment.h"
#include "base/scoped.h"
#include "base/u8path.h"
#include "base/wide.h"

namespace veltrane::win32 {

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
  ScopedHandle process(StartReplaceBatch(batch, folder));
  if (!process) {
    std::error_code ignored;
    std::filesystem::remove(U8Path(batch), ignored);
    return false;
  }
  process.reset();  // ExitProcess runs no destructors
  ExitProcess(0);
}

}  // namespace veltrane::win32
