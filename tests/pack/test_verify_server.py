"""veltrane-pack verify against the loopback test server, with its faults.

Run under tools/with-server, which serves $VELTRANE_TEST_SERVER_ROOT at $VELTRANE_TEST_SERVER;
the mirrors are two more test servers started here. The program under test is $VELTRANE_PACK,
run through $VELTRANE_PACK_RUNNER when that is set (tools/wine-run for the Windows build). It
makes its own key and builds the served folder, so what is served is what the tool built.
"""

import json
import os
import re
import shutil
import socket
import subprocess
import sys
import tempfile
import unittest
import urllib.request
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "gui"))
from harness import Server  # noqa: E402  (the GUI tests' loopback server, serving a mirror here)

PROGRAM = os.environ.get("VELTRANE_PACK", "")
RUNNER = os.environ.get("VELTRANE_PACK_RUNNER", "")


def program_path(path):
    """A path as the program takes it: Z:\\ form for the Windows build under Wine."""
    return "Z:" + str(path).replace("/", "\\") if RUNNER else str(path)


def pack(*args):
    command = ([RUNNER] if RUNNER else []) + [PROGRAM, *args]
    done = subprocess.run(command, capture_output=True, timeout=120)
    return done.returncode, done.stdout.decode("utf-8", "replace").replace("\r\n", "\n")


def keygen(path):
    """Makes a key file and gives its public key."""
    rc, out = pack("keygen", program_path(path))
    assert rc == 0, out
    return out.strip().splitlines()[-1]


def closed_port_url():
    """A loopback URL where nothing listens."""
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return "http://127.0.0.1:%d" % s.getsockname()[1]


SPACED = "Мод с пробелом.jar"
MARKED = "50% #2.jar"


class VerifyServerTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.TemporaryDirectory()
        work = Path(cls.work.name)
        root = Path(os.environ["VELTRANE_TEST_SERVER_ROOT"])
        cls.root = root
        cls.url = os.environ["VELTRANE_TEST_SERVER"]
        (root / "mods3").mkdir(parents=True)
        (root / "mods3" / "alpha.jar").write_bytes(b"alpha mod " * 1000)
        (root / "mods3" / "Библиотека.jar").write_bytes(b"library bytes")
        (root / "mods3" / SPACED).write_bytes(b"spaced name")
        (root / "mods3" / MARKED).write_bytes(b"percent and hash")
        (root / "Settingss.exe").write_bytes(b"settings tool")
        # A mirror holds what the client fetches from it: the mods and the extra files.
        cls.mirrors = []
        for name in ("good", "lacking"):
            shutil.copytree(root / "mods3", work / name / "mods3")
            shutil.copy(root / "Settingss.exe", work / name)
            cls.mirrors.append(Server(work / name, tempfile.mkdtemp(dir=work)))
        (work / "lacking" / "mods3" / MARKED).unlink()
        cls.lacking = work / "lacking"
        cls.public_key = keygen(work / "admin.key")
        cls.other_key = keygen(work / "other.key")
        rc, out = pack("build", program_path(root), "--version", "1",
                       "--key", program_path(work / "admin.key"),
                       "--mirror", cls.mirrors[0].url, "--mirror", cls.mirrors[1].url + "/")
        assert rc == 0, out

    @classmethod
    def tearDownClass(cls):
        for mirror in cls.mirrors:
            mirror.stop()
        cls.work.cleanup()

    def control(self, action, body=None):
        data = json.dumps(body).encode("utf-8") if body is not None else b""
        urllib.request.urlopen(urllib.request.Request(f"{self.url}/__control/{action}", data=data),
                               timeout=10).read()

    def verify(self, key=None, faults=(), url=None, more=()):
        self.control("reset")
        for fault in faults:
            self.control("fault", fault)
        return pack("verify", url or self.url, "--pubkey", key or self.public_key, *more)

    def test_an_intact_pack_passes_without_a_progress_bar_off_a_terminal(self):
        rc, out = self.verify()
        self.assertEqual(rc, 0, out)
        self.assertRegex(out, re.compile(
            r"\AManifest: serial 1, last day [0-9-]{10} \(180 days left\)\.\n"
            r"2 mirrors listed in the manifest not checked \(--mirrors checks them\)\.\n"
            r"All 7 files match the manifest \(signature verified\)\.\n\Z"))

    def test_any_of_several_keys_may_have_signed(self):
        # An admin moving to a new key: the clients hold both for a release.
        for keys in (self.other_key + ";" + self.public_key, self.public_key + ";" + self.other_key):
            rc, out = self.verify(key=keys)
            self.assertEqual(rc, 0, out)
        rc, out = self.verify(key=self.other_key + ";" + self.public_key[:-1])
        self.assertEqual(rc, 2, out)

    def test_each_fault_is_one_row_of_the_table(self):
        alpha = "/mods3/alpha.jar"
        library = "/mods3/Библиотека.jar"
        spaced = "/mods3/" + SPACED
        cases = [
            ("missing", None, [{"path": alpha, "status": 404, "body": "404: Not Found"}],
             r"mods3/alpha\.jar +missing +HTTP 404 for /mods3/alpha\.jar"),
            ("server error", None, [{"path": spaced, "status": 500}],
             r"mods3/Мод с пробелом\.jar +server error +HTTP 500 for /mods3/Мод с пробелом\.jar"),
            ("forbidden", None, [{"path": library, "status": 403, "body": "no"}],
             r"mods3/Библиотека\.jar +forbidden +HTTP 403 for /mods3/Библиотека\.jar"),
            ("unauthorized", None, [{"path": alpha, "status": 401, "body": "log in"}],
             r"mods3/alpha\.jar +unauthorized +HTTP 401 for /mods3/alpha\.jar"),
            ("teapot", None, [{"path": "/Settingss.exe", "status": 418, "body": "tea"}],
             r"Settingss\.exe +HTTP status +HTTP 418 for /Settingss\.exe"),
            ("cut body", None, [{"path": alpha, "cut": 100}],
             r"mods3/alpha\.jar +transfer +broken after 100 bytes of 10000"),
            ("endless body", None, [{"path": alpha, "endless": 1}],
             r"mods3/alpha\.jar +size +more than 10000 bytes"),
            ("changed byte", None, [{"path": library, "body": "library byteZ"}],
             r"mods3/Библиотека\.jar +hash +SHA-256 differs from the manifest's"),
            ("changed extra file", None, [{"path": "/Settingss.exe", "body": "settings tooL"}],
             r"Settingss\.exe +hash +SHA-256 differs from the manifest's"),
            ("bad signature", None, [{"path": "/Update.sig", "body": "x" * 64}],
             r"Update\.sig +signature +does not match the manifest and the public key"),
            ("missing signature", None, [{"path": "/Update.sig", "status": 404, "body": "gone"}],
             r"Update\.sig +signature +HTTP 404 for /Update\.sig"),
            ("wrong key", self.other_key, [],
             r"Update\.sig +signature +does not match the manifest and the public key"),
        ]
        for name, key, faults, row in cases:
            with self.subTest(name):
                rc, out = self.verify(key, faults)
                self.assertEqual(rc, 1, out)
                self.assertRegex(out, re.compile(
                    r"\AFILE +PROBLEM +DETAIL\n" + row + r"\nManifest: serial 1, .*\n"
                    r"2 mirrors .* not checked .*\n"
                    r"1 problem in 7 files checked\.\n\Z"))

    def test_a_name_missing_on_the_server_is_a_404_of_its_decoded_path(self):
        spaced = self.root / "mods3" / SPACED
        kept = spaced.read_bytes()
        spaced.unlink()
        try:
            rc, out = self.verify()
        finally:
            spaced.write_bytes(kept)
        self.assertEqual(rc, 1, out)
        self.assertRegex(out, r"\nmods3/Мод с пробелом\.jar +missing +"
                              r"HTTP 404 for /mods3/Мод с пробелом\.jar\n")

    def test_a_manifest_the_server_fails_stops_the_check(self):
        rc, out = self.verify(faults=[{"path": "/Update", "status": 503, "body": "busy"}])
        self.assertEqual(rc, 1, out)
        self.assertRegex(out, r"Update +server error +HTTP 503 for /Update\n")
        self.assertIn("nothing else was checked", out)

    def test_only_a_server_that_never_answers_is_unreachable(self):
        url = closed_port_url()
        rc, out = self.verify(url=url)
        self.assertEqual(rc, 1, out)
        self.assertEqual(out, "FILE    PROBLEM      DETAIL\nUpdate  unreachable  no answer from "
                              + url + "\nThe manifest could not be read; nothing else was checked.\n")

    def test_every_mirror_is_checked_and_named(self):
        good, lacking = (m.url for m in self.mirrors)
        rc, out = self.verify(more=["--mirrors"])
        self.assertEqual(rc, 1, out)
        self.assertRegex(out, re.compile(
            r"\ASOURCE +FILE +PROBLEM +DETAIL\n"
            r"mirror2 +mods3/50% #2\.jar +missing +HTTP 404 for /mods3/50% #2\.jar\n"
            r"Manifest: serial 1, .*\n"
            r"mirror1 " + re.escape(good) + r": 5 files, all match\n"
            r"mirror2 " + re.escape(lacking) + r": 5 files, 1 problem\n"
            r"1 problem in 17 files checked\.\n\Z"))
        shutil.copy(self.root / "mods3" / MARKED, self.lacking / "mods3")
        try:
            rc, out = self.verify(more=["--mirrors"])
        finally:
            (self.lacking / "mods3" / MARKED).unlink()
        self.assertEqual(rc, 0, out)
        self.assertTrue(out.endswith(
            "All 7 files on the server and 5 on each of 2 mirrors match the manifest "
            "(signature verified).\n"), out)


class DemoServerTest(unittest.TestCase):
    """The committed demo server folder, as tools/demo serves it before it adds the stand-ins."""

    def test_it_is_what_its_manifest_and_the_demo_key_say(self):
        demo = Path(__file__).resolve().parents[2] / "demo"
        key = (demo / "demo-pack-key.pub").read_text(encoding="ascii").strip()
        self.assertIn("\npublic=" + key + "\n",
                      (demo / "demo-pack-key.txt").read_text(encoding="ascii"))
        rc, out = pack("verify", program_path(demo / "server"), "--pubkey", key)
        self.assertEqual(rc, 0, out)
        self.assertIn("(signature verified)", out)


if __name__ == "__main__":
    unittest.main()
