#include "ui/skin/memo.h"

#include "base/wide.h"
#include "ui/skin/control_creation.h"
#include "ui/skin/drawing.h"
#include "ui/skin/scroll_bars.h"

namespace veltrane::win32::skin {
namespace {

using detail::ControlData;

bool MemoHasLines(HWND memo) {
  ControlData* data = detail::DataOf(memo);
  return GetWindowTextLengthW(memo) > 0 || (data && data->has_lines);
}

void MarkLines(HWND memo, bool has_lines) {
  if (ControlData* data = detail::DataOf(memo)) data->has_lines = has_lines;
}

}  // namespace

// A subclassed multi-line EDIT: the system draws the text, the skin its border and scroll bars.
HWND CreateMemo(HWND parent, const ControlDesc& desc) {
  auto data = detail::NewData(detail::Kind::Memo, desc);
  data->cursor = CursorKind::Arrow;
  ControlData* attached = data.get();
  ControlDesc blank = desc;
  blank.text.clear();  // set below, once the memo takes text of any length
  HWND memo = detail::CreateSystem(
      L"EDIT", parent, blank,
      detail::BaseStyle(desc) | WS_BORDER | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE | ES_READONLY |
          ES_AUTOVSCROLL | ES_AUTOHSCROLL | ES_NOHIDESEL,
      std::move(data), detail::ScrolledFrameMessage, detail::AfterScrolledFrameMessage);
  if (!memo) return nullptr;
  SendMessageW(memo, EM_SETLIMITTEXT, 0, 0);
  SetText(memo, desc.text);
  attached->has_lines = !desc.text.empty();
  return memo;
}

void MemoAppendLine(HWND memo, std::string_view text) {
  std::wstring line = Widen(text);
  if (MemoHasLines(memo)) line.insert(0, L"\r\n");
  const int length = GetWindowTextLengthW(memo);
  SendMessageW(memo, EM_SETSEL, length, length);
  SendMessageW(memo, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(line.c_str()));
  MarkLines(memo, true);
  // Park the caret at the start of the last line: the new line comes into view without the
  // memo scrolling sideways to the end of a long one.
  const LRESULT last = SendMessageW(memo, EM_GETLINECOUNT, 0, 0) - 1;
  const LRESULT start = SendMessageW(memo, EM_LINEINDEX, last, 0);
  SendMessageW(memo, EM_SETSEL, start, start);
  SendMessageW(memo, EM_SCROLLCARET, 0, 0);
  SendMessageW(memo, WM_HSCROLL, SB_LEFT, 0);
}

std::vector<std::string> MemoLines(HWND memo) {
  std::vector<std::string> lines;
  if (!MemoHasLines(memo)) return lines;
  const std::wstring all = detail::WindowTextW(memo);
  size_t start = 0;
  while (true) {
    const size_t end = all.find(L"\r\n", start);
    if (end == std::wstring::npos) {
      lines.push_back(Narrow(all.substr(start)));
      break;
    }
    lines.push_back(Narrow(all.substr(start, end - start)));
    start = end + 2;
  }
  return lines;
}

void MemoSetLines(HWND memo, const std::vector<std::string>& lines) {
  std::string all;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i) all += "\r\n";
    all += lines[i];
  }
  SetText(memo, all);
  MarkLines(memo, !lines.empty());
}

}  // namespace veltrane::win32::skin
