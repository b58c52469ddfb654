"""veltrane-pack verify against the servers admins run: Debian's nginx and Apache on loopback,
over HTTP and HTTPS (a local CA, trusted through CURL_CA_BUNDLE), directly and through tinyproxy
(http_proxy, https_proxy), with a pack whose names hold what a URL must escape.

The tool is $VELTRANE_PACK, the native build's (libcurl); the Windows build meets the same
servers in tests/gui/test_realhosts.py."""

import os
import shutil
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

REPO = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(REPO / "tests" / "realhosts"))
import realhosts  # noqa: E402

TOOL = os.environ.get("VELTRANE_PACK", str(REPO / "build" / "native" / "src" / "pack" /
                                           "veltrane-pack"))
KEY = REPO / "demo" / "demo-pack-key.txt"
PUBLIC_KEY = (REPO / "demo" / "demo-pack-key.pub").read_text(encoding="ascii").strip()
NAMES = ["copper wires-1.12.2-3.2.jar", "Библиотека-1.12.2-1.0.jar", "Карта [мира] (1)+v2.jar",
         "it's & more.jar", "sharp#1.jar", "100% vanilla.jar"]
PROXY_VARIABLES = ("http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY", "ALL_PROXY",
                   "all_proxy", "no_proxy", "NO_PROXY")


class VerifyRealHostsTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = Path(tempfile.mkdtemp(prefix="veltrane-verify-real-"))
        cls.ca = realhosts.LocalCA(str(cls.work / "ca"))
        cls.root = cls.work / "served"
        (cls.root / "mods3").mkdir(parents=True)
        (cls.root / "Update").write_bytes(b"[Update]\r\nlastversion=1.2.6.3\r\n")
        for i, name in enumerate(NAMES):
            (cls.root / "mods3" / name).write_bytes(bytes([i + 1]) * (20000 + i))
        done = subprocess.run([TOOL, "build", str(cls.root), "--key", str(KEY)],
                              capture_output=True, text=True)
        if done.returncode != 0:
            raise RuntimeError("veltrane-pack build failed:\n" + done.stdout + done.stderr)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work, ignore_errors=True)

    def verify(self, url, proxy=None):
        env = {k: v for k, v in os.environ.items() if k not in PROXY_VARIABLES}
        env["CURL_CA_BUNDLE"] = self.ca.ca_pem
        if proxy:
            env["http_proxy"] = env["https_proxy"] = proxy
        done = subprocess.run([TOOL, "verify", url, "--pubkey", PUBLIC_KEY], env=env,
                              capture_output=True, text=True, timeout=120)
        return done.returncode, done.stdout + done.stderr

    def test_each_server_passes_and_a_missing_file_is_reported_as_its_404(self):
        for server_class in (realhosts.Nginx, realhosts.Apache):
            for tls in (False, True):
                port = realhosts.free_port()
                with self.subTest(server=server_class.name, tls=tls), \
                        server_class(self.root, port, tls=self.ca if tls else None) as server:
                    code, report = self.verify(server.url)
                    self.assertEqual(code, 0, report)
                    self.assertIn("(signature verified)", report)
                    served = {r.path for r in server.requests(count=len(NAMES) + 2)}
                    for name in NAMES:
                        self.assertIn("/mods3/" + name, served)

                    gone = self.root / "mods3" / NAMES[4]
                    kept = gone.read_bytes()
                    gone.unlink()
                    try:
                        code, report = self.verify(server.url)
                    finally:
                        gone.write_bytes(kept)
                    self.assertEqual(code, 1, report)
                    row = next(line for line in report.splitlines() if NAMES[4] in line)
                    self.assertIn("missing", row)
                    self.assertIn("404", row)
                    self.assertNotIn("unreachable", report)

    def test_every_request_goes_through_the_proxy_in_the_environment(self):
        for tls in (False, True):
            port = realhosts.free_port()
            with self.subTest(tls=tls), \
                    realhosts.Nginx(self.root, port, tls=self.ca if tls else None) as server, \
                    realhosts.TinyProxy(realhosts.free_port()) as proxy:
                code, report = self.verify(server.url, proxy=proxy.url)
                self.assertEqual(code, 0, report)
                proxied = proxy.requests(count=1)
                if tls:
                    self.assertEqual({(r.method, r.target) for r in proxied},
                                     {("CONNECT", b"localhost:%d" % port)})
                else:
                    served = server.requests(count=len(NAMES) + 2)
                    self.assertEqual(sorted(r.path for r in proxied),
                                     sorted(r.path for r in served))
                    self.assertEqual(len(proxied), len(NAMES) + 2)


if __name__ == "__main__":
    unittest.main()
