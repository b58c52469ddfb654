"""Starting the real program in a prepared prefix, for the end-to-end tests."""

import os
import shutil
import tempfile
from pathlib import Path
from urllib.parse import urlparse

import harness
from harness import FIXTURE_CLASS, OK_BUTTON  # noqa: F401 (OK_BUTTON is for the tests)

MAIN_CLASS = "TProTarvoCompatibility"
CONSOLE_ID = 1013  # the status console's control id
SCREEN = (1280, 1024)  # the test display's size


def program_exe(session):
    return Path(os.environ.get("VELTRANE_PROGRAM")
                or session.build_dir / "src" / "Veltrane Dravenna.exe")


class ProgramTest(harness.SessionTest):
    """One session (display, prefix, driver) per test class; a fresh %APPDATA% per test, with
    the program's own folder in it as self.data."""

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.exe = program_exe(cls.session)

    def setUp(self):
        # The program the last test ended may keep its window a moment longer; a start now
        # would find it and hand over to it.
        self.eventually(lambda: self.call("windows", cls=MAIN_CLASS)["windows"], [])
        self.appdata = self.session.appdata_dir()
        self.data = self.appdata / "Pellwick" / "Veltrane"
        for name in ("Pellwick", ".minecraft", ".tlauncher"):
            shutil.rmtree(self.appdata / name, ignore_errors=True)
        self.cwd = Path(tempfile.mkdtemp(prefix="veltrane-cwd-"))
        self.addCleanup(shutil.rmtree, self.cwd, True)

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

    def start_wide(self):
        """Starts the program on a valid folder and widens it by a move over "Действия"."""
        app, main = self.start()
        self.eventually(lambda: self.size(main), (406, 294))
        self.call("mouse", hwnd=self.control(main, text="Действия"), kind="move", x=3, y=60)
        self.eventually(lambda: self.size(main), (830, 294))
        return app, main

    def release(self, hwnd, x=5, y=8, button="left"):
        """A press and release of a mouse button over `hwnd`."""
        self.call("mouse", hwnd=hwnd, kind="down", button=button, x=x, y=y)
        self.call("mouse", hwnd=hwnd, kind="up", button=button, x=x, y=y)

    def fixture_windows(self):
        """How many stand-in tools (the fixture window) are open."""
        return len(self.call("windows", cls=FIXTURE_CLASS)["windows"])

    def size(self, hwnd):
        rect = self.props(hwnd)["rect"]
        return rect["w"], rect["h"]

    def assert_centred(self, hwnd, size):
        """The window has `size` and sits in the middle of the screen."""
        rect = self.props(hwnd)["rect"]
        self.assertEqual((rect["w"], rect["h"]), size)
        self.assertEqual((rect["x"], rect["y"]),
                         (SCREEN[0] // 2 - size[0] // 2, SCREEN[1] // 2 - size[1] // 2))

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
