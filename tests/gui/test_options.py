"""The option check boxes and the change log in the real window under Wine."""

import time
import unittest

from program import ProgramTest


class OptionsTest(ProgramTest):
    def settings(self):
        path = self.data / "Settings.ini"
        return path.read_bytes().decode("cp1251") if path.exists() else ""

    def test_toggles_log_their_texts_and_store_the_settings(self):
        self.make_game_folder()
        app, main = self.start()
        self.eventually(lambda: self.size(main), (406, 294))
        turbo = self.control(main, text="Турбо")
        setups = self.control(main, text="Setups")

        self.release(turbo)
        self.eventually(lambda: self.call("check", hwnd=turbo)["check"], 0)
        self.eventually(lambda: "Turbo=0" in self.settings(), True)
        self.assertIn("GameFolder=C:\\users\\", self.settings())
        self.release(turbo)
        self.eventually(lambda: "Turbo=1" in self.settings(), True)
        # Another button leaves the box as it is, yet logs its state and saves.
        self.release(setups, button="right")
        self.eventually(lambda: "ExtraOptions=1" in self.settings(), True)
        self.assertEqual(self.call("check", hwnd=setups)["check"], 1)
        self.release(setups)
        self.eventually(lambda: "ExtraOptions=0" in self.settings(), True)

        lines = self.console(main).split("\r\n")
        heads = [i for i, line in enumerate(lines) if line == " "]
        self.assertEqual(len(heads), 4)
        texts = [lines[i + 1] for i in heads]
        self.assertRegex(texts[0], r"^\[\d{1,2}:\d\d:\d\d\] Режим турбо деактивирован\.$")
        self.assertRegex(texts[1], r"^\[\d{1,2}:\d\d:\d\d\] Режим турбо снова активен!$")
        self.assertRegex(texts[2], r"^\[\d{1,2}:\d\d:\d\d\]    Доп\. настройки будут открыты")
        self.assertRegex(texts[3], r"^\[\d{1,2}:\d\d:\d\d\]    Дополнительные настройки больше")
        self.assertEqual(lines[heads[1] + 2], "   Наслаждайтесь скоростью:)")

    def test_change_log_is_written_for_notepad(self):
        app, main = self.start()
        item = self.control(main, text="ChangeLog")
        self.assertFalse(self.props(item)["visible"])
        self.release(item)
        path = self.cwd / "Veltrane - ChangeLog.txt"
        self.eventually(path.exists, True)
        time.sleep(0.5)
        data = path.read_bytes()
        lines = data.split(b"\r\n")
        self.assertEqual(len(lines), 28)
        self.assertEqual(lines[0], b"ChangeLog Veltrane")
        self.assertEqual(lines[1], "[v1.2.6] [11 Марта 2018]".encode("cp1251"))
        self.assertEqual(lines[26], "- * Программа оптимизирована под сервер MineCraft Dravenna "
                                    "1.10.2.".encode("cp1251"))
        self.assertEqual(lines[27], b"")


if __name__ == "__main__":
    unittest.main()
