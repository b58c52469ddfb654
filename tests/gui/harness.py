"""Drives cross-built Windows programs under Wine for the end-to-end tests.

A Session gives a test everything it needs around the program under test:

* an X display: $DISPLAY when set, otherwise its own Xvfb on a free display number;
* a Wine prefix: $WINEPREFIX when it already holds one (the cross ctest fixture prepares
  <build>/wineprefix), otherwise one built with tools/wine-prefix up (in a temporary folder
  when $WINEPREFIX is unset; that one is removed again);
* the UI driver (uidriver.exe), one process for the whole session, spoken to with one JSON
  line per command (see Driver);
* programs started under tools/wine-run with chosen environment variables (App);
* screenshots named by step, the loopback test server, and path helpers (Z:\\ paths for Linux
  paths; the Linux folder behind %APPDATA%, which Wine sets from the prefix's user profile and
  ignores from the environment).

SessionTest is the unittest base with one Session per test class and the common calls.

Served folders are sealed with seal() once their files are in place, as the server admin's
signing would seal them for a build that carries the demo key (the cross and demo builds);
verify_pack() checks one with the admin's tool.

Typical use (the driver's commands are listed at the top of uidriver.cpp):

    with Session(name="first-run") as s:
        server = s.start_server(served_folder)
        app = s.launch(exe, env={"VELTRANE_TEST_SERVER": server.url})
        main = s.call("wait_window", cls="SomeClass", timeout_ms=30000)["hwnd"]
        s.call("click", hwnd=s.call("find", parent=main, text="Обновить")["hwnd"])
        box = s.call("msgbox", caption="Ошибка", timeout_ms=10000)
        s.screenshot("error-shown")
        s.call("press", hwnd=box["hwnd"], button=box["buttons"][0])
        assert app.wait(30) == 0

Only processes the session started are ever stopped, by their pid. Under Wine the Linux process
started for a program is the Windows process itself (wine-run and wine exec into it), so killing
that pid ends the Windows program, and its Linux exit status is the Windows exit code (low 8
bits).

Measured here (Wine 8.0, Xvfb, 2 cores shared with builds, load about 12): a driver round trip
well under 1 ms (8-16 ms for commands that ask the window by message); a program start until the
driver sees its window 1.6-3.3 s, its kill under 0.05 s; the driver's start 1.4 s; a Session with
its own Xvfb 1.3 s (8 s when wineserver has to start); a fresh prefix 43-68 s.

Environment read: VELTRANE_BUILD_DIR (cross build folder), VELTRANE_UIDRIVER (driver exe,
default <build>/tests/gui/uidriver.exe), VELTRANE_GUI_ARTIFACTS (screenshot folder),
VELTRANE_SEAL_PACK and VELTRANE_PACK (the sealing tool and the pack tool, default the build's
tests/seal_pack.exe and src/pack/veltrane-pack.exe; native builds of them run without Wine).
"""

import getpass
import json
import os
import selectors
import shutil
import signal
import subprocess
import tempfile
import time
import unittest
import urllib.request
from pathlib import Path

REPO = Path(__file__).resolve().parents[2]
TOOLS = REPO / "tools"
TEST_SERVER = REPO / "tests" / "server" / "test_server.py"
DEMO_KEY = REPO / "demo" / "demo-pack-key.txt"
DEMO_PUBLIC_KEY = (REPO / "demo" / "demo-pack-key.pub").read_text(encoding="ascii").strip()
OK_BUTTON = "\u041e\u041a"  # Wine's Russian message boxes spell OK in Cyrillic
FIXTURE_CLASS = "VeltraneGuiFixture"  # tests/gui/gui_fixture.cpp, also the tests' stand-in tools


class DriverError(Exception):
    """The driver answered {"ok": false}; the message is its error text."""


def windows_path(path):
    """The Z:\\ form of a Linux path, which a Windows program (and Windows itself) accepts."""
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")


def default_build_dir():
    """The cross build: $VELTRANE_BUILD_DIR, else build/cross."""
    return Path(os.environ.get("VELTRANE_BUILD_DIR") or REPO / "build" / "cross")


def pack_tool():
    """The server admin's tool, veltrane-pack."""
    return Path(os.environ.get("VELTRANE_PACK")
                or default_build_dir() / "src" / "pack" / "veltrane-pack.exe")


