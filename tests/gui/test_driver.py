"""Drives the fixture window through the harness and the UI driver under Wine."""

import os
import tempfile
import time
import unittest
import urllib.error
import urllib.request
from pathlib import Path

import harness
from harness import FIXTURE_CLASS, OK_BUTTON

CANCEL_BUTTON = "Отмена"


class FixtureTest(harness.SessionTest):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.exe = Path(os.environ.get("VELTRANE_GUI_FIXTURE")
                       or cls.session.build_dir / "tests" / "gui" / "gui_fixture.exe")

    def start_fixture(self, args=(), env=None):
        app = self.session.launch(self.exe, args=args, env=env)
        self.addCleanup(app.kill)
        hwnd = self.call("wait_window", timeout_ms=30000, visible=True,
                         cls=FIXTURE_CLASS)["hwnd"]
        return app, hwnd

    def answer_box(self, window, button):
        self.call("click", hwnd=self.control(window, text="Спросить"))
        box = self.call("msgbox", caption="Вопрос", timeout_ms=10000)
        self.assertEqual(box["text"], "Текст?")
        self.assertEqual(box["buttons"], [OK_BUTTON, CANCEL_BUTTON])
        self.assertEqual(box["owner"], window)
        shot = self.session.screenshot("message-box")
        self.call("press", hwnd=box["hwnd"], button=button)
        self.call("wait_gone", hwnd=box["hwnd"], timeout_ms=10000)
        return shot


class WindowAndControls(FixtureTest):
    def test_reads_finds_and_operates_the_controls(self):
        mark = Path(tempfile.mkdtemp(prefix="veltrane-gui-mark-")) / "exit code.txt"
        self.addCleanup(lambda: mark.unlink(missing_ok=True) or mark.parent.rmdir())
        app, window = self.start_fixture(args=[harness.windows_path(mark)],
                                         env={"VELTRANE_FIXTURE_TITLE": "Окно «проверки»"})

        props = self.call("props", hwnd=window)
        self.assertEqual(props["text"], "Окно «проверки»")
        self.assertEqual(props["class"], FIXTURE_CLASS)
        self.assertTrue(props["visible"])
        self.assertEqual(props["rect"], {"x": 40, "y": 40, "w": 470, "h": 260})
        self.assertLess(props["client"]["w"], 470)
        self.assertTrue(self.call("process_alive", pid=props["pid"])["alive"])
        by_title = self.call("wait_window", title="Окно «проверки»", pid=props["pid"])["hwnd"]
        self.assertEqual(by_title, window)

        # A control inside the panel is found from the top window; a direct-only listing misses it.
        check = self.control(window, text="Запомнить")
        self.assertEqual(self.control(window, id=103), check)
        self.assertEqual(self.control(window, cls="Button", index=2), check)
        direct = [c["hwnd"] for c in self.call("children", hwnd=window, direct=True)["children"]]
        everything = self.call("children", hwnd=window)["children"]
        self.assertNotIn(check, direct)
        entry = next(c for c in everything if c["hwnd"] == check)
        self.assertEqual(entry["rect"], {"x": 8, "y": 8, "w": 180, "h": 22})
        self.assertEqual(entry["parent"], self.control(window, id=107))
        self.assertEqual(self.call("props", hwnd=check)["enabled"], True)
        missing = self.session.driver.try_call("find", parent=window, text="Нет", timeout_ms=100)
        self.assertEqual(missing, {"ok": False, "error": "no such control"})

        edit = self.control(window, id=102)
        self.assertEqual(self.call("text", hwnd=edit)["text"], "Привет, мир")
        self.assertEqual(self.call("props", hwnd=edit)["in_parent"],
                         {"x": 10, "y": 46, "w": 210, "h": 24})
        self.call("set_text", hwnd=edit, text="Ёж 🦔 \"кавычки\"\\")
        self.assertEqual(self.call("text", hwnd=edit)["text"], "Ёж 🦔 \"кавычки\"\\")

        self.assertEqual(self.call("check", hwnd=check)["check"], 0)
        self.call("click", hwnd=check)
        self.eventually(lambda: self.call("check", hwnd=check)["check"], 1)

        listbox = self.call("listbox", hwnd=self.control(window, id=105))
        self.assertEqual([(i["text"], i["data"]) for i in listbox["items"]],
                         [("один", 10), ("два", 20), ("три", 30)])
        self.assertEqual(listbox["selected"], -1)

        # One step moves the progress bar, fades the layered window and shows a hidden label.
        progress = self.control(window, id=104)
        done = self.control(window, id=109)
        layer = self.call("wait_window", timeout_ms=5000, cls="VeltraneGuiFixtureLayer")
        self.assertEqual(self.call("props", hwnd=layer["hwnd"])["owner"], window)
        self.assertEqual(self.call("progress", hwnd=progress),
                         {"ok": True, "low": 0, "high": 200, "pos": 0})
        self.assertEqual(self.call("alpha", hwnd=layer["hwnd"])["alpha"], 255)
        self.assertFalse(self.call("props", hwnd=done)["visible"])
        self.session.screenshot("before-step")
        self.call("click", hwnd=self.control(window, text="Шаг"))
        self.eventually(lambda: self.call("progress", hwnd=progress)["pos"], 40)
        alpha = self.call("alpha", hwnd=layer["hwnd"])
        self.assertEqual((alpha["layered"], alpha["alpha"]), (True, 204))
        self.assertTrue(self.call("props", hwnd=done)["visible"])
        self.assertFalse(self.call("alpha", hwnd=window)["layered"])

        self.answer_box(window, OK_BUTTON)
        self.assertEqual(app.wait(30), 1)
        self.call("wait_gone", hwnd=window, timeout_ms=5000)
        self.assertEqual(mark.read_text(), "1")
        self.assertEqual((self.session.appdata_dir() / "VeltraneGuiFixture" / "started.txt")
                         .read_text(), "started")

    def test_cancel_gives_its_own_exit_code_and_screenshots_are_images(self):
        app, window = self.start_fixture()
        shot = self.answer_box(window, CANCEL_BUTTON)
        self.assertEqual(app.wait(30), 2)
        with open(shot, "rb") as f:
            self.assertEqual(f.read(8), b"\x89PNG\r\n\x1a\n")
        self.assertTrue(shot.name.endswith("-message-box.png"))


