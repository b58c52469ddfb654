"""The typical use from start to end, in the real window under Wine against the bundled demo
server and the demo's game folder: start, the folder found valid, the check, a turbo run, the
extra tool and the cleanup, the exit. The window's sizes are checked at each step, the console
as a whole at the end (times masked), then the mods folder, the kept file and the exit code."""

import hashlib
import os
import re
import shutil
import sys
import tempfile
import time
import unittest
from pathlib import Path

from program import ServedProgramTest

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tools"))
import demo_world  # noqa: E402

COMPACT, ACTIONS, WIDE, WIDE_ONE_BAR, WIDE_FIVE_BARS, DIALOG = (
    (406, 133), (406, 294), (830, 294), (830, 317), (830, 317), (553, 279))
KEPT, DELETED = demo_world.REMOVABLE[1], demo_world.REMOVABLE[0]


def mask_times(text):
    """Console text with the clock masked: "[12:34:56] " prefixes and the run's elapsed time."""
    text = re.sub(r"\[\d{1,2}:\d{2}:\d{2}\] ", "[T] ", text)
    return re.sub(r"(Прошло времени: )\d{1,2}:\d{2}:\d{2}", r"\1T", text)


# The whole console after the typical use. The transfers of a turbo run end in any order, so
# the lines between the run's heading and its closing heading are compared as a set.
CONSOLE = """[T]    Добро пожаловать :)
   Для начала нажмите «Проверить совместимость»,
а затем «Запуск синхронизации», чтобы синхронизировать
ваш клиент Minecraft с сервером Dravenna 1.12.2.
 
=====Проверка совместимости=====
[T] Конфиг очищен.
[T] Конфиг загружен.
Всего модов на сервере: 12 шт. (1,23 Мб.)
* Отсутствует: dravenna-core-1.12.2-2.4.jar
* Отсутствует: skyhooks-1.12.2-0.9.jar
* Отсутствует: copper wires-1.12.2-3.2.jar
* Отсутствует: lanterns-plus-1.12.2-1.1.jar
* Отсутствует: trail-maps-1.12.2-5.5.jar
 ! Поврежденный файл: bakery-1.12.2-2.0.jar
* Отсутствует: bakery-1.12.2-2.0.jar
* Отсутствует: ironclad-chests-1.12.2-7.0.jar
* Отсутствует: quiet-mobs-1.12.2-1.3.jar
* Отсутствует: river-boats-1.12.2-0.4.jar
* Отсутствует: starlight-sky-1.12.2-1.0.jar
* Отсутствует: Библиотека-1.12.2-1.0.jar
======Завершение проверки=======
Отсутствуют моды: 11 шт. (1,077 Мб.)
Можно удалить файлов: 2 шт.
 
============Загрузка============
{downloads}
======Завершение загрузки=======
Прошло времени: T
Объем загруженых файлов(11 из 11): 1,077 Мб.
 
======Удаление лишних модов=====
Удален мод: old-minimap-1.10.2.jar
=======Завершение удаления======
Кол-во удаленных файлов: 1"""
# Every mod the check found missing is loaded by the run.
LOADED = re.findall(r"^\* Отсутствует: (.*)$", CONSOLE, re.MULTILINE)


def split_run(text):
    """The console text with the run's lines replaced by {downloads}, and those lines sorted."""
    head, rest = text.split("============Загрузка============\r\n", 1)
    run, tail = rest.split("\r\n======Завершение загрузки=======", 1)
    return (head + "============Загрузка============\r\n{downloads}\r\n"
            "======Завершение загрузки=======" + tail, sorted(run.split("\r\n")))