def run_tool(tool, *args):
    """Runs a command-line tool of the build; returns (exit code, output with LF line ends). A
    Windows build (.exe) runs under Wine and gets Path arguments in their Z:\\ form. Wine's
    background processes keep a pipe open for ever, so the output goes through a file."""
    wine = Path(tool).suffix == ".exe"
    argv = ([str(TOOLS / "wine-run")] if wine else []) + [str(tool)]
    for arg in args:
        argv.append((windows_path(arg) if wine else str(arg)) if isinstance(arg, Path) else arg)
    with tempfile.TemporaryFile() as log:
        done = subprocess.run(argv, stdin=subprocess.DEVNULL, stdout=log,
                              stderr=subprocess.STDOUT, timeout=300)
        log.seek(0)
        return done.returncode, log.read().decode("utf-8", "replace").replace("\r\n", "\n")


def seal(root):
    """Seals the served folder `root`, whose Update is written and whose files are in place: adds
    the hash keys the manifest lacks for the files present and signs it into Update.sig with the
    demo key, keeping every other byte (tests/gui/seal_pack.cpp says how, and what it refuses).
    One run of seal_pack, about a second under Wine: seal once per served state, and tamper
    afterwards."""
    tool = os.environ.get("VELTRANE_SEAL_PACK") or default_build_dir() / "tests" / "seal_pack.exe"
    code, out = run_tool(tool, Path(root), DEMO_KEY)
    if code != 0:
        raise RuntimeError("sealing %s failed (%d): %s" % (root, code, out))


def verify_pack(root):
    """`veltrane-pack verify ROOT --pubkey <demo public key>`: (exit code, report)."""
    return run_tool(pack_tool(), "verify", Path(root), "--pubkey", DEMO_PUBLIC_KEY)


def _stop(proc, grace=3.0):
    """Ends one process we started: SIGTERM, then SIGKILL after a grace period."""
    if proc is None or proc.poll() is not None:
        return None if proc is None else proc.returncode
    try:
        os.kill(proc.pid, signal.SIGTERM)
        return proc.wait(grace)
    except subprocess.TimeoutExpired:
        os.kill(proc.pid, signal.SIGKILL)
        return proc.wait(grace)
    except ProcessLookupError:
        return proc.wait(grace)


class Driver:
    """One uidriver.exe process. call() sends a command and returns the answer's fields."""

    def __init__(self, argv, env, stderr_path, start_timeout=60.0):
        self.stderr_path = Path(stderr_path)
        with open(self.stderr_path, "wb") as err:
            self.proc = subprocess.Popen(argv, env=env, stdin=subprocess.PIPE,
                                         stdout=subprocess.PIPE, stderr=err)
        self._buffer = b""
        self._seq = 0
        self._selector = selectors.DefaultSelector()
        self._selector.register(self.proc.stdout, selectors.EVENT_READ)
        hello = self._read_line(start_timeout)
        if not hello.get("ready"):
            raise DriverError("the driver did not start: %r" % hello)
        self.windows_pid = hello["pid"]

    def _read_line(self, timeout, seq=None):
        """The next answer carrying `seq` (or none); late answers to abandoned calls are dropped."""
        limit = time.monotonic() + timeout
        while True:
            while b"\n" not in self._buffer:
                left = limit - time.monotonic()
                if left <= 0 or not self._selector.select(left):
                    raise TimeoutError("the driver did not answer within %.1f s" % timeout)
                chunk = os.read(self.proc.stdout.fileno(), 65536)
                if not chunk:
                    try:
                        code = self.proc.wait(5)
                    except subprocess.TimeoutExpired:
                        code = None
                    tail = self.stderr_path.read_bytes()[-2000:].decode("utf-8", "replace")
                    raise DriverError("the driver exited (code %s): %s" % (code, tail))
                self._buffer += chunk
            line, self._buffer = self._buffer.split(b"\n", 1)
            answer = json.loads(line.decode("utf-8"))
            if answer.pop("seq", None) == seq:
                return answer

    def call(self, cmd, timeout=None, **args):
        """Runs one command; raises DriverError when the driver reports a failure."""
        answer = self.try_call(cmd, timeout=timeout, **args)
        if not answer.get("ok"):
            raise DriverError("%s %r: %s" % (cmd, args, answer.get("error")))
        return answer

    def try_call(self, cmd, timeout=None, **args):
        """Runs one command and returns the answer whatever it says."""
        if "cls" in args:  # "class" is a Python keyword
            args["class"] = args.pop("cls")
        if timeout is None:
            timeout = args.get("timeout_ms", args.get("ms", 0)) / 1000.0 + 30.0
        self._seq += 1
        request = dict(args, cmd=cmd, seq=self._seq)
        return self.send_line(json.dumps(request, ensure_ascii=False), timeout, self._seq)

    def send_line(self, line, timeout=30.0, seq=None):
        """Sends one raw request line and returns the decoded answer."""
        self.proc.stdin.write(line.encode("utf-8") + b"\n")
        self.proc.stdin.flush()
        return self._read_line(timeout, seq)

    def close(self):
        if self.proc.poll() is None:
            try:
                self.try_call("quit", timeout=10)
                self.proc.wait(10)
            except (OSError, TimeoutError, DriverError, subprocess.TimeoutExpired, ValueError):
                pass
        _stop(self.proc)
        self._selector.close()
        for stream in (self.proc.stdin, self.proc.stdout):
            try:
                stream.close()
            except OSError:
                pass


