#pragma once
// Texts of the main window that are not captions: the hints, the option toggles' console
// texts and the change log.
#include <string_view>

#include "ui/main_view.h"

namespace veltrane::ui {

struct Hint {
  Control control;
  std::string_view text;
};

inline constexpr Hint kHints[] = {
    {Control::sEdit1, "Двойной клик чтобы скопировать в буфер обмена"},
    {Control::sMemo1, "Двойной клик чтобы открыть \"Статус.txt\""},
    {Control::sButtonCopyTL, "Указать путь как в TLauncher Legacy"},
    {Control::sCheckBox1,
     "Активирует 5-ти поточную загрузку,\r\nкоторая позволяет скачивать\r\nодновременно сразу 5 "
     "файлов."},
    {Control::sCheckBox2,
     "Если стоит галочка, то по окончании\r\nзагрузок будет загружен и запущен\r\nфайл с "
     "дополнительными настройками."},
};

inline constexpr std::string_view kSetupsPlusHint = "Загрузка и запуск\r\nдополнительных настроек";

inline constexpr std::string_view kTurboOnText =
    "Режим турбо снова активен!\r\n   Наслаждайтесь скоростью:)";
inline constexpr std::string_view kTurboOffText =
    "Режим турбо деактивирован.\r\n   Вы уверены что хотите отключить турбо? Этот\r\nрежим "
    "активирует пять потоков загрузки, что позволяет\r\nускорить загрузку в разы, но тем не "
    "менее, если возникают\r\nошибки, то можете попробовать его отключить.";
inline constexpr std::string_view kSetupsOnText =
    "   Доп. настройки будут открыты при следующем\r\nзапуске синхронизации.\r\n   Вы можете "
    "запустить их вручную, нажав «Setups+»\r\nв заголовке программы.";
inline constexpr std::string_view kSetupsOffText =
    "   Дополнительные настройки больше не откроются.\r\n   Вы можете запустить их вручную, "
    "нажав «Setups+»\r\nв заголовке программы.";

inline constexpr char kChangeLogFileName[] = "Veltrane - ChangeLog.txt";
// The hidden memo sMemo2 holds it, one line per memo line.
inline constexpr std::string_view kChangeLog =
    "ChangeLog Veltrane\r\n"
    "[v1.2.6] [11 Марта 2018]\r\n"
    "- * Усовершенствованный модуль скачивания.\r\n"
    "- * Отображение прогресса загрузок.\r\n"
    "- Более быстрый доступ к серверу.\r\n"
    "- Возможность отключить автозапуск доп. настроек.\r\n"
    "\r\n"
    "[v1.2.5] [16 Февраля 2018]\r\n"
    "- * Оптимизация под новую версию Minecraft 1.12.2.\r\n"
    "- Добавлен модуль очистки более не нужных файлов.\r\n"
    "\r\n"
    "[v1.2] [14 Февраля 2018]\r\n"
    "- * Автоматическое определение папки с игрой из конфига TLauncher Legacy.\r\n"
    "- Мелкие исправления и оптимизация.\r\n"
    "- Перенастройка под новую ветку с модами.\r\n"
    "\r\n"
    "[v1.1] [8 Июля 2017]\r\n"
    "- * Добавлен режим Turbo с 5 потоками загрузки!\r\n"
    "- * Введение нового модуля анимации.\r\n"
    "- Введена проверка доступности сервера загрузок.\r\n"
    "- Повышение стабильности программы.\r\n"
    "- Новые сообщения консоли.\r\n"
    "- Добавлен ChangeLog.\r\n"
    "\r\n"
    "[v1.0] [3 Июля 2017]\r\n"
    "- * Релиз!\r\n"
    "- * Программа оптимизирована под сервер MineCraft Dravenna 1.10.2.";

}  // namespace veltrane::ui
