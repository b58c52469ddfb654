"""tools/check-floors over small core trees: includes down the floors pass, and each kind of
wrong include is named with its file and line."""
import os
import subprocess
import sys
import tempfile
import unittest

TOOL = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "check-floors")

# One file per floor, each including the one below; a controller's source includes its header.
CLEAN = {
    "base/paths.h": "",
    "net/transfer.h": '#include "base/paths.h"\n',
    "ui/main_view.h": '#include <string>\n#include "net/transfer.h"\n#include "build_config.h"\n',
    "sync/download_run.h": '#include "ui/main_view.h"\n',
    "sync/download_run.cpp": '#include "sync/download_run.h"\n',
    "extras/extras.h": '#include "ui/main_view.h"\n',
    "ui/main_form.h": '#include "sync/download_run.h"\n#include "extras/extras.h"\n',
}


def run_on(files):
    with tempfile.TemporaryDirectory() as core:
        for path, text in files.items():
            os.makedirs(os.path.join(core, os.path.dirname(path)), exist_ok=True)
            with open(os.path.join(core, path), "w", encoding="utf-8") as out:
                out.write(text)
        return subprocess.run([sys.executable, TOOL, core], capture_output=True, text=True)


class CheckFloorsTest(unittest.TestCase):
    def test_includes_down_the_floors_pass(self):
        result = run_on(CLEAN)
        self.assertEqual(result.returncode, 0, result.stderr)

    def test_each_wrong_include_is_named(self):
        cases = [
            ("down to up", {"net/manifest.h": '#include "base/paths.h"\n#include "ui/main_view.h"\n'},
             'net/manifest.h:2: includes "ui/main_view.h" (services) from the net floor'),
            ("controller to facade", {"extras/extras.cpp": '#include "ui/main_form.h"\n'},
             'extras/extras.cpp:1: includes "ui/main_form.h" (facade) from the controllers floor'),
            ("controllers of two subsystems",
             {"extras/extras.cpp": '#include "sync/download_run.h"\n'},
             'extras/extras.cpp:1: includes "sync/download_run.h": controllers know nothing'),
            ("controllers of one subsystem",
             {"sync/cleanup_form.cpp": '#include "sync/download_run.h"\n'},
             'sync/cleanup_form.cpp:1: includes "sync/download_run.h": controllers know nothing'),
            ("a shell header", {"ui/desktop.h": '#include "ui/main_window.h"\n'},
             'ui/desktop.h:1: includes "ui/main_window.h", which is not in the core'),
            ("a folder with no floor", {"gui/panel.h": ""}, "gui/panel.h: has no floor"),
        ]
        for name, extra, message in cases:
            with self.subTest(name):
                result = run_on({**CLEAN, **extra})
                self.assertEqual(result.returncode, 1)
                self.assertIn(message, result.stderr)


if __name__ == "__main__":
    unittest.main()