class App:
    """A Windows program started under Wine. pid is the Linux pid (which is the program)."""

    def __init__(self, proc):
        self.proc = proc
        self.pid = proc.pid

    def wait(self, timeout=30.0):
        """Waits for the program to end and returns its exit code."""
        return self.proc.wait(timeout)

    def alive(self):
        return self.proc.poll() is None

    def kill(self):
        return _stop(self.proc)


class Server:
    """The loopback test server (tests/server/test_server.py) serving one folder."""

    def __init__(self, root, work, port=0):
        self.root = Path(root)
        port_file = Path(work) / "server.port"
        self._log = open(Path(work) / "server.log", "wb")
        self.proc = subprocess.Popen(
            ["python3", str(TEST_SERVER), "--root", str(self.root), "--port-file",
             str(port_file), "--port", str(port)], stdout=self._log, stderr=subprocess.STDOUT)
        limit = time.monotonic() + 30
        while not (port_file.exists() and port_file.read_text().strip()):
            if self.proc.poll() is not None or time.monotonic() > limit:
                self.stop()
                raise RuntimeError("the test server did not start")
            time.sleep(0.05)
        self.port = int(port_file.read_text())
        self.url = "http://127.0.0.1:%d" % self.port

    def _request(self, method, path, body=None):
        data = None if body is None else json.dumps(body).encode("utf-8")
        req = urllib.request.Request(self.url + path, data=data, method=method,
                                     headers={"Content-Type": "application/json"})
        with urllib.request.urlopen(req, timeout=10) as resp:
            return resp.read()

    def fault(self, **fields):
        """Asks the server to misbehave (POST /__control/fault with the given JSON fields)."""
        return self._request("POST", "/__control/fault", fields)

    def reset(self):
        return self._request("POST", "/__control/reset", {})

    def log(self):
        """The requests the server saw (GET /__control/log), decoded from JSON."""
        return json.loads(self._request("GET", "/__control/log").decode("utf-8"))

    def stop(self):
        _stop(self.proc)
        self._log.close()


def _free_xvfb():
    """Starts Xvfb on a display number it picks itself; returns (process, ":N")."""
    read_end, write_end = os.pipe()
    proc = subprocess.Popen(
        ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x1024x24", "-nolisten",
         "tcp"], pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_end)
    number = b""
    with os.fdopen(read_end, "rb") as pipe:
        sel = selectors.DefaultSelector()
        sel.register(pipe, selectors.EVENT_READ)
        limit = time.monotonic() + 20
        while not number.endswith(b"\n"):
            left = limit - time.monotonic()
            if left <= 0 or not sel.select(left):
                break
            chunk = os.read(pipe.fileno(), 16)
            if not chunk:
                break
            number += chunk
        sel.close()
    if not number.strip():
        _stop(proc)
        raise RuntimeError("Xvfb did not start")
    return proc, ":" + number.decode().strip()


