"""Transfers on a line that trickles, in the real window under Wine against the loopback server:
the window answers throughout every kind of transfer, and a close during one ends the program
within seconds, the transfer stopped and nothing of it kept. At start, a manifest that trickles
holds the window back for a bounded time only."""

import os
import time
import unittest
from pathlib import Path

from program import MAIN_CLASS, ServedProgramTest

FORGE = "forge-1.12.2-14.23.2.2629-installer-win.exe"
TRICKLE = 2  # bytes a second: no transfer here could end while a test looks


class SlowLinkTest(ServedProgramTest):
    def setUp(self):
        super().setUp()
        (self.root / "mods3").mkdir()
        self.mods = ["slow-%d.jar" % i for i in range(1, 7)]
        lines = ["[Update]", "lastversion=1.2.6.3", "[modlist]", "Count=%d" % len(self.mods)]
        for i, name in enumerate(self.mods, 1):
            body = bytes([i]) * 50000
            (self.root / "mods3" / name).write_bytes(body)
            lines += ["mod%d=%s" % (i, name), "mod%dsize=%d" % (i, len(body))]
        (self.root / "Update").write_bytes("".join(l + "\r\n" for l in lines).encode("ascii"))
        (self.root / FORGE).write_bytes(Path(os.environ["VELTRANE_GUI_FIXTURE"]).read_bytes())
        self.seal()
        self.game = self.make_game_folder()
        self.version_mods = self.game / "mods" / "1.12.2"
        self.version_mods.mkdir(parents=True)

    def check(self, main):
        self.call("click", hwnd=self.control(main, text="Проверить совместимость"))
        self.wait_console(main, "Можно удалить файлов:")

    def answers_then_closes(self, app, main, path, shot):
        """Once `path` is being served, the window answers for two seconds; then a close ends
        the program within seconds."""
        self.eventually(lambda: path in self.server.log(), True, timeout=60)
        time.sleep(0.5)
        for _ in range(10):
            answer = self.call("answers", hwnd=main, timeout_ms=1000)
            self.assertTrue(answer["answered"], "the window did not answer while %s came" % path)
            time.sleep(0.2)
        self.session.screenshot(shot)
        self.call("close", hwnd=main)
        self.assertEqual(app.wait(15), 0)

    def test_the_window_answers_and_closes_during_every_kind_of_transfer(self):
        def slow(path):
            self.server.reset()  # the log too: only what comes now counts
            self.server.fault(path=path, slow=TRICKLE)

        def check(main):
            slow("/Update")
            self.call("click", hwnd=self.control(main, text="Проверить совместимость"))
            return "/Update"

        def one_stream_run(main):
            self.release(self.control(main, text="Турбо"))
            self.check(main)
            slow("*")
            self.call("click", hwnd=self.control(main, text="Запуск синхронизации"))
            return "/mods3/" + self.mods[0]

        def turbo_run(main):
            self.check(main)
            slow("*")
            self.call("click", hwnd=self.control(main, text="Запуск синхронизации"))
            return "/mods3/" + self.mods[-5]  # the fifth worker's

        def forge(main):
            slow("/" + FORGE)
            self.release(self.control(main, text="Forge Install"))
            return "/" + FORGE

        for start in (check, one_stream_run, turbo_run, forge):
            with self.subTest(start.__name__):
                self.server.reset()
                (self.data / "Settings.ini").unlink(missing_ok=True)  # both options on again
                app, main = self.start_wide()
                try:
                    path = start(main)
                    self.answers_then_closes(app, main, path, start.__name__)
                    # Nothing of the stopped transfers is left, under any name.
                    self.assertEqual(sorted(p.name for p in self.version_mods.iterdir()), [])
                    self.assertEqual(sorted(p.name for p in self.game.iterdir()),
                                     ["assets", "mods", "versions"])
                finally:
                    app.kill()  # a case that failed leaves no window for the next to meet
                    self.eventually(lambda: self.call("windows", cls=MAIN_CLASS)["windows"], [])

    def test_a_trickling_manifest_holds_the_start_for_ten_seconds_at_most(self):
        # 200 bytes at 2 a second: the manifest alone would take 100 s.
        (self.root / "Update").write_bytes(b"[Update]\r\nlastversion=1.2.6.3\r\n" + b";" * 170 + b"\r\n")
        self.seal()
        self.server.fault(path="/Update", slow=TRICKLE)
        started = time.monotonic()
        app, main = self.start()
        self.assertLess(time.monotonic() - started, 40)
        self.assertIn("/Update", self.server.log())
        self.assertFalse((self.data / "Update.ini").exists())  # nothing half-fetched is kept
        self.assertTrue(app.alive())


if __name__ == "__main__":
    unittest.main()
