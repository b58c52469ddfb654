#include "ui/skin/control_creation.h"

#include "base/wide.h"
#include "ui/skin/control_messages.h"

namespace veltrane::win32::skin::detail {

DWORD BaseStyle(const ControlDesc& desc) {
  return WS_CHILD | (desc.visible ? WS_VISIBLE : 0) | (desc.enabled ? 0 : WS_DISABLED);
}

std::unique_ptr<ControlData> NewData(Kind kind, const ControlDesc& desc) {
  auto data = std::make_unique<ControlData>(kind);
  data->font = SkinManager::Instance().Font(desc.font);
  data->text_color = desc.text_color;
  data->back_color = desc.back_color;
  return data;
}

HWND CreateOwn(const wchar_t* cls, HWND parent, const ControlDesc& desc, DWORD style,
               DWORD ex_style, std::unique_ptr<ControlData> data) {
  RegisterClasses();
  const std::wstring text = Widen(desc.text);
  // The window takes the data at WM_NCCREATE; if it never got that far, `data` still holds it.
  return CreateWindowExW(
      ex_style, cls, text.c_str(), style, desc.left, desc.top, desc.width, desc.height, parent,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(desc.id)), GetModuleHandleW(nullptr), &data);
}

HWND CreateSystem(const wchar_t* cls, HWND parent, const ControlDesc& desc, DWORD style,
                  std::unique_ptr<ControlData> data, OwnMessageFn own, AfterMessageFn after) {
  RegisterClasses();
  const std::wstring text = Widen(desc.text);
  HWND hwnd = CreateWindowExW(
      0, cls, text.c_str(), style, desc.left, desc.top, desc.width, desc.height, parent,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(desc.id)), GetModuleHandleW(nullptr), nullptr);
  if (!hwnd) return nullptr;
  const HFONT font = data->font;
  data->own_message = own;
  data->after_message = after;
  AttachSubclass(hwnd, std::move(data), SkinnedSubclass);
  SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  return hwnd;
}

void RegisterOwnClass(const wchar_t* name, WNDPROC proc, UINT style) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.style = style;
  wc.lpfnWndProc = proc;
  wc.lpszClassName = name;
  RegisterClassExW(&wc);
}

void RegisterClasses() {
  static bool done = false;
  if (done) return;
  done = true;
  INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES};
  InitCommonControlsEx(&icc);
  RegisterFrameClasses();
  RegisterGroupBoxClass();
  RegisterLabelClass();
  RegisterProgressBarClass();
}

}  // namespace veltrane::win32::skin::detail