class Session:
    """Everything one GUI test needs; use as a context manager (or call close())."""

    def __init__(self, name=None, build_dir=None, artifacts=None, driver=None):
        self.build_dir = Path(build_dir or default_build_dir())
        self.driver_exe = Path(driver or os.environ.get("VELTRANE_UIDRIVER")
                               or self.build_dir / "tests" / "gui" / "uidriver.exe")
        self.artifacts = Path(artifacts or os.environ.get("VELTRANE_GUI_ARTIFACTS")
                              or self.build_dir / "gui-artifacts")
        if name:
            self.artifacts /= name
        self.artifacts.mkdir(parents=True, exist_ok=True)
        self._work = Path(tempfile.mkdtemp(prefix="veltrane-gui-"))
        self._xvfb = None
        self._own_prefix = False
        self._apps = []
        self._servers = []
        self._shots = 0
        self.driver = None
        self.env = dict(os.environ)
        try:
            self._start()
        except BaseException:
            self.close()
            raise

    def _start(self):
        self.env.setdefault("WINEDEBUG", "-all")
        if not self.env.get("DISPLAY"):
            self._xvfb, self.env["DISPLAY"] = _free_xvfb()
        prefix = self.env.get("WINEPREFIX")
        if not prefix:
            prefix = str(self._work / "wineprefix")
            self._own_prefix = True
        self.env["WINEPREFIX"] = prefix
        self.prefix = Path(prefix)
        if not (self.prefix / "system.reg").exists():
            subprocess.run([str(TOOLS / "wine-prefix"), "up"], env=self.env, check=True,
                           stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL)
        self.driver = Driver([str(TOOLS / "wine-run"), str(self.driver_exe)], self.env,
                             self._work / "driver.stderr")

    # ---- programs ----

    def launch(self, exe, args=(), env=None, cwd=None):
        """Starts a Windows program under Wine; env adds to (or with None removes from) ours."""
        full = dict(self.env)
        for key, value in (env or {}).items():
            if value is None:
                full.pop(key, None)
            else:
                full[key] = str(value)
        proc = subprocess.Popen([str(TOOLS / "wine-run"), str(exe), *map(str, args)], env=full,
                                cwd=cwd, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)
        app = App(proc)
        self._apps.append(app)
        return app

    def call(self, cmd, **args):
        return self.driver.call(cmd, **args)

    # ---- files and paths ----

    def screenshot(self, step, rect=None):
        """Saves the whole screen, or only `rect` (a window's "rect" from props), as
        <artifacts>[/name]/NN-step.png; returns the path."""
        self._shots += 1
        path = self.artifacts / ("%02d-%s.png" % (self._shots, step))
        crop = [] if rect is None else [
            "-crop", "%dx%d+%d+%d" % (rect["w"], rect["h"], rect["x"], rect["y"]), "+repage"]
        subprocess.run(["import", "-window", "root", *crop, str(path)], env=self.env, check=True,
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=30)
        return path

    def appdata_dir(self):
        """The Linux folder that is %APPDATA% for programs in this prefix (in drive_c/users/<the
        Wine user>)."""
        users = self.prefix / "drive_c" / "users"
        mine = users / getpass.getuser()
        if not mine.is_dir():
            others = [p for p in users.iterdir() if p.is_dir() and p.name != "Public"]
            if len(others) != 1:
                raise RuntimeError("cannot tell the Wine user's folder in %s" % users)
            mine = others[0]
        return mine / "AppData" / "Roaming"

    windows_path = staticmethod(windows_path)

    def start_server(self, root, port=0):
        """The loopback test server on `port` (0: a free one)."""
        server = Server(root, tempfile.mkdtemp(dir=self._work), port)
        self._servers.append(server)
        return server

    # ---- teardown ----

    def close(self):
        for app in self._apps:
            app.kill()
        self._apps.clear()
        for server in self._servers:
            server.stop()
        self._servers.clear()
        if self.driver is not None:
            self.driver.close()
            self.driver = None
        if self._own_prefix:
            subprocess.run([str(TOOLS / "wine-prefix"), "down"], env=self.env,
                           stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL)
        if self._xvfb is not None:
            _stop(self._xvfb)
            self._xvfb = None
        shutil.rmtree(self._work, ignore_errors=True)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()
        return False


class SessionTest(unittest.TestCase):
    """One Session per test class, and the driver calls the tests make most."""

    @classmethod
    def setUpClass(cls):
        cls.session = Session(name=cls.__name__)

    @classmethod
    def tearDownClass(cls):
        cls.session.close()

    def call(self, cmd, **args):
        return self.session.call(cmd, **args)

    def control(self, parent, **how):
        return self.call("find", parent=parent, timeout_ms=5000, **how)["hwnd"]

    def props(self, hwnd):
        return self.call("props", hwnd=hwnd)

    def eventually(self, read, expected, timeout=15.0):
        """Polls read() until it gives `expected` (posted messages land a little later)."""
        limit = time.monotonic() + timeout
        value = read()
        while value != expected and time.monotonic() < limit:
            time.sleep(0.05)
            value = read()
        self.assertEqual(value, expected)
        return value
