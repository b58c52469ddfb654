"""Starting the real program in a prepared prefix, for the end-to-end tests."""

import os
import shutil
import tempfile
import time
import unittest
from pathlib import Path
from urllib.parse import urlparse

import harness

MAIN_CLASS = "TProTarvoCompatibility"
CONSOLE_ID = 1013  # the status console's control id
OK_BUTTON = "\u041e\u041a"  # Wine's Russian message boxes spell OK in Cyrillic


def program_exe(session):
    return Path(os.environ.get("VELTRANE_PROGRAM")
                or session.build_dir / "src" / "Veltrane Dravenna.exe")


class ProgramTest(unittest.TestCase):
    """One session (display, prefix, driver) per test class; a fresh %APPDATA% per test."""

    @classmethod
    def setUpClass(cls):
        cls.session = harness.Session(name=cls.__name__)
        cls.exe = program_exe(cls.session)

    @classmethod
    def tearDownClass(cls):
        cls.session.close()

    def setUp(self):
        self.appdata = self.session.appdata_dir()
        for name in ("Pellwick", ".minecraft", ".tlauncher"):
            shutil.rmtree(self.appdata / name, ignore_errors=True)
        self.cwd = Path(tempfile.mkdtemp(prefix="veltrane-cwd-"))
        self.addCleanup(shutil.rmtree, self.cwd, True)

    def call(self, cmd, **args):
        return self.session.call(cmd, **args)

    def make_game_folder(self, folder=None, version=True):
        folder = Path(folder or self.appdata / ".minecraft")
        (folder / "assets").mkdir(parents=True, exist_ok=True)
        (folder / "versions").mkdir(parents=True, exist_ok=True)
        if version:
            (folder / "versions" / "1.12.2").mkdir(exist_ok=True)
        return folder

    def start(self, env=None):
        app = self.session.launch(self.exe, env=env, cwd=self.cwd)
        self.addCleanup(app.kill)
        hwnd = self.call("wait_window", cls=MAIN_CLASS, visible=True, timeout_ms=60000)["hwnd"]
        return app, hwnd

    def control(self, parent, **how):
        return self.call("find", parent=parent, timeout_ms=5000, **how)["hwnd"]

    def props(self, hwnd):
        return self.call("props", hwnd=hwnd)

    def size(self, hwnd):
        rect = self.props(hwnd)["rect"]
        return rect["w"], rect["h"]

    def console(self, main):
        return self.call("text", hwnd=self.control(main, id=CONSOLE_ID))["text"]

    def wait_console(self, main, text, timeout=120):
        self.eventually(lambda: text in self.console(main), True, timeout=timeout)

    def exit_fades_out(self, app, main):
        """Presses "Выход"; the window must fade (an alpha below 255 seen) while it shrinks
        (a lower height seen) and the program end with exit code 0."""
        height = self.size(main)[1]
        self.call("click", hwnd=self.control(main, text="Выход"))
        alphas = []
        heights = []
        while app.alive() and len(alphas) < 2000:
            answer = self.session.driver.try_call("alpha", hwnd=main)
            props = self.session.driver.try_call("props", hwnd=main)
            if not answer.get("ok", False) or not props.get("ok", False):
                break
            alphas.append(answer["alpha"])
            heights.append(props["rect"]["h"])
        self.assertEqual(app.wait(30), 0)
        self.assertTrue(any(0 <= a < 255 for a in alphas), alphas[:20])
        self.assertLess(min(heights, default=height), height, heights[:20])

    def eventually(self, read, expected, timeout=15.0):
        limit = time.monotonic() + timeout
        value = read()
        while value != expected and time.monotonic() < limit:
            time.sleep(0.05)
            value = read()
        self.assertEqual(value, expected)
        return value


class ServedProgramTest(ProgramTest):
    """A ProgramTest with the loopback server on the port the program was built for, serving
    the folder self.root (files written there are served from then on). A test seals the folder
    once its manifest and files are in place (seal)."""

    SERVER_PORT = urlparse(os.environ.get("VELTRANE_SERVER_URL",
                                          "http://127.0.0.1:47613")).port

    def setUp(self):
        super().setUp()
        self.root = Path(tempfile.mkdtemp(prefix="veltrane-served-"))
        self.addCleanup(shutil.rmtree, self.root, True)
        self.server = self.session.start_server(self.root, port=self.SERVER_PORT)
        self.addCleanup(self.server.stop)

    def seal(self):
        """Hashes of the served files and the demo key's signature into self.root (harness.seal)."""
        harness.seal(self.root)

    def tamper(self, name):
        """Changes one byte in the middle of the served file `name` (after sealing it)."""
        path = self.root / name
        data = bytearray(path.read_bytes())
        data[len(data) // 2] ^= 1
        path.write_bytes(bytes(data))

    def assert_pack_verifies(self):
        """The admin's tool finds every file the served manifest names as it says, and the
        manifest signed with the demo key."""
        code, report = harness.verify_pack(self.root)
        self.assertEqual(code, 0, report)
        self.assertIn("(signature verified)", report)
