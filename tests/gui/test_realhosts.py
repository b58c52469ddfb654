"""The whole program against the web servers admins run: Debian's nginx and Apache, started on
loopback by the test, over HTTP and over HTTPS (a local CA's certificate for localhost, trusted
in the test prefix). Each serves the demo pack plus mods whose names hold what a URL must escape;
the pack is built and signed by the admin's tool, and checked by its verify. Then the program
checks, runs in turbo and in one stream, cleans up, fetches the extra tool and the Forge
installer, and replaces itself with an announced release."""

import os
import shutil
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

import harness
from harness import DEMO_KEY, DEMO_PUBLIC_KEY, pack_tool, run_tool
from program import MAIN_CLASS, OK_BUTTON, ProgramTest

REPO = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(REPO / "tests" / "realhosts"))
sys.path.insert(0, str(REPO / "tools"))
import demo_world  # noqa: E402
import realhosts  # noqa: E402

HTTP_PORT = 47613  # the cross build's address, http://127.0.0.1:47613
HTTPS_PORT = 47614  # the HTTPS build's, https://localhost:47614
INTERNET_SETTINGS = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings"
# Beside the demo pack's Cyrillic and space: every other character a URL must escape.
TRICKY = ["Карта [мира] (1.12.2)+v2.jar", "it's & more.jar", "sharp#1.jar", "100% vanilla.jar"]


