"""The tests' seal (harness.seal, tests/gui/seal_pack.cpp) as the admin's tool sees it: a sealed
folder verifies with the demo key and one changed byte fails it; a hand-written manifest gains
only the hash keys it lacks; a manifest whose other bytes would change is refused. Runs natively
and under Wine ($VELTRANE_SEAL_PACK and $VELTRANE_PACK name the two tools)."""

import hashlib
import json
import shutil
import tempfile
import unittest
from pathlib import Path

import harness

FORGE = "forge-1.12.2-14.23.2.2629-installer-win.exe"
FILES = {"mods3/alpha.jar": b"alpha " * 100, "mods3/Библиотека.jar": b"library",
         "Update.exe": b"MZ program", "Settingss.exe": b"MZ tool", FORGE: b"MZ installer"}
WRONG = "0" * 64


def sha256(name):
    return hashlib.sha256(FILES[name]).hexdigest()


class SealTest(unittest.TestCase):
    def setUp(self):
        self.root = Path(tempfile.mkdtemp(prefix="veltrane-seal-"))
        self.addCleanup(shutil.rmtree, self.root, True)
        (self.root / "mods3").mkdir()
        for name, data in FILES.items():
            (self.root / name).write_bytes(data)

    def write_manifest(self, text, encoding="cp1251"):
        data = text.encode(encoding)
        if encoding == "utf-16-le":
            data = b"\xff\xfe" + data
        (self.root / "Update").write_bytes(data)
        return data

    def test_a_sealed_folder_verifies_and_one_changed_byte_fails_it(self):
        self.write_manifest("[Update]\r\nlastversion=1.2.7\r\n[modlist]\r\nCount=2\r\n"
                            "mod1=alpha.jar\r\nmod1size=600\r\nmod2=Библиотека.jar\r\n"
                            "mod2size=7\r\n[dellist]\r\nCount=0\r\n")
        harness.seal(self.root)
        self.assertEqual(harness.verify_pack(self.root),
                         (0, "Manifest: serial 0, no last day.\n"
                             "All 7 files match the manifest (signature verified).\n"))
        cases = [("mods3/alpha.jar", 10, r"mods3/alpha\.jar +hash"),
                 ("Update", 24, r"Update\.sig +signature"),  # lastversion=1.2.7 -> 1.3.7
                 ("Update.exe", 0, r"Update\.exe +hash")]
        for name, at, row in cases:
            with self.subTest(name):
                path = self.root / name
                sealed = path.read_bytes()
                path.write_bytes(sealed[:at] + bytes([sealed[at] ^ 1]) + sealed[at + 1:])
                try:
                    code, report = harness.verify_pack(self.root)
                finally:
                    path.write_bytes(sealed)
                self.assertEqual(code, 1, report)
                self.assertRegex(report, r"\AFILE +PROBLEM +DETAIL\n" + row +
                                 r" .*\nManifest: serial 0, no last day\.\n"
                                 r"1 problem in 7 files checked\.\n\Z")

    def test_only_the_hash_keys_a_manifest_lacks_are_added_in_its_encoding(self):
        # A comment and odd spacing stay, a hash the test wrote stays even when wrong; a mod not
        # served, a name leading out of mods3 and a gap (mod5) get none.
        lines = ["[Update]", "lastversion=1.2.7", "; kept as written", "", "[modlist]",
                 "Count=5", "mod1=alpha.jar", "mod1size = 600", "mod2=Библиотека.jar",
                 "mod2sha256=" + WRONG, "mod3=absent.jar", "mod4=../Update.exe",
                 "[dellist]", "Count=1", "mod1=old.jar"]
        sealed = lines[:3] + ["updatesha256=" + sha256("Update.exe"),
                              "settingssha256=" + sha256("Settingss.exe"),
                              "forgesha256=" + sha256(FORGE)] + lines[3:12] + [
                                  "mod1sha256=" + sha256("mods3/alpha.jar")] + lines[12:]
        for encoding in ("cp1251", "utf-16-le"):
            with self.subTest(encoding):
                self.write_manifest("".join(line + "\r\n" for line in lines), encoding)
                harness.seal(self.root)
                expected = self.write_manifest("".join(line + "\r\n" for line in sealed),
                                               encoding)
                self.assertEqual((self.root / "Update").read_bytes(), expected)
                # The oddities fail the check, the signature does not.
                code, report = harness.verify_pack(self.root)
                self.assertEqual(code, 1, report)
                self.assertNotIn("Update.sig", report)

    def test_a_manifest_whose_other_bytes_would_change_is_refused_unless_nothing_is_added(self):
        cases = [("LF line ends", "[Update]\nlastversion=1\n", False),
                 ("no line end after the last line", "[Update]\r\nlastversion=1", False),
                 ("LF line ends, every hash written by the test",
                  "[Update]\nupdatesha256=%s\nsettingssha256=%s\nforgesha256=%s\n"
                  % (sha256("Update.exe"), sha256("Settingss.exe"), sha256(FORGE)), True)]
        for name, text, signed in cases:
            with self.subTest(name):
                (self.root / "Update.sig").unlink(missing_ok=True)
                written = self.write_manifest(text)
                if signed:
                    harness.seal(self.root)
                    self.assertEqual(harness.verify_pack(self.root)[0], 0)
                else:
                    with self.assertRaisesRegex(RuntimeError, "would change other bytes"):
                        harness.seal(self.root)
                    self.assertFalse((self.root / "Update.sig").exists())
                self.assertEqual((self.root / "Update").read_bytes(), written)

    def test_the_test_build_carries_the_key_the_seal_signs_with(self):
        presets = json.loads((harness.REPO / "CMakePresets.json").read_text(encoding="utf-8"))
        variables = {p["name"]: p.get("cacheVariables", {}) for p in presets["configurePresets"]}
        self.assertEqual(variables["cross"].get("VELTRANE_PACK_KEY"), harness.DEMO_PUBLIC_KEY)
        self.assertNotIn("VELTRANE_PACK_KEY", variables["release"])
        self.assertIn("\npublic=%s\n" % harness.DEMO_PUBLIC_KEY,
                      harness.DEMO_KEY.read_text(encoding="ascii"))


if __name__ == "__main__":
    unittest.main()