class TypicalUseTest(ServedProgramTest):
    def setUp(self):
        super().setUp()
        demo_world.prepare_server(self.root, os.environ["VELTRANE_GUI_FIXTURE"])
        work = Path(tempfile.mkdtemp(prefix="veltrane-acceptance-"))
        self.addCleanup(shutil.rmtree, work, True)
        self.game = work / "game"
        demo_world.prepare_player(self.game, self.appdata)
        self.version_mods = self.game / "mods" / "1.12.2"

    def shot(self, step, hwnd):
        self.session.screenshot(step, rect=self.props(hwnd)["rect"])

    def test_typical_use_from_start_to_end(self):
        tools_before = self.fixture_windows()
        # The served manifest was made anew with the stand-ins' hashes, and signed.
        stand_in = Path(os.environ["VELTRANE_GUI_FIXTURE"]).read_bytes()
        manifest = (self.root / "Update").read_bytes()
        for key in (b"settingssha256=", b"forgesha256="):
            self.assertIn(key + hashlib.sha256(stand_in).hexdigest().encode(), manifest)
        self.assertEqual(len((self.root / "Update.sig").read_bytes()), 64)
        self.assert_pack_verifies()

        # 1. Shown compact; the start-up tick may already be growing it.
        app, main = self.start()
        width, height = self.size(main)
        self.assertEqual(width, COMPACT[0])
        self.assertTrue(COMPACT[1] <= height <= ACTIONS[1], height)

        # 2. The welcome text, the folder valid: the actions and both commands appear.
        self.wait_console(main, "Добро пожаловать :)")
        self.eventually(lambda: self.size(main), ACTIONS)
        self.assert_centred(main, ACTIONS)
        for text in ("Действия", "Forge Install", "Setups+"):
            self.assertTrue(self.props(self.control(main, text=text))["visible"], text)
        time.sleep(0.5)
        self.shot("actions", main)
        self.call("mouse", hwnd=self.control(main, text="Действия"), kind="move", x=3, y=60)
        self.eventually(lambda: self.size(main), WIDE)
        self.assert_centred(main, WIDE)

        # 3. The check.
        download = self.control(main, text="Запуск синхронизации")
        self.assertFalse(self.props(download)["enabled"])
        self.call("click", hwnd=self.control(main, text="Проверить совместимость"))
        self.wait_console(main, "Можно удалить файлов:")
        self.eventually(lambda: self.props(download)["enabled"], True)
        self.assertEqual(self.size(main), WIDE)
        time.sleep(0.5)
        self.shot("checked", main)

        # 4. A turbo run (the first start's default), slowed so that five bars can be seen.
        self.server.fault(path="*", slow=60000)
        self.call("click", hwnd=download)
        self.eventually(lambda: self.size(main), WIDE_FIVE_BARS)
        for bar in range(1014, 1019):
            self.assertTrue(self.props(self.control(main, id=bar))["visible"])
        time.sleep(1.0)
        self.shot("turbo", main)
        self.server.reset()  # the transfers under way stay slow, the next ones are not

        # 5. "Setups" is on: the tool is fetched and started; then the cleanup takes the window's
        # place. One removable file is kept, the other deleted.
        dialog = self.call("wait_window", cls="TProTarvoCompatibility2", visible=True,
                           timeout_ms=180000)["hwnd"]
        self.eventually(self.fixture_windows, tools_before + 1, timeout=30)
        self.eventually(lambda: self.size(dialog), DIALOG)
        self.assert_centred(dialog, DIALOG)
        self.assertFalse(self.props(main)["visible"])
        listbox = self.control(dialog, cls="ListBox")
        items = self.call("listbox", hwnd=listbox)["items"]
        self.assertEqual([(i["text"], i["data"]) for i in items], [(DELETED, 1), (KEPT, 1)])
        time.sleep(1.0)
        self.shot("cleanup", dialog)
        self.release(listbox, x=30, y=24)
        self.eventually(lambda: self.call("listbox", hwnd=listbox)["items"][1]["data"], 0)
        self.call("click", hwnd=self.control(dialog, text="Удалить"))
        self.wait_console(main, "Кол-во удаленных файлов: 1")
        self.eventually(lambda: self.size(main), WIDE)
        self.eventually(lambda: self.props(main)["visible"], True)
        self.assertFalse(self.props(dialog)["visible"])
        self.assertTrue(self.props(main)["enabled"])
        time.sleep(0.5)
        self.shot("done", main)

        text, run = split_run(mask_times(self.console(main)))
        self.assertEqual(text.split("\r\n"), CONSOLE.split("\n"))
        self.assertEqual(run, sorted("[T] Успешно: " + name for name in LOADED))

        # Every listed mod is in the version mods folder as the server has it, the stray copy
        # was moved there, the saved error page replaced, one removable file kept and stored.
        served = self.root / "mods3"
        expected = sorted(p.name for p in served.iterdir()) + [KEPT]
        self.assertEqual(sorted(p.name for p in self.version_mods.iterdir()), sorted(expected))
        for mod in served.iterdir():
            self.assertEqual((self.version_mods / mod.name).read_bytes(), mod.read_bytes(), mod)
        self.assertEqual(sorted(p.name for p in (self.game / "mods").iterdir()), ["1.12.2"])
        self.assertEqual((self.game / demo_world.TOOL).read_bytes(),
                         (self.root / demo_world.TOOL).read_bytes())
        settings = (self.data / "Settings.ini").read_bytes()
        self.assertIn(b"WhiteList=|" + KEPT.encode() + b"|", settings)
        self.assertNotIn(DELETED.encode(), settings)

        # 6. "Выход": the close fades the window out and the program ends with code 0.
        self.exit_fades_out(app, main)


if __name__ == "__main__":
    unittest.main()
