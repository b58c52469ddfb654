"""Start-up and the game folder, in the real program under Wine against the loopback server."""

import os
import shutil
import tempfile
import time
import unittest
from pathlib import Path

from program import MAIN_CLASS, OK_BUTTON, ServedProgramTest

CANCEL_BUTTON = "Отмена"


class StartupTest(ServedProgramTest):
    def announce(self, version, update=None):
        """Serves a manifest naming `version`, and `update` (bytes) as Update.exe when given."""
        (self.root / "Update").write_bytes(
            ("[Update]\r\nlastversion=%s\r\n" % version).encode("ascii"))
        if update is not None:
            (self.root / "Update.exe").write_bytes(update)
        self.seal()

    def new_program(self):
        """What an update serves: the fixture window, which shows whether it was started."""
        return Path(os.environ["VELTRANE_GUI_FIXTURE"]).read_bytes()

    def launch_copy(self, name="Veltrane Dravenna.exe"):
        """Starts a copy of the program in a folder of its own, so that an update may replace it;
        returns the process, the folder, the copy and the copy's bytes before the start."""
        folder = Path(tempfile.mkdtemp(prefix="veltrane-program-"))
        self.addCleanup(shutil.rmtree, folder, True)
        target = folder / name
        shutil.copy(self.exe, target)
        before = target.read_bytes()
        app = self.session.launch(target, cwd=folder)
        self.addCleanup(app.kill)
        return app, folder, target, before

    def accept_offer(self):
        offer = self.call("msgbox", caption="Обновление", timeout_ms=60000)
        self.call("press", hwnd=offer["hwnd"], button=OK_BUTTON)

    def press_error(self, text, screenshot=None):
        """Waits for the "Ошибка" box, checks its text and presses its button."""
        box = self.call("msgbox", caption="Ошибка", timeout_ms=60000)
        self.assertEqual(box["text"], text)
        if screenshot:
            self.session.screenshot(screenshot)
        self.call("press", hwnd=box["hwnd"], button=box["buttons"][0])

    def assert_program_kept(self, folder, target, before):
        """The program is as it was and nothing was left beside it."""
        self.assertEqual(target.read_bytes(), before)
        self.assertEqual(sorted(p.name for p in folder.iterdir()), [target.name])

    def assert_no_download_in_data_folder(self):
        data = self.appdata / "Pellwick" / "Veltrane"
        self.assertEqual(sorted(p.name for p in data.iterdir() if p.suffix == ".exe"), [])

    def starts_without_the_update(self, app, folder, target, before):
        """The "Ошибка" box of an update not put in place, then the main window; the program
        is as it was and no download is left beside it or in the data folder."""
        self.press_error("Не удалось установить файл обновления.\r\n"
                         "Программа будет запущена без обновления.", "update-not-placed")
        self.call("wait_window", cls=MAIN_CLASS, visible=True, timeout_ms=60000)
        self.assertTrue(app.alive())
        self.assert_program_kept(folder, target, before)
        self.assert_no_download_in_data_folder()

    def ends_after_a_failed_download(self, app, screenshot=None):
        self.press_error("Не удалось скачать файл обновления.\r\nПрограмма будет закрыта.",
                         screenshot)
        self.assertEqual(app.wait(30), 0)

    def start_fake_game(self, name, *args):
        """The fake game copied under `name` into a folder of its own and started with `args`."""
        folder = Path(tempfile.mkdtemp(prefix="veltrane-game-process-"))
        self.addCleanup(shutil.rmtree, folder, True)
        shutil.copy(os.environ["VELTRANE_FAKE_GAME"], folder / name)
        proc = self.session.launch(folder / name, args=args)
        self.addCleanup(proc.kill)
        return proc

    def warn_and_confirm(self):
        app, main = self.start()
        box = self.call("msgbox", caption="Предупреждение", timeout_ms=60000)
        self.call("press", hwnd=box["hwnd"], button=box["buttons"][0])
        return app, main

    def main_windows(self):
        return self.call("windows", cls=MAIN_CLASS)["windows"]

    def label_text(self, main):
        return self.call("text", hwnd=self.control(main, id=1004))["text"]

    def test_first_start_uses_the_default_folder_and_both_options(self):
        self.announce("1.2.6.3")
        app, main = self.start()
        edit = self.control(main, id=1003)
        self.eventually(lambda: self.call("text", hwnd=edit)["text"].endswith(
            "\\AppData\\Roaming\\.minecraft"), True)
        for caption in ("Турбо", "Setups"):
            self.assertEqual(self.call("check", hwnd=self.control(main, text=caption))["check"], 1)
        self.session.screenshot("first-start")

    def test_a_second_start_hands_over_to_the_first(self):
        self.announce("1.2.6.3")
        app, main = self.start()
        # The application's window, which owns the main window, carries the title.
        owner = self.props(main)["owner"]
        self.assertEqual(self.call("text", hwnd=owner)["text"], "Dravenna Update")
        second = self.session.launch(self.exe, cwd=self.cwd)
        self.assertEqual(second.wait(60), 0)
        self.assertEqual(len(self.main_windows()), 1)
        self.assertTrue(app.alive())

    def test_two_starts_a_moment_apart_open_one_window(self):
        # A double click on a slow machine: before the one-copy token, the second start often
        # found no window yet and opened its own.
        self.announce("1.2.6.3")
        for trial in range(20):
            with self.subTest(trial=trial):
                first = self.session.launch(self.exe, cwd=self.cwd)
                time.sleep(0.1)
                second = self.session.launch(self.exe, cwd=self.cwd)
                try:
                    self.call("wait_window", cls=MAIN_CLASS, visible=True, timeout_ms=60000)
                    self.eventually(lambda: first.alive() and second.alive(), False, timeout=30)
                    ended = second if not second.alive() else first
                    self.assertEqual(ended.wait(5), 0)
                    time.sleep(0.5)
                    self.assertEqual(len(self.main_windows()), 1)
                    self.assertTrue((first if ended is second else second).alive())
                finally:
                    first.kill()
                    second.kill()
                    self.eventually(self.main_windows, [])

    def serve_manifest(self, lines, update=None):
        (self.root / "Update").write_bytes("".join(l + "\r\n" for l in lines).encode("cp1251"))
        if update is not None:
            (self.root / "Update.exe").write_bytes(update)
        self.seal()

    def no_update_box_then_the_window(self):
        app, main = self.start()
        self.assertEqual(self.call("windows", cls="#32770")["windows"], [])
        return app, main

    def test_an_older_signed_manifest_is_refused_and_changes_nothing(self):
        # The current pack, serial 2: taken, and its serial kept.
        game = self.make_game_folder()
        version_mods = game / "mods" / "1.12.2"
        version_mods.mkdir(parents=True)
        (version_mods / "new.jar").write_bytes(b"a mod of the current pack")
        self.serve_manifest(["[Update]", "lastversion=1.2.6.3", "serial=2"])
        app, main = self.start()
        self.eventually(lambda: (self.data / "Update.serial").exists(), True)
        app.kill()
        self.eventually(self.main_windows, [])
        # A host replays the signed pack of serial 1: an older program and a removal list.
        self.serve_manifest(["[Update]", "lastversion=1.2.6.2", "serial=1", "[dellist]",
                             "Count=1", "mod1=new.jar"], update=self.new_program())
        app, main = self.no_update_box_then_the_window()
        self.call("mouse", hwnd=self.control(main, text="Действия"), kind="move", x=3, y=60)
        self.call("click", hwnd=self.control(main, text="Проверить совместимость"))
        self.wait_console(main, "он не принят.")
        self.assertRegex(self.console(main),
                         r"\[\d{1,2}:\d{2}:\d{2}\] Конфиг сервера старее уже полученного "
                         r"\(выпуск 1 < 2\), он не принят\.")
        self.assertNotIn("Можно удалить", self.console(main))
        self.assertFalse(self.props(self.control(main, text="Запуск синхронизации"))["enabled"])
        self.assertTrue((version_mods / "new.jar").exists())
        self.assertFalse(self.server.log().count("/Update.exe"))
        self.session.screenshot("older-manifest-refused")

    def test_an_expired_manifest_offers_no_update_but_its_mods_still_sync(self):
        (self.root / "mods3").mkdir()
        (self.root / "mods3" / "a.jar").write_bytes(b"mod a" * 100)
        self.serve_manifest(["[Update]", "lastversion=1.2.7", "serial=3", "expires=2001-06-01",
                             "[modlist]", "Count=1", "mod1=a.jar"], update=self.new_program())
        game = self.make_game_folder()
        app, main = self.no_update_box_then_the_window()
        self.call("mouse", hwnd=self.control(main, text="Действия"), kind="move", x=3, y=60)
        # The settings are loaded (and the welcome shown) on the first tick: act after it.
        self.wait_console(main, "Добро пожаловать")
        self.release(self.control(main, text="Setups"))
        self.wait_console(main, "Дополнительные настройки больше не откроются.")
        self.call("click", hwnd=self.control(main, text="Проверить совместимость"))
        self.wait_console(main, "Отсутствуют моды: 1 шт.")
        self.assertIn("] Срок действия конфига сервера истёк 01.06.2001: обновление программы не "
                      "предлагается.", self.console(main))
        self.call("click", hwnd=self.control(main, text="Запуск синхронизации"))
        mod = game / "mods" / "1.12.2" / "a.jar"
        self.eventually(lambda: mod.exists() and mod.read_bytes(), b"mod a" * 100)
        self.assertFalse(self.server.log().count("/Update.exe"))

    def test_cancel_on_the_update_offer_ends_without_a_window(self):
        self.announce("1.2.7", update=b"x" * 1536)
        app = self.session.launch(self.exe, cwd=self.cwd)
        self.addCleanup(app.kill)
        box = self.call("msgbox", caption="Обновление", timeout_ms=60000)
        self.assertEqual(box["text"], "Программа будет автоматически обновлена.\r\n"
                         "Размер обновления: 1,5 Кб\r\n\r\nДля продолжения нажмите ОК")
        self.assertEqual(box["buttons"], [OK_BUTTON, CANCEL_BUTTON])
        self.session.screenshot("update-offer")
        self.call("press", hwnd=box["hwnd"], button=CANCEL_BUTTON)
        self.assertEqual(app.wait(30), 0)
        self.assertEqual(self.main_windows(), [])

    def test_ok_replaces_the_program_and_starts_the_new_one(self):
        self.announce("1.2.7", update=self.new_program())
        self.assert_pack_verifies()
        app, folder, target, _ = self.launch_copy()
        self.accept_offer()
        self.assertEqual(app.wait(60), 0)
        # The served program, started under its final name, shows its window.
        self.call("wait_window", cls="VeltraneGuiFixture", timeout_ms=60000)
        final = folder / "Veltrane Dravenna v1.2.7.exe"
        self.eventually(lambda: final.exists() and not target.exists(), True, timeout=60)
        self.assertEqual(final.read_bytes(), self.new_program())
        self.assertEqual(self.main_windows(), [])

    def test_a_failed_update_download_is_reported_and_ends_the_program(self):
        # Sealed with its hash, as only a published update is offered; then gone: a 404.
        self.announce("1.2.7", update=b"MZ gone")
        (self.root / "Update.exe").unlink()
        app, folder, target, before = self.launch_copy()
        self.accept_offer()
        self.ends_after_a_failed_download(app)
        self.assert_program_kept(folder, target, before)

    def test_an_update_changed_after_sealing_is_refused_and_the_program_stays(self):
        self.announce("1.2.7", update=self.new_program())
        self.tamper("Update.exe")
        # Programs started by earlier tests in this prefix may still be there.
        fixtures = len(self.call("windows", cls="VeltraneGuiFixture")["windows"])
        app, folder, target, before = self.launch_copy()
        self.accept_offer()
        self.ends_after_a_failed_download(app, "tampered-update-refused")
        self.assertEqual(len(self.call("windows", cls="VeltraneGuiFixture")["windows"]), fixtures)
        self.assert_program_kept(folder, target, before)
        self.assert_no_download_in_data_folder()

    def test_a_manifest_changed_after_sealing_offers_no_update(self):
        self.announce("1.2.7", update=self.new_program())
        self.tamper("Update")
        app, folder, target, before = self.launch_copy()
        self.call("wait_window", cls=MAIN_CLASS, visible=True, timeout_ms=60000)
        self.assertEqual(self.call("windows", cls="#32770")["windows"], [])
        self.assertNotIn("/Update.exe", self.server.log())
        self.assertTrue(app.alive())
        self.assert_program_kept(folder, target, before)
        data = self.appdata / "Pellwick" / "Veltrane"
        self.assertFalse((data / "Update.ini").exists())

    def test_an_update_that_is_no_program_is_refused_and_the_program_starts(self):
        # A 200 answer carrying a page instead of the program.
        self.announce("1.2.7", update=b"<html><body>Hosting: file moved</body></html>")
        app, folder, target, before = self.launch_copy()
        self.accept_offer()
        self.starts_without_the_update(app, folder, target, before)

    def test_a_program_name_the_batch_cannot_carry_starts_without_the_update(self):
        self.announce("1.2.7", update=self.new_program())
        app, folder, target, before = self.launch_copy("Veltrane & Dravenna.exe")
        # Known before the offer: the error box comes first, nothing is downloaded.
        self.starts_without_the_update(app, folder, target, before)

    def test_launcher_configuration_names_a_valid_folder(self):
        self.announce("1.2.6.3")
        game = self.make_game_folder(Path(tempfile.mkdtemp(prefix="veltrane-game-")))
        self.addCleanup(shutil.rmtree, game, True)
        escaped = self.session.windows_path(game).replace("\\", "\\\\").replace(":", "\\:")
        (self.appdata / ".tlauncher").mkdir(parents=True, exist_ok=True)
        (self.appdata / ".tlauncher" / "legacy.properties").write_bytes(
            ("#TLauncher\nminecraft.gamedir=%s\n" % escaped).encode("cp1251"))
        app, main = self.start()
        self.eventually(lambda: self.size(main), (406, 294))
        rect = self.props(main)["rect"]
        self.assertEqual((rect["x"], rect["y"]), (1280 // 2 - 406 // 2, 1024 // 2 - 294 // 2))
        self.assertEqual(self.label_text(main), "Правильная директория!")
        self.assertTrue(self.props(self.control(main, text="Setups+"))["visible"])
        self.assertTrue(self.props(self.control(main, text="Forge Install"))["visible"])
        self.session.screenshot("launcher-folder")

    def test_versions_without_the_game_version_and_a_folder_turning_invalid(self):
        self.announce("1.2.6.3")
        game = self.make_game_folder(version=False)
        app, main = self.start()
        self.eventually(lambda: self.label_text(main), "Версия 1.12.2 отсутствует!")
        self.assertEqual(self.size(main), (406, 133))
        (game / "versions" / "1.12.2").mkdir()
        self.eventually(lambda: self.size(main), (406, 294))
        self.call("mouse", hwnd=self.control(main, text="Действия"), kind="move", x=3, y=60)
        self.eventually(lambda: self.size(main), (830, 294))
        shutil.rmtree(game / "assets")
        self.eventually(lambda: self.size(main), (406, 133))
        self.assertEqual(self.label_text(main), "Неправильный путь к папке с игрой!")

    def test_a_running_game_is_warned_about_and_only_its_process_is_closed(self):
        self.announce("1.2.6.3")
        self.make_game_folder()
        other = self.start_fake_game("javaw.exe")
        game = self.start_fake_game("javaw.exe", "LWJGL", "Minecraft 1.12.2")
        self.call("wait_window", cls="LWJGL", timeout_ms=30000)
        app, main = self.start()
        box = self.call("msgbox", caption="Предупреждение", timeout_ms=60000)
        self.assertTrue(box["text"].startswith("Пожалуйста не запускайте игру\r\n"))
        self.session.screenshot("game-warning")
        time.sleep(2.5)  # the watch is paused while the warning is open: still one box
        self.assertEqual(len(self.call("windows", cls="#32770")["windows"]), 1)
        self.call("press", hwnd=box["hwnd"], button=box["buttons"][0])
        game.wait(30)
        self.assertFalse(game.alive())
        time.sleep(2)
        self.assertTrue(other.alive())
        self.assertTrue(app.alive())

    def test_a_game_window_owned_by_another_program_is_not_ended(self):
        self.announce("1.2.6.3")
        self.make_game_folder()
        java = self.start_fake_game("javaw.exe")
        notes = self.start_fake_game("notes.exe", "LWJGL", "Minecraft 1.12.2")
        self.call("wait_window", cls="LWJGL", timeout_ms=30000)
        app, main = self.warn_and_confirm()
        time.sleep(3)
        self.assertTrue(notes.alive())
        self.assertTrue(java.alive())
        self.assertTrue(app.alive())

    def test_a_hung_game_is_ended_without_hanging_the_window(self):
        self.announce("1.2.6.3")
        self.make_game_folder()
        game = self.start_fake_game("javaw.exe", "LWJGL", "Minecraft 1.12.2", "hang")
        self.call("wait_window", cls="LWJGL", timeout_ms=30000)
        app, main = self.warn_and_confirm()
        game.wait(30)
        self.assertFalse(game.alive())
        # The window answers (the driver gives up on a window that does not within 3 s).
        self.assertEqual(self.label_text(main), "Правильная директория!")
        self.assertTrue(app.alive())


if __name__ == "__main__":
    unittest.main()
