"""The title-bar commands that fetch and open a program, in the real window under Wine: the
one-bar size mode while the transfer runs, the file in the game folder, the program started."""

import os
import time
import unittest
from pathlib import Path

from program import ServedProgramTest

FORGE = "forge-1.12.2-14.23.2.2629-installer-win.exe"
BAR1_ID = 1014  # sProgressBar1


class ExtrasTest(ServedProgramTest):
    def setUp(self):
        super().setUp()
        (self.root / "Update").write_bytes(b"[Update]\r\nlastversion=1.2.6.3\r\n")
        self.installer = Path(os.environ["VELTRANE_GUI_FIXTURE"]).read_bytes()
        (self.root / FORGE).write_bytes(self.installer)
        self.seal()

    def test_forge_install_shows_one_bar_across_then_opens_the_installer(self):
        game = self.make_game_folder()
        (game / FORGE).write_bytes(b"an old installer")
        self.server.fault(path="/" + FORGE, slow=len(self.installer) // 10)
        app, main = self.start_wide()
        item = self.control(main, text="Forge Install")
        # Programs started by earlier tests in this prefix may still be there.
        before = self.fixture_windows()
        # The right button runs the command just as the left one does.
        self.release(item, button="right")
        bar = self.control(main, id=BAR1_ID)
        self.eventually(lambda: self.size(main), (830, 317))
        # A second click while the installer is being written is refused.
        self.release(item)
        props = self.props(bar)
        self.assertTrue(props["visible"])
        self.assertEqual(props["in_parent"]["w"], 830 - 5 - 16)
        self.assertEqual(props["in_parent"]["x"], 8)
        self.assertFalse(self.props(self.control(main, id=BAR1_ID + 1))["visible"])
        self.session.screenshot("forge-progress")
        self.eventually(lambda: self.size(main), (830, 294), timeout=60)
        self.assertFalse(self.props(bar)["visible"])
        self.assertEqual(self.props(bar)["in_parent"]["w"], 155)
        self.eventually(self.fixture_windows, before + 1, timeout=30)
        self.assertEqual((game / FORGE).read_bytes(), self.installer)
        time.sleep(1.5)  # opened once only
        self.assertEqual(self.fixture_windows(), before + 1)
        self.assertEqual(self.server.log().count("/" + FORGE), 1)

    def test_forge_install_by_the_left_button_into_a_folder_without_one(self):
        self.assert_pack_verifies()
        game = self.make_game_folder()
        self.server.fault(path="/" + FORGE, slow=len(self.installer) // 4)
        app, main = self.start_wide()
        before = self.fixture_windows()
        item = self.control(main, text="Forge Install")
        self.release(item)
        self.eventually(lambda: self.size(main), (830, 317))
        self.eventually(lambda: self.size(main), (830, 294), timeout=60)
        self.assertEqual((game / FORGE).read_bytes(), self.installer)
        self.eventually(self.fixture_windows, before + 1, timeout=30)
        self.assertTrue(self.props(main)["enabled"])


if __name__ == "__main__":
    unittest.main()