class RealHostsTest(ProgramTest):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.work = Path(tempfile.mkdtemp(prefix="veltrane-realhosts-"))
        cls.ca = realhosts.LocalCA(cls.work / "ca")
        cls.session.call("trust_root", der=harness.windows_path(cls.ca.ca_der))
        cls.stand_in = Path(os.environ["VELTRANE_GUI_FIXTURE"])

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work, ignore_errors=True)
        super().tearDownClass()

    def build_pack(self, *args):
        code, out = run_tool(pack_tool(), "build", self.root, "--key", DEMO_KEY, *args)
        self.assertEqual(code, 0, out)

    def serve(self, server_class, tls):
        """The demo pack and the tricky names, built and signed, served by a real server."""
        self.root = Path(tempfile.mkdtemp(prefix="veltrane-served-", dir=self.work))
        shutil.rmtree(self.root)
        demo_world.prepare_server(self.root, self.stand_in)
        for i, name in enumerate(TRICKY):
            (self.root / "mods3" / name).write_bytes(bytes([i + 1]) * (30000 + i))
        self.build_pack()
        server = server_class(self.root, HTTPS_PORT if tls else HTTP_PORT,
                              tls=self.ca if tls else None)
        self.addCleanup(server.stop)
        return server

    def program(self, tls):
        return Path(os.environ["VELTRANE_PROGRAM_HTTPS"]) if tls else self.exe

    def served_mods(self):
        return sorted(p.name for p in (self.root / "mods3").iterdir())

    def assert_requested_as_escaped(self, server, paths):
        """Each path reached the server percent-encoded as UTF-8 and was served whole."""
        seen = {(r.target, r.status) for r in server.requests()}
        for path in paths:
            target = realhosts.quote_path(path).encode("ascii")
            self.assertTrue((target, 200) in seen or (target, 206) in seen, path)

    def sync_everything(self, server, tls):
        game = Path(tempfile.mkdtemp(prefix="veltrane-game-", dir=self.work))
        demo_world.prepare_player(game, self.appdata)
        version_mods = game / "mods" / "1.12.2"
        app = self.session.launch(self.program(tls), cwd=self.cwd)
        self.addCleanup(app.kill)
        main = self.call("wait_window", cls=MAIN_CLASS, visible=True, timeout_ms=60000)["hwnd"]
        self.eventually(lambda: self.size(main), (406, 294))
        self.call("mouse", hwnd=self.control(main, text="Действия"), kind="move", x=3, y=60)
        tools = self.fixture_windows()

        # The check, then a turbo run with "Setups" on (a first start's options), then the
        # cleanup deleting both removable files.
        check = self.control(main, text="Проверить совместимость")
        self.call("click", hwnd=check)
        self.wait_console(main, "Можно удалить файлов: 2 шт.")
        missing = len(self.served_mods()) - 1  # the stray copy was moved in
        self.assertIn("Отсутствуют моды: %d шт." % missing, self.console(main))
        self.call("click", hwnd=self.control(main, text="Запуск синхронизации"))
        dialog = self.call("wait_window", cls="TProTarvoCompatibility2", visible=True,
                           timeout_ms=120000)["hwnd"]
        self.assertIn("Объем загруженых файлов(%d из %d)" % (missing, missing), self.console(main))
        self.eventually(self.fixture_windows, tools + 1, timeout=30)
        self.call("click", hwnd=self.control(dialog, text="Удалить"))
        self.wait_console(main, "Кол-во удаленных файлов: 2")
        self.eventually(lambda: self.props(main)["enabled"], True)
        for name in self.served_mods():
            self.assertEqual((version_mods / name).read_bytes(),
                             (self.root / "mods3" / name).read_bytes(), name)

        # Two mods gone again, "Турбо" and "Setups" off: a one-stream run fetches them.
        for name in (TRICKY[0], "Библиотека-1.12.2-1.0.jar"):
            (version_mods / name).unlink()
        for option in ("Турбо", "Setups"):
            self.release(self.control(main, text=option))
        self.call("click", hwnd=check)
        self.wait_console(main, "Отсутствуют моды: 2 шт.")
        self.call("click", hwnd=self.control(main, text="Запуск синхронизации"))
        self.wait_console(main, "Объем загруженых файлов(2 из 2)")
        self.eventually(lambda: self.props(main)["enabled"], True)

        # "Forge Install" from the title bar.
        self.release(self.control(main, text="Forge Install"))
        self.eventually(self.fixture_windows, tools + 2, timeout=60)
        self.assertEqual((game / demo_world.FORGE).read_bytes(), self.stand_in.read_bytes())
        self.assertNotIn("Ошибка", self.console(main))
        self.session.screenshot("synced-%s" % ("https" if tls else "http"))
        self.assert_requested_as_escaped(
            server, ["/Update", "/Update.sig", "/" + demo_world.TOOL, "/" + demo_world.FORGE]
            + ["/mods3/" + name for name in self.served_mods() if name != demo_world.STRAY])
        self.exit_fades_out(app, main)

    def self_update(self, tls):
        (self.root / "Update.exe").write_bytes(self.stand_in.read_bytes())
        self.build_pack("--version", "9.9.9.9")
        folder = Path(tempfile.mkdtemp(prefix="veltrane-program-", dir=self.work))
        shutil.copy(self.program(tls), folder / "Veltrane Dravenna.exe")
        tools = self.fixture_windows()
        app = self.session.launch(folder / "Veltrane Dravenna.exe", cwd=folder)
        self.addCleanup(app.kill)
        offer = self.call("msgbox", caption="Обновление", timeout_ms=60000)
        self.call("press", hwnd=offer["hwnd"], button=OK_BUTTON)
        self.assertEqual(app.wait(60), 0)
        self.eventually(self.fixture_windows, tools + 1, timeout=60)
        final = folder / "Veltrane Dravenna v9.9.9.9.exe"
        self.eventually(lambda: final.exists() and not (folder / "Veltrane Dravenna.exe").exists(),
                        True, timeout=60)
        self.assertEqual(final.read_bytes(), self.stand_in.read_bytes())

    def everything_against(self, server_class, tls):
        server = self.serve(server_class, tls)
        code, report = run_tool(pack_tool(), "verify", server.url, "--pubkey", DEMO_PUBLIC_KEY)
        self.assertEqual(code, 0, report)
        self.assertIn("(signature verified)", report)
        self.sync_everything(server, tls)
        self.self_update(tls)

    def fresh_served_folder(self):
        self.root = Path(tempfile.mkdtemp(prefix="veltrane-served-", dir=self.work))
        (self.root / "mods3").mkdir()
        (self.root / "Update").write_bytes(b"[Update]\r\nlastversion=1.2.6.3\r\n")

    def wine_reg(self, *args):
        subprocess.run(["wine", "reg", *args, "/f"], env=self.session.env, check=True,
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)

    def test_a_run_killed_midway_is_finished_by_asking_nginx_for_the_rest(self):
        self.fresh_served_folder()
        big = bytes(range(256)) * (24 * 1024)  # 6 MiB
        (self.root / "mods3" / "big.jar").write_bytes(big)
        self.build_pack()
        server = realhosts.Nginx(self.root, HTTP_PORT, rate=1024 * 1024)
        self.addCleanup(server.stop)
        version_mods = self.make_game_folder() / "mods" / "1.12.2"
        app, main = self.start_wide()
        self.release(self.control(main, text="Турбо"))
        self.call("click", hwnd=self.control(main, text="Проверить совместимость"))
        self.wait_console(main, "Отсутствуют моды: 1 шт.")
        self.call("click", hwnd=self.control(main, text="Запуск синхронизации"))
        partial = version_mods / "big.jar.part"
        self.eventually(lambda: partial.exists() and partial.stat().st_size > len(big) // 3,
                        True, timeout=30)
        app.kill()
        kept = partial.stat().st_size
        self.assertLess(kept, len(big))
        (version_mods / "gone.jar.part").write_bytes(b"left by a mod the pack dropped")

        self.eventually(lambda: self.call("windows", cls=MAIN_CLASS)["windows"], [])
        app, main = self.start_wide()
        self.call("click", hwnd=self.control(main, text="Проверить совместимость"))
        self.wait_console(main, "Отсутствуют моды: 1 шт.")
        self.assertFalse((version_mods / "gone.jar.part").exists())
        self.call("click", hwnd=self.control(main, text="Запуск синхронизации"))
        self.wait_console(main, "Объем загруженых файлов(1 из 1)", timeout=60)
        self.assertEqual((version_mods / "big.jar").read_bytes(), big)
        self.assertEqual(sorted(p.name for p in version_mods.iterdir()), ["big.jar"])
        served = [r for r in server.requests(count=3) if r.path == "/mods3/big.jar"]
        self.assertEqual(served[0].status, 200)
        self.assertEqual(served[-1].status, 206)
        self.assertEqual(served[-1].range, "bytes=%d-" % kept)
        self.assertLessEqual(sum(r.sent for r in served), len(big) * 1.05)
        self.exit_fades_out(app, main)

    def test_every_request_goes_through_the_system_proxy(self):
        for tls in (False, True):
            with self.subTest(tls=tls):
                server = self.serve(realhosts.Nginx, tls)
                proxy = realhosts.TinyProxy(realhosts.free_port())
                self.addCleanup(proxy.stop)
                self.wine_reg("add", INTERNET_SETTINGS, "/v", "ProxyEnable", "/t", "REG_DWORD",
                              "/d", "1")
                self.wine_reg("add", INTERNET_SETTINGS, "/v", "ProxyServer", "/d",
                              "127.0.0.1:%d" % proxy.port)
                self.addCleanup(self.wine_reg, "add", INTERNET_SETTINGS, "/v", "ProxyEnable",
                                "/t", "REG_DWORD", "/d", "0")
                game = Path(tempfile.mkdtemp(prefix="veltrane-game-", dir=self.work))
                demo_world.prepare_player(game, self.appdata)
                (self.data / "Settings.ini").unlink(missing_ok=True)
                app = self.session.launch(self.program(tls), cwd=self.cwd)
                self.addCleanup(app.kill)
                main = self.call("wait_window", cls=MAIN_CLASS, visible=True,
                                 timeout_ms=60000)["hwnd"]
                self.eventually(lambda: self.size(main), (406, 294))
                self.call("mouse", hwnd=self.control(main, text="Действия"), kind="move", x=3,
                          y=60)
                self.release(self.control(main, text="Setups"))
                self.call("click", hwnd=self.control(main, text="Проверить совместимость"))
                self.wait_console(main, "Можно удалить файлов: 2 шт.")
                self.call("click", hwnd=self.control(main, text="Запуск синхронизации"))
                self.call("wait_window", cls="TProTarvoCompatibility2", visible=True,
                          timeout_ms=120000)
                missing = len(self.served_mods()) - 1
                self.assertIn("(%d из %d)" % (missing, missing), self.console(main))
                served = server.requests(count=missing + 2)
                proxied = proxy.requests()
                if tls:
                    # Only the tunnels can be seen: every one to the server, through CONNECT.
                    self.assertTrue(proxied)
                    self.assertEqual({(r.method, r.target) for r in proxied},
                                     {("CONNECT", b"localhost:%d" % HTTPS_PORT)})
                else:
                    self.assertEqual(sorted(r.path for r in proxied),
                                     sorted(r.path for r in served))
                    self.assertTrue(all(r.target.startswith(b"http://127.0.0.1:%d/" % HTTP_PORT)
                                        for r in proxied))
                self.assertIn("/Update", [r.path for r in served])
                app.kill()
                self.eventually(lambda: self.call("windows", cls=MAIN_CLASS)["windows"], [])
                self.wine_reg("add", INTERNET_SETTINGS, "/v", "ProxyEnable", "/t", "REG_DWORD",
                              "/d", "0")
                proxy.stop()
                server.stop()

    def test_what_the_server_lacks_comes_from_a_mirror(self):
        """The server (nginx) lost a mod and the Forge installer after the upload; its mirror
        (Apache) has the whole pack, and the manifest names it."""
        server = self.serve(realhosts.Nginx, tls=False)
        mirror_port = realhosts.free_port()
        self.build_pack("--mirror", "http://127.0.0.1:%d/" % mirror_port)
        mirror_root = Path(tempfile.mkdtemp(prefix="veltrane-mirror-", dir=self.work))
        shutil.rmtree(mirror_root)
        shutil.copytree(self.root, mirror_root)
        mirror = realhosts.Apache(mirror_root, mirror_port)
        self.addCleanup(mirror.stop)
        lost = TRICKY[3]
        (self.root / "mods3" / lost).unlink()
        (self.root / demo_world.FORGE).unlink()
        version_mods = self.make_game_folder() / "mods" / "1.12.2"
        app, main = self.start_wide()
        self.release(self.control(main, text="Setups"))
        self.call("click", hwnd=self.control(main, text="Проверить совместимость"))
        self.wait_console(main, "Можно удалить файлов: 0 шт.")
        count = len(list((mirror_root / "mods3").iterdir()))
        self.call("click", hwnd=self.control(main, text="Запуск синхронизации"))
        self.wait_console(main, "Объем загруженых файлов(%d из %d)" % (count, count))
        self.eventually(lambda: self.props(main)["enabled"], True)
        self.assertEqual((version_mods / lost).read_bytes(),
                         (mirror_root / "mods3" / lost).read_bytes())
        tools = self.fixture_windows()
        self.release(self.control(main, text="Forge Install"))
        self.eventually(self.fixture_windows, tools + 1, timeout=60)
        # The console says only what came, not from where; the servers' logs tell.
        self.assertNotIn("Ошибка", self.console(main))
        self.assertIn(("/mods3/" + lost, 404), [(r.path, r.status) for r in server.requests()])
        self.assertEqual(sorted(r.path for r in mirror.requests(count=2)),
                         sorted(["/mods3/" + lost, "/" + demo_world.FORGE]))
        self.exit_fades_out(app, main)

    def test_nginx_over_http(self):
        self.everything_against(realhosts.Nginx, tls=False)

    def test_nginx_over_https(self):
        self.everything_against(realhosts.Nginx, tls=True)

    def test_apache_over_http(self):
        self.everything_against(realhosts.Apache, tls=False)

    def test_apache_over_https(self):
        self.everything_against(realhosts.Apache, tls=True)


if __name__ == "__main__":
    unittest.main()