class MouseAndKeys(FixtureTest):
    def canvas_text(self):
        return self.call("text", hwnd=self.canvas)["text"]

    def test_posted_and_real_input_reach_the_canvas(self):
        app, window = self.start_fixture()
        self.canvas = self.control(window, id=108)
        self.eventually(lambda: self.call("foreground")["hwnd"], window)
        for kind, button, x, y, seen in [
            ("down", "left", 12, 34, "lbuttondown 12,34"),
            ("up", "left", 13, 35, "lbuttonup 13,35"),
            ("dblclk", "left", 5, 6, "lbuttondblclk 5,6"),
            ("down", "right", 7, 8, "rbuttondown 7,8"),
            ("up", "right", 9, 10, "rbuttonup 9,10"),
            ("move", "left", 30, 40, "drag 30,40"),
        ]:
            self.call("mouse", hwnd=self.canvas, kind=kind, button=button, x=x, y=y)
            self.eventually(self.canvas_text, seen)

        # Real input goes through the screen: aim at a point of the canvas's client area.
        client = self.call("props", hwnd=self.canvas)["client"]
        self.call("real_mouse", kind="down", x=client["x"] + 20, y=client["y"] + 30)
        self.eventually(self.canvas_text, "lbuttondown 20,30")
        self.call("real_mouse", kind="up", x=client["x"] + 20, y=client["y"] + 30)
        self.eventually(self.canvas_text, "lbuttonup 20,30")

        # Killing the program ends the Windows process, not just a Linux wrapper.
        pid = self.call("props", hwnd=window)["pid"]
        app.kill()
        self.call("wait_gone", hwnd=window, timeout_ms=10000)
        self.assertFalse(self.call("process_alive", pid=pid)["alive"])


