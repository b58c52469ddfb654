"""The main window in its real form under Wine: its size modes, its console and its close."""

import time
import unittest

from program import CONSOLE_ID, MAIN_CLASS, ProgramTest


class MainWindowTest(ProgramTest):
    def test_compact_at_start_while_the_folder_is_invalid(self):
        app, main = self.start()
        props = self.props(main)
        self.assertEqual(props["class"], MAIN_CLASS)
        self.assertEqual(props["text"], "Veltrane v1.2.6 - Dravenna 1.12.2")
        label = self.control(main, text="Неправильный путь к папке с игрой!")
        self.eventually(lambda: self.call("text", hwnd=label)["text"],
                        "Неправильный путь к папке с игрой!")
        time.sleep(1.5)  # a validation has run: still compact
        self.assertEqual(self.size(main), (406, 133))
        # No actions, and the validation hid both commands of a valid folder.
        for text in ("Действия", "Forge Install", "Setups+"):
            self.assertFalse(self.props(self.control(main, text=text))["visible"], text)
        self.session.screenshot("compact", rect=self.props(main)["rect"])

    def test_valid_folder_grows_and_the_actions_frame_widens(self):
        self.make_game_folder()
        app, main = self.start()
        self.eventually(lambda: self.size(main), (406, 294))
        self.assertTrue(self.props(self.control(main, text="Setups+"))["visible"])
        actions = self.control(main, text="Действия")
        check = self.control(main, text="Проверить совместимость")
        self.call("mouse", hwnd=check, kind="move", x=20, y=20)
        time.sleep(1.0)
        self.assertEqual(self.size(main), (406, 294))  # a move over a button does not widen
        self.session.screenshot("actions")
        self.call("mouse", hwnd=actions, kind="move", x=3, y=60)
        self.eventually(lambda: self.size(main), (830, 294))
        status = self.control(main, text="Статус")
        self.assertTrue(self.props(status)["visible"])
        self.assert_centred(main, (830, 294))
        self.session.screenshot("wide")

    def test_status_file_then_exit_fades_out_and_ends_with_code_0(self):
        self.make_game_folder()
        app, main = self.start()
        self.wait_console(main, "Добро пожаловать")
        self.call("mouse", hwnd=self.control(main, id=CONSOLE_ID), kind="dblclk", x=10, y=10)
        status_file = self.cwd / "Veltrane - Статус.txt"
        self.eventually(status_file.exists, True)
        time.sleep(0.5)
        data = status_file.read_bytes()
        lines = data.split(b"\r\n")
        self.assertEqual(lines[-1], b"")  # every line ends in CR LF
        self.assertTrue(lines[0].startswith(b"["))
        self.assertIn("Добро пожаловать :)".encode("cp1251"), lines[0])
        self.assertEqual(lines[3], "ваш клиент Minecraft с сервером Dravenna 1.12.2.".encode("cp1251"))
        self.assertNotIn(b"\xd0", data)  # not UTF-8

        self.exit_fades_out(app, main)


if __name__ == "__main__":
    unittest.main()
