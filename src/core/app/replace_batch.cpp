#include "app/replace_batch.h"

#include "base/ascii.h"

namespace veltrane::app {

bool IsPlainVersion(std::string_view text) {
  if (text.empty() || text.size() > kMaxVersionLength) return false;
  for (char c : text) {
    const bool ok = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                    c == '.' || c == '-';
    if (!ok) return false;
  }
  return true;
}

bool IsBatchSafeName(std::string_view name) {
  if (name.empty()) return false;
  for (char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) return false;
    if (std::string_view("\"%&|<>^*?\\/:").find(c) != std::string_view::npos) return false;
  }
  return true;
}

std::vector<std::string> ReplaceBatchLines(std::string_view own_name, std::string_view target,
                                           std::string_view downloaded) {
  const bool has_target = target != kNoFile;
  const bool has_downloaded = downloaded != kNoFile;
  if (!IsBatchSafeName(own_name)) return {};
  if (has_target && !IsBatchSafeName(target)) return {};
  if (has_downloaded && !IsBatchSafeName(downloaded)) return {};

  const auto quoted = [](std::string_view name) {
    std::string text(1, '"');
    text.append(name);
    text += '"';
    return text;
  };
  const std::string own = quoted(own_name);

  // The running program goes only when a file is there to take its place: the downloaded one,
  // or else the target itself (unless that is the running program's own file).
  std::string_view successor;
  if (has_downloaded) {
    successor = downloaded;
  } else if (has_target) {
    successor = target;
  }
  if (!successor.empty() && AsciiUpper(successor) == AsciiUpper(own_name)) successor = {};

  std::vector<std::string> lines = {
      "chcp 1251",
      // Started from anywhere, the bare names below must resolve in the program's folder.
      "cd /d \"%~dp0\"",
  };
  if (successor.empty()) {
    if (has_target) lines.push_back("start " + quoted(target) + " " + quoted(target));
    lines.push_back("del \"%~f0\"");
    return lines;
  }

  // A bounded wait: the old program may hold its file for a moment after it ended. Wine's cmd
  // has no `timeout`; ping waits about a second.
  const auto retry = [&lines](const std::string& label, const std::string& step,
                              const std::string& gone, const std::string& done,
                              const std::string& given_up) {
    lines.push_back("set tries=0");
    lines.push_back(":" + label);
    lines.push_back(step);
    lines.push_back(gone + " goto " + done);
    lines.push_back("set /a tries+=1");
    lines.push_back("if %tries% geq " + std::to_string(kReplaceBatchTries) + " goto " + given_up);
    lines.push_back("ping -n 2 127.0.0.1 >nul");
    lines.push_back("goto " + label);
  };
  lines.push_back("if not exist " + quoted(successor) + " goto done");

  if (!(has_downloaded && has_target)) {
    retry("retry", "if exist " + own + " del /q /f " + own, "if not exist " + own, "replace",
          "done");
    lines.push_back(":replace");
    if (has_target) lines.push_back("start " + quoted(target) + " " + quoted(target));
    lines.push_back(":done");
    lines.push_back("del \"%~f0\"");
    return lines;
  }

  const std::string fresh = quoted(downloaded);
  const std::string final_name = quoted(target);
  if (AsciiUpper(target) != AsciiUpper(own_name)) {
    // The new program takes its final name first, and only then does the old one go: a step
    // that fails, or a batch killed between any two lines, leaves a whole program under a
    // program's name. When the new one cannot take that name, the old one is started again.
    lines.push_back("if exist " + final_name + " del /q /f " + final_name);
    lines.push_back("ren " + fresh + " " + final_name);
    lines.push_back("if exist " + fresh + " goto abandon");
    // The old program may hold its file a moment after it ended; if it holds it for good,
    // both stay and the new one starts all the same.
    retry("retry", "if exist " + own + " del /q /f " + own, "if not exist " + own, "start",
          "start");
    lines.push_back(":start");
    lines.push_back("start " + final_name + " " + final_name);
    lines.push_back("goto done");
    lines.push_back(":abandon");
    lines.push_back("del /q /f " + fresh);
    lines.push_back("start " + own + " " + own);
    lines.push_back(":done");
    lines.push_back("del \"%~f0\"");
    return lines;
  }

  // The new program takes the running one's own name: the old one is moved aside rather than
  // deleted, and removed only once the new file holds the name; when the new file cannot take
  // it the old one is put back and started again.
  const std::string aside = quoted(std::string(downloaded) + std::string(kAsideSuffix));
  lines.push_back("if exist " + aside + " del /q /f " + aside);
  retry("retry", "if exist " + own + " ren " + own + " " + aside, "if not exist " + own, "replace",
        "abandon");
  lines.push_back(":replace");
  lines.push_back("if exist " + final_name + " del /q /f " + final_name);
  lines.push_back("ren " + fresh + " " + final_name);
  lines.push_back("if not exist " + fresh + " goto placed");
  lines.push_back("ren " + aside + " " + own);
  lines.push_back("del /q /f " + fresh);
  lines.push_back("start " + own + " " + own);
  lines.push_back("goto done");
  lines.push_back(":placed");
  retry("cleanup", "if exist " + aside + " del /q /f " + aside, "if not exist " + aside, "start",
        "start");
  lines.push_back(":start");
  lines.push_back("start " + final_name + " " + final_name);
  lines.push_back("goto done");
  lines.push_back(":abandon");
  lines.push_back("del /q /f " + fresh);
  lines.push_back(":done");
  lines.push_back("del \"%~f0\"");
  return lines;
}

}  // namespace veltrane::app