class DriverProtocol(FixtureTest):
    def test_failures_are_answered_and_the_driver_carries_on(self):
        driver = self.session.driver
        for line, error in [
            ("not json", "expected '{'"),
            ('{"cmd":"nope"}', "unknown command nope"),
            ('{"x":1}', "\"cmd\" is missing"),
            ('{"cmd":"text","hwnd":"abc"}', "\"hwnd\" must be a number"),
            ('{"cmd":"text","hwnd":1}', "\"hwnd\" is not a window"),
            ('{"cmd":"mouse","hwnd":1,"kind":"x"}', "\"hwnd\" is not a window"),
            ('{"cmd":"find","parent":{"a":1}}', "nested values are not accepted"),
        ]:
            answer = driver.send_line(line)
            self.assertEqual(answer, {"ok": False, "error": error}, line)
        started = time.monotonic()
        answer = driver.try_call("wait_window", timeout_ms=300, cls="NoSuchClass")
        self.assertFalse(answer["ok"])
        self.assertGreaterEqual(time.monotonic() - started, 0.3)
        with self.assertRaises(harness.DriverError):
            self.call("msgbox", caption="Нет такого окна", timeout_ms=100)
        self.assertTrue(self.call("sleep", ms=1)["ok"])
        self.assertEqual(self.call("process_alive", pid=0x7ffffff0)["alive"], False)

    def test_an_abandoned_call_does_not_answer_the_next_one(self):
        driver = self.session.driver
        with self.assertRaises(TimeoutError):
            driver.call("sleep", ms=1500, timeout=0.3)
        # The sleep's late {"ok": true} arrives first and must be skipped.
        self.assertEqual(self.call("process_alive", pid=driver.windows_pid),
                         {"ok": True, "alive": True, "exit_code": None})
        self.assertEqual(driver.send_line('{"cmd":"sleep","ms":0,"seq":41}', seq=41),
                         {"ok": True})

    def test_texts_arrive_escaped_or_raw(self):
        app, window = self.start_fixture()
        edit = self.control(window, id=102)
        self.session.driver.send_line(
            '{"cmd":"set_text","hwnd":%d,"text":"\\u0416\\ud83e\\udd94\\t\\"q\\""}' % edit)
        self.assertEqual(self.call("text", hwnd=edit)["text"], "Ж🦔\t\"q\"")
        self.call("set_text", hwnd=edit, text="ёж 2")
        self.assertEqual(self.call("text", hwnd=edit)["text"], "ёж 2")


class PathsAndServer(unittest.TestCase):
    def test_windows_path_names_the_linux_file_on_drive_z(self):
        self.assertEqual(harness.windows_path("/tmp/a b/с.txt"), "Z:\\tmp\\a b\\с.txt")

    def test_loopback_server_serves_faults_logs_and_stops(self):
        def fetch(path):
            try:
                with urllib.request.urlopen(server.url + path, timeout=10) as resp:
                    return resp.status, resp.read()
            except urllib.error.HTTPError as e:
                return e.code, e.read()

        with tempfile.TemporaryDirectory() as root, tempfile.TemporaryDirectory() as work:
            Path(root, "моды.txt").write_bytes(b"payload")
            server = harness.Server(root, work)
            try:
                self.assertEqual(fetch("/%D0%BC%D0%BE%D0%B4%D1%8B.txt"), (200, b"payload"))
                server.fault(path="/моды.txt", status=404, body="gone")
                self.assertEqual(fetch("/%D0%BC%D0%BE%D0%B4%D1%8B.txt"), (404, b"gone"))
                self.assertEqual(server.log(), ["/моды.txt", "/моды.txt"])
                server.reset()
                self.assertEqual(server.log(), [])
                self.assertEqual(fetch("/%D0%BC%D0%BE%D0%B4%D1%8B.txt"), (200, b"payload"))
            finally:
                server.stop()
            self.assertIsNotNone(server.proc.returncode)


if __name__ == "__main__":
    unittest.main()
