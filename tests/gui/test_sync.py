"""The synchronisation in the real window under Wine against the loopback server: the check, a
turbo run with five bars and one failing transfer, the cleanup dialog, a one-stream run."""

import contextlib
import os
import subprocess
import time
import unittest
from pathlib import Path

from program import ServedProgramTest


@contextlib.contextmanager
def read_only(folder):
    """The folder refuses every change meanwhile, as a drive the player may not write. Root
    passes over permissions, so as root it is bind-mounted read-only onto itself."""
    if os.geteuid() == 0:
        subprocess.run(["mount", "--bind", str(folder), str(folder)], check=True)
        try:
            subprocess.run(["mount", "-o", "remount,bind,ro", str(folder)], check=True)
            yield
        finally:
            subprocess.run(["umount", str(folder)], check=True)
    else:
        os.chmod(folder, 0o555)
        try:
            yield
        finally:
            os.chmod(folder, 0o755)


class SyncTest(ServedProgramTest):
    def setUp(self):
        super().setUp()
        (self.root / "mods3").mkdir()
        self.mods = ["mod%02d.jar" % i for i in range(1, 13)]
        lines = ["[Update]", "lastversion=1.2.6.3", "[modlist]", "Count=12"]
        for i, name in enumerate(self.mods, 1):
            body = bytes([i]) * (40000 + i)
            (self.root / "mods3" / name).write_bytes(body)
            lines += ["mod%d=%s" % (i, name), "mod%dsize=%d" % (i, len(body))]
        lines += ["[dellist]", "Count=2", "mod1=old-a.jar", "mod2=old-b.jar"]
        manifest = "".join(line + "\r\n" for line in lines)
        (self.root / "Update").write_bytes(manifest.encode("cp1251"))
        self.tool = Path(os.environ["VELTRANE_GUI_FIXTURE"]).read_bytes()
        (self.root / "Settingss.exe").write_bytes(self.tool)
        self.seal()
        self.game = self.make_game_folder()
        self.version_mods = self.game / "mods" / "1.12.2"
        self.version_mods.mkdir(parents=True)

    def body(self, name):
        return (self.root / "mods3" / name).read_bytes()

    def test_check_then_turbo_run_then_cleanup_keeping_one_file(self):
        (self.root / "mods3" / "mod05.jar").unlink()  # the server lacks one: its transfer fails
        (self.version_mods / "old-a.jar").write_bytes(b"a")
        (self.version_mods / "old-b.jar").write_bytes(b"b")
        app, main = self.start_wide()
        self.release(self.control(main, text="Setups"))  # no extra tool after this run
        self.call("click", hwnd=self.control(main, text="Проверить совместимость"))
        self.wait_console(main, "Можно удалить файлов: 2 шт.")
        self.assertIn("Отсутствуют моды: 12 шт.", self.console(main))
        download = self.control(main, text="Запуск синхронизации")
        self.assertTrue(self.props(download)["enabled"])
        self.session.screenshot("checked")

        self.server.fault(path="*", slow=40000)  # about a second per mod: the bars can be seen
        self.call("click", hwnd=download)
        self.eventually(lambda: self.size(main), (830, 317))
        time.sleep(0.6)
        for bar in range(1014, 1019):
            self.assertTrue(self.props(self.control(main, id=bar))["visible"])
        self.session.screenshot("turbo-five-bars")
        dialog = self.call("wait_window", cls="TProTarvoCompatibility2", visible=True,
                           timeout_ms=180000)["hwnd"]
        text = self.console(main)
        self.assertIn("Объем загруженых файлов(11 из 12)", text)
        self.assertIn("! Не все файлы были загружены !", text)
        self.assertIn(" ! Ошибка загрузки: mod05.jar", text)
        for name in self.mods:
            if name != "mod05.jar":
                self.assertTrue((self.version_mods / name).exists(), name)
        self.server.reset()

        listbox = self.control(dialog, cls="ListBox")
        items = self.call("listbox", hwnd=listbox)["items"]
        self.assertEqual([i["text"] for i in items], ["old-a.jar", "old-b.jar"])
        self.assertEqual([i["data"] for i in items], [1, 1])
        time.sleep(1.0)
        self.session.screenshot("cleanup")
        self.release(listbox, x=30, y=24)  # the second item: keep old-b.jar
        self.eventually(lambda: self.call("listbox", hwnd=listbox)["items"][1]["data"], 0)
        self.call("click", hwnd=self.control(dialog, text="Удалить"))
        self.wait_console(main, "Кол-во удаленных файлов: 1")
        self.assertFalse((self.version_mods / "old-a.jar").exists())
        self.assertTrue((self.version_mods / "old-b.jar").exists())
        settings = (self.data / "Settings.ini").read_bytes()
        self.assertIn(b"old-b.jar", settings)
        self.assertNotIn(b"old-a.jar", settings)
        self.eventually(lambda: self.size(main), (830, 294))
        self.assertTrue(self.props(main)["enabled"])
        # "Setups" was off: the extra tool was neither fetched nor started.
        self.assertFalse((self.game / "Settingss.exe").exists())
        self.assertNotIn("/Settingss.exe", self.server.log())

    def test_one_stream_run_takes_a_stray_copy_from_the_mods_folder(self):
        self.assert_pack_verifies()
        # The copies on disk are the published ones: the sealed manifest holds their hashes.
        for name in self.mods:
            if name not in ("mod02.jar", "mod03.jar"):
                (self.version_mods / name).write_bytes(self.body(name))
        (self.game / "mods" / "mod03.jar").write_bytes(self.body("mod03.jar"))
        (self.game / "Settingss.exe").write_bytes(b"an old tool")
        app, main = self.start_wide()
        self.release(self.control(main, text="Турбо"))
        tools_before = self.fixture_windows()
        self.call("click", hwnd=self.control(main, text="Проверить совместимость"))
        self.wait_console(main, "Можно удалить файлов: 0 шт.")
        # The check itself moved the stray copy, so only mod02 is missing.
        self.assertIn("Отсутствуют моды: 1 шт.", self.console(main))
        (self.game / "mods" / "mod02.jar").write_bytes(self.body("mod02.jar"))
        self.call("click", hwnd=self.control(main, text="Запуск синхронизации"))
        self.wait_console(main, "Объем загруженых файлов(1 из 1)")
        self.assertIn("Уже существует: mod02.jar", self.console(main))
        self.assertEqual((self.version_mods / "mod02.jar").read_bytes(), self.body("mod02.jar"))
        self.assertEqual((self.version_mods / "mod03.jar").read_bytes(), self.body("mod03.jar"))
        self.assertNotIn("/mods3/mod02.jar", self.server.log())
        self.eventually(lambda: self.props(main)["enabled"], True)
        self.eventually(lambda: self.size(main), (830, 294))
        # "Setups" was on: the run ended by fetching the extra tool afresh and starting it.
        self.assertEqual((self.game / "Settingss.exe").read_bytes(), self.tool)
        self.eventually(self.fixture_windows, tools_before + 1, timeout=30)

    def test_a_mod_changed_after_sealing_is_refused_and_an_outdated_copy_replaced(self):
        self.tamper("mods3/mod07.jar")
        (self.version_mods / "mod01.jar").write_bytes(b"an older release")
        app, main = self.start_wide()
        self.release(self.control(main, text="Setups"))
        self.call("click", hwnd=self.control(main, text="Проверить совместимость"))
        self.wait_console(main, "Можно удалить файлов: 0 шт.")
        self.assertIn(" ! Устаревший файл: mod01.jar\r\n* Отсутствует: mod01.jar", self.console(main))
        self.assertIn("Отсутствуют моды: 12 шт.", self.console(main))
        self.call("click", hwnd=self.control(main, text="Запуск синхронизации"))
        self.wait_console(main, "Объем загруженых файлов(11 из 12)")
        self.assertIn(" ! Ошибка загрузки: mod07.jar", self.console(main))
        self.session.screenshot("tampered-mod-refused")
        self.assertEqual((self.version_mods / "mod01.jar").read_bytes(), self.body("mod01.jar"))
        # Nothing of the refused body is kept, under its name or any other.
        self.assertEqual(sorted(p.name for p in self.version_mods.iterdir()),
                         [name for name in self.mods if name != "mod07.jar"])
        self.eventually(lambda: self.props(main)["enabled"], True)

    def test_a_mods_folder_it_cannot_write_is_never_reported_as_fine(self):
        for name in self.mods:
            (self.version_mods / name).write_bytes(self.body(name))
        (self.version_mods / "mod02.jar").write_bytes(b"404: Not Found")
        (self.version_mods / "mod03.jar").write_bytes(b"an older release")
        (self.version_mods / "old-a.jar").write_bytes(b"a")
        app, main = self.start_wide()
        self.release(self.control(main, text="Турбо"))
        self.release(self.control(main, text="Setups"))
        with read_only(self.version_mods):
            self.call("click", hwnd=self.control(main, text="Проверить совместимость"))
            self.wait_console(main, "Можно удалить файлов: 1 шт.")
            console = self.console(main)
            self.assertIn(" ! Поврежденный файл: mod02.jar\r\nОшибка удаления мода: mod02.jar\r\n"
                          "* Отсутствует: mod02.jar", console)
            self.assertIn(" ! Устаревший файл: mod03.jar\r\nОшибка удаления мода: mod03.jar\r\n"
                          "* Отсутствует: mod03.jar", console)
            self.call("click", hwnd=self.control(main, text="Запуск синхронизации"))
            self.wait_console(main, "Объем загруженых файлов(0 из 2)")
            self.assertIn(" ! Ошибка загрузки: mod02.jar", self.console(main))
            dialog = self.call("wait_window", cls="TProTarvoCompatibility2", visible=True,
                               timeout_ms=60000)["hwnd"]
            self.call("click", hwnd=self.control(dialog, text="Удалить"))
            self.wait_console(main, "Ошибка удаления мода: old-a.jar")
        self.eventually(lambda: self.size(main), (830, 294))
        time.sleep(1.0)
        self.session.screenshot("read-only-mods", rect=self.props(main)["rect"])
        self.assertNotIn("Удален мод: old-a.jar", self.console(main))
        self.assertTrue((self.version_mods / "old-a.jar").exists())

    def test_a_manifest_changed_after_sealing_is_not_taken(self):
        self.tamper("Update")
        app, main = self.start_wide()  # start-up took nothing either: no update offered
        self.call("click", hwnd=self.control(main, text="Проверить совместимость"))
        self.wait_console(main, "Ошибка загрузки конфига.")
        console = self.console(main)
        self.assertRegex(console, r"=====Проверка совместимости=====\r\n"
                         r"\[\d{1,2}:\d{2}:\d{2}\]  ! Подпись конфига не подтверждена\.\r\n"
                         r"\[\d{1,2}:\d{2}:\d{2}\] Ошибка загрузки конфига\.")
        self.session.screenshot("tampered-manifest-refused")
        self.assertFalse((self.data / "Update.ini").exists())
        self.assertFalse((self.data / "Update.sig").exists())
        self.assertFalse(self.props(self.control(main, text="Запуск синхронизации"))["enabled"])
        self.assertTrue(self.props(main)["enabled"])
        self.assertFalse(any(path.startswith("/mods3/") for path in self.server.log()))


if __name__ == "__main__":
    unittest.main()
