#include "ui/skin/control_data.h"

namespace veltrane::win32::skin::detail {
namespace {

constexpr wchar_t kDataProp[] = L"VeltraneSkinData";

}  // namespace

ControlData* DataOf(HWND hwnd) {
  return static_cast<ControlData*>(GetPropW(hwnd, kDataProp));
}

void AttachOwn(HWND hwnd, std::unique_ptr<ControlData> data) {
  SetPropW(hwnd, kDataProp, data.release());
}

std::unique_ptr<ControlData> TakeCreateData(LPARAM create_struct) {
  auto* handed = static_cast<std::unique_ptr<ControlData>*>(
      reinterpret_cast<CREATESTRUCTW*>(create_struct)->lpCreateParams);
  return handed ? std::move(*handed) : nullptr;
}

void AttachSubclass(HWND hwnd, std::unique_ptr<ControlData> data, SUBCLASSPROC proc) {
  data->subclass = proc;
  ControlData* attached = data.release();
  SetPropW(hwnd, kDataProp, attached);
  SetWindowSubclass(hwnd, proc, 1, reinterpret_cast<DWORD_PTR>(attached));
}

void Detach(HWND hwnd) {
  std::unique_ptr<ControlData> data(DataOf(hwnd));
  if (!data) return;
  if (data->subclass) RemoveWindowSubclass(hwnd, data->subclass, 1);
  RemovePropW(hwnd, kDataProp);
}

}  // namespace veltrane::win32::skin::detail
