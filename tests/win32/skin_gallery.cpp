// Shows every skinned control in a window laid out like the program's own, plus a dialog with
// the check list, so the skin can be looked at. Arguments: --emerald selects the green skin,
// --seconds=N closes the gallery after N seconds. "Forge Install" switches skins at run time.
#include <windows.h>

#include <cwchar>
#include <string>

#include "ui/skin/controls.h"
#include "ui/skin/frame.h"
#include "ui/skin/skin.h"

using namespace veltrane::win32::skin;

namespace {

const COLORREF kLabelColor = RGB(239, 239, 239);

ControlDesc At(int left, int top, int width, int height, std::string text = {},
               FontSpec font = FontSpec{}) {
  ControlDesc desc;
  desc.left = left;
  desc.top = top;
  desc.width = width;
  desc.height = height;
  desc.text = std::move(text);
  desc.font = std::move(font);
  return desc;
}

void BuildMain(Frame* frame) {
  const FontSpec comic12 = FontSpec::Points("Comic Sans MS", 12);
  const FontSpec comic8b = FontSpec::Points("Comic Sans MS", 8, true);
  HWND content = frame->content();
  SetOnMouseDown(content, [content](MouseButton, POINT) { DragWindow(content); });

  HWND folder = CreateGroupBox(content, At(8, 0, 385, 97, "Путь к папке с игрой", comic8b));
  HWND edit = CreateReadOnlyEdit(folder, At(8, 19, 289, 24, "C:\\Игры\\Minecraft", comic8b));
  SetHint(edit, "Двойной клик чтобы скопировать в буфер обмена");
  CreateButton(folder, At(296, 19, 81, 21, "Открыть", comic12));
  ControlDesc label = At(8, 36, 369, 33, "Неправильный путь к папке с игрой!", comic12);
  label.text_color = kLabelColor;
  CreateLabel(folder, label);
  CreateButton(folder, At(8, 68, 329, 21, "Указать", comic12));
  HWND tl = CreateButton(folder, At(344, 68, 33, 21, "TL", comic12));
  SetHint(tl, "Указать путь как в TLauncher Legacy");

  HWND actions = CreateGroupBox(content, At(8, 97, 385, 161, "Действия", comic8b));
  CreateButton(actions, At(8, 16, 369, 41, "Проверить совместимость", comic12));
  ControlDesc download = At(8, 64, 306, 41, "Запуск синхронизации", comic12);
  download.enabled = false;
  CreateButton(actions, download);
  HWND turbo = CreateCheckBox(actions, At(317, 64, 58, 17, "Турбо", comic8b), true);
  SetCursorKind(turbo, CursorKind::Help);
  SetHint(turbo,
          "Активирует 5-ти поточную загрузку,\r\nкоторая позволяет скачивать\r\nодновременно "
          "сразу 5 файлов.");
  HWND setups = CreateCheckBox(actions, At(317, 88, 68, 17, "Setups", comic8b), false);
  SetCursorKind(setups, CursorKind::Help);
  HWND exit_button = CreateButton(actions, At(8, 112, 369, 41, "Выход", comic12));
  SetOnClick(exit_button, [frame] { PostMessageW(frame->hwnd(), WM_CLOSE, 0, 0); });

  HWND status = CreateGroupBox(content, At(400, 0, 417, 258, "Статус", comic8b));
  HWND memo = CreateMemo(status, At(8, 16, 401, 234, {}, FontSpec::Points("Tahoma", 8, true)));
  SetHint(memo, "Двойной клик чтобы открыть \"Статус.txt\"");
  MemoAppendLine(memo, "[9:05:07] Добро пожаловать! Veltrane v1.2.6 - Dravenna 1.12.2");
  MemoAppendLine(memo, " ");
  MemoAppendLine(memo, "=====Проверка совместимости=====");
  MemoAppendLine(memo, "[9:05:09] Найдено модов: 148, отсутствует: 3 (12,4 МБ)");
  MemoAppendLine(memo, "[9:05:10] Загружен: journeymap-1.12.2-5.5.2.jar");
  for (int i = 1; i <= 20; ++i)
    MemoAppendLine(
        memo, "[9:05:1" + std::to_string(i % 10) + "] Загружен: mod-" + std::to_string(i) + ".jar");
  MemoAppendLine(memo,
                 "Съешь же ещё этих мягких французских булок, да выпей чаю. The quick brown fox.");

  const int lefts[] = {8, 171, 334, 498, 662};
  const int widths[] = {155, 155, 156, 156, 155};
  for (int i = 0; i < 5; ++i) {
    HWND bar = CreateProgressBar(content, At(lefts[i], 264, widths[i], 17));
    SendMessageW(bar, PBM_SETRANGE32, 0, 100);
    SendMessageW(bar, PBM_SETPOS, 15 + i * 20, 0);
    if (i == 4) SendMessageW(bar, PBM_SETMARQUEE, TRUE, 30);
  }

  HWND setups_item = frame->AddTitleItem(
      {"Setups+", 49, true, CursorKind::Help, "Загрузка и запуск\r\nдополнительных настроек"});
  (void)setups_item;
  HWND forge = frame->AddTitleItem({"Forge Install", 70, true, CursorKind::Default, ""});
  frame->AddTitleItem({"ChangeLog", 67, false, CursorKind::Default, ""});
  SetOnMouseUp(forge, [](MouseButton, POINT) {
    auto& skins = SkinManager::Instance();
    skins.Select(skins.Current() == kEmerald ? kMaterialDark : kEmerald);
  });
  HWND sink = CreatePlainButton(content, At(864, 56, 27, 25, "B"));
  SetFocus(sink);
}

void BuildDialog(Frame* dialog) {
  HWND content = dialog->content();
  HWND group = CreateGroupBox(content, At(8, 8, 521, 225));
  ControlDesc label = At(0, 8, 505, 41,
                         "Файлы из следующего списка можно удалить.\r\nСнимите галочки около "
                         "файлов, которые хотите оставить.",
                         FontSpec::Pixels("Comic Sans MS", 13));
  CreateLabel(group, label);
  HWND list = CreateCheckList(group, At(8, 48, 505, 137, {}, FontSpec::Pixels("Tahoma", 11)));
  const char* names[] = {"OptiFine_1.12.2_HD_U_E3.jar", "старый-мод-1.10.2.jar",
                         "BetterFoliage-2.1.10.jar", "Ресурспак.zip", "JEI_1.12.2-4.9.1.jar"};
  for (int round = 0; round < 2; ++round) {
    for (const char* name : names) {
      const int index = CheckListAdd(list, name);
      CheckListSetChecked(list, index, index != 1);
    }
  }
  CreateButton(group, At(8, 192, 505, 25, "Удалить", FontSpec::Pixels("Comic Sans MS", 16, true)));
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  const std::wstring args = GetCommandLineW();
  SkinManager::Instance().Select(args.find(L"--emerald") != std::wstring::npos ? kEmerald
                                                                               : kMaterialDark);
  FrameOptions options;
  options.class_name = L"VeltraneSkinGallery";
  options.caption = "Veltrane v1.2.6 - Dravenna 1.12.2";
  options.content_width = 825;
  options.content_height = 289;
  options.centered = false;
  options.left = 20;
  options.top = 20;
  Frame* frame = Frame::Create(options);
  if (!frame) return 1;
  BuildMain(frame);
  frame->SetMessageHook([](HWND, UINT msg, WPARAM, LPARAM, LRESULT*) {
    if (msg == WM_DESTROY) PostQuitMessage(0);
    return false;
  });

  FrameOptions dialog_options;
  dialog_options.class_name = L"VeltraneSkinGalleryDialog";
  dialog_options.caption = "Очистка лишних файлов";
  dialog_options.content_width = 553 - kFrameExtraWidth;
  dialog_options.content_height = 279 - kFrameExtraHeight;
  dialog_options.centered = false;
  dialog_options.left = 20;
  dialog_options.top = 360;
  dialog_options.close_button = false;
  Frame* dialog = Frame::Create(dialog_options);
  if (dialog) BuildDialog(dialog);

  ShowWindow(frame->hwnd(), SW_SHOW);
  if (dialog) ShowWindow(dialog->hwnd(), SW_SHOW);

  const size_t at = args.find(L"--seconds=");
  if (at != std::wstring::npos) {
    const UINT seconds = static_cast<UINT>(_wtoi(args.c_str() + at + 10));
    SetTimer(frame->hwnd(), 77, seconds * 1000,
             [](HWND hwnd, UINT, UINT_PTR, DWORD) { DestroyWindow(hwnd); });
  }
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}
