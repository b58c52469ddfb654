"""Checks the loopback test server's files, paths and faults over real sockets."""

import email.utils
import http.client
import json
import os
import socket
import subprocess
import sys
import tempfile
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
SERVER = os.path.join(HERE, "test_server.py")
sys.path.insert(0, HERE)
from test_server import RANGE_PAGE  # noqa: E402  (nginx's 416 page, copied there)
CONTENT = bytes(range(256)) * 40  # 10240 bytes
BIG = bytes(range(7, 256)) * 40000  # large enough that a reset arrives while the client reads


def start_server(root, *extra):
    port_file = os.path.join(root, "..", "port-%d" % len(os.listdir(os.path.join(root, ".."))))
    proc = subprocess.Popen([sys.executable, SERVER, "--root", root, "--port-file", port_file,
                             *extra], stderr=subprocess.DEVNULL)
    for _ in range(200):
        if os.path.exists(port_file):
            with open(port_file) as f:
                return proc, int(f.read())
        time.sleep(0.02)
    proc.kill()
    raise RuntimeError("server did not start")


def raw_exchange(port, request):
    """Sends raw request bytes; returns (head, body bytes, how the connection ended)."""
    with socket.create_connection(("127.0.0.1", port), timeout=10) as s:
        s.sendall(request)
        data = b""
        ending = "eof"
        while True:
            try:
                part = s.recv(65536)
            except ConnectionResetError:
                ending = "reset"
                break
            if not part:
                break
            data += part
    head, _, body = data.partition(b"\r\n\r\n")
    return head.decode("latin-1"), body, ending


def get_request(path):
    return b"GET " + path + b" HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n"


class ServerTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        cls.root = os.path.join(cls.tmp.name, "root")
        os.makedirs(os.path.join(cls.root, "моды 3"))
        with open(os.path.join(cls.root, "моды 3", "мод 1.jar"), "wb") as f:
            f.write(CONTENT)
        with open(os.path.join(cls.root, "plain.txt"), "wb") as f:
            f.write(b"plain text")
        with open(os.path.join(cls.root, "big.bin"), "wb") as f:
            f.write(BIG)
        with open(os.path.join(cls.root, "Рх.txt"), "wb") as f:
            f.write(b"er ha")
        with open(os.path.join(cls.tmp.name, "secret"), "wb") as f:
            f.write(b"outside")
        faults = os.path.join(cls.tmp.name, "faults.json")
        with open(faults, "w") as f:
            json.dump({"/from-file.txt": {"status": 410, "body": "gone from file"}}, f)
        cls.proc, cls.port = start_server(cls.root, "--faults", faults)

    @classmethod
    def tearDownClass(cls):
        cls.proc.kill()
        cls.proc.wait()
        cls.tmp.cleanup()

    def setUp(self):
        self.post("/__control/reset", b"")

    def conn(self):
        return http.client.HTTPConnection("127.0.0.1", self.port, timeout=10)

    def get(self, path, method="GET"):
        c = self.conn()
        c.request(method, path)
        r = c.getresponse()
        body = r.read()
        c.close()
        return r, body

    def post(self, path, body):
        c = self.conn()
        c.request("POST", path, body=body)
        r = c.getresponse()
        r.read()
        c.close()
        return r.status

    def set_fault(self, **fields):
        self.assertEqual(self.post("/__control/fault", json.dumps(fields).encode()), 200)

    def log(self):
        return json.loads(self.get("/__control/log")[1].decode("utf-8"))

    def test_names_are_the_bytes_nginx_decodes(self):
        # Escapes and raw bytes both give the name's bytes, read as UTF-8 on disk; raw "Р" and
        # "х" hold 0xA0 and 0x85, which a whitespace split would take for separators.
        cases = [
            ("/%D0%BC%D0%BE%D0%B4%D1%8B%203/%D0%BC%D0%BE%D0%B4%201.jar".encode(), 200, CONTENT,
             "/моды 3/мод 1.jar"),
            ("/моды%203/мод%201.jar".encode("utf-8"), 200, CONTENT, "/моды 3/мод 1.jar"),
            ("/Рх.txt".encode("utf-8"), 200, b"er ha", "/Рх.txt"),
            # raw ANSI bytes match no UTF-8 name; the log shows them as \xHH
            ("/моды%203/мод%201.jar".encode("cp1251"), 404, b"Not Found",
             "/\\xec\\xee\\xe4\\xfb 3/\\xec\\xee\\xe4 1.jar"),
        ]
        for form, status, content, _ in cases:
            head, body, _ = raw_exchange(self.port, get_request(form))
            self.assertIn(" %d " % status, head.splitlines()[0], form)
            self.assertEqual(body, content, form)
        self.assertEqual(self.log(), [logged for *_, logged in cases])

    def test_raw_space_control_bytes_and_broken_escapes_answer_400_and_close(self):
        for form in [b"/a b.txt", b"/a\tb.txt", b"/a\x01b.txt", b"/a\x7fb.txt", b"/a%00b.txt",
                     b"/a%zzb.txt", b"/plain.txt%"]:
            head, _, ending = raw_exchange(
                self.port, b"GET " + form + b" HTTP/1.1\r\nHost: x\r\n\r\n")
            self.assertIn(" 400 ", head.splitlines()[0], form)
            self.assertIn("Connection: close", head, form)
            self.assertEqual(ending, "eof", form)
        self.assertEqual(self.log(), [])

    def ranged(self, path, **headers):
        c = self.conn()
        c.request("GET", path, headers=headers)
        r = c.getresponse()
        body = r.read()
        c.close()
        self.assertEqual(r.getheader("Content-Length"), str(len(body)))
        return r.status, r.getheader("Content-Range"), body

    def test_ranges_as_nginx_reads_them(self):
        cases = [  # Range of the 10 bytes "plain text" -> status, Content-Range, body
            ("bytes=2-", 206, "bytes 2-9/10", b"ain text"),
            ("bytes=2-5", 206, "bytes 2-5/10", b"ain "),
            ("bytes=2-50", 206, "bytes 2-9/10", b"ain text"),
            ("bytes=-3", 206, "bytes 7-9/10", b"ext"),
            ("BYTES= 0 - 1 ", 206, "bytes 0-1/10", b"pl"),
            ("bytes=0-1,40-50", 206, "bytes 0-1/10", b"pl"),  # the unsatisfiable one dropped
            ("bytes=10-", 416, "bytes */10", RANGE_PAGE),
            ("bytes=5-2", 416, "bytes */10", RANGE_PAGE),
            ("bytes=-0", 416, "bytes */10", RANGE_PAGE),
            ("bytes=abc", 416, "bytes */10", RANGE_PAGE),
            ("bytes=- 3", 416, "bytes */10", RANGE_PAGE),
            ("bytes=0-1,4-5", 200, None, b"plain text"),  # several ranges: the whole file
            ("bytes=0-7,2-9", 200, None, b"plain text"),  # more than the file: nginx sends it
            ("items=1-2", 200, None, b"plain text"),
            ("bytes=", 200, None, b"plain text"),
        ]
        for value, *expected in cases:
            self.assertEqual(list(self.ranged("/plain.txt", Range=value)), expected, value)
        r, _ = self.get("/plain.txt")
        self.assertEqual(r.getheader("Accept-Ranges"), "bytes")
        # only a file's own 200 is ranged
        self.assertEqual(self.ranged("/plain.txt?status=500", Range="bytes=2-")[0], 500)

    def test_validators_and_if_range(self):
        st = os.stat(os.path.join(self.root, "plain.txt"))
        etag = '"%x-%x"' % (int(st.st_mtime), st.st_size)
        date = email.utils.formatdate(int(st.st_mtime), usegmt=True)
        r, _ = self.get("/plain.txt")
        self.assertEqual((r.getheader("ETag"), r.getheader("Last-Modified")), (etag, date))
        later = email.utils.formatdate(int(st.st_mtime) + 1, usegmt=True)
        for if_range, status in [(etag, 206), (date, 206), ('"1-a"', 200), ("W/" + etag, 200),
                                 (later, 200), ("not a date", 200)]:
            got = self.ranged("/plain.txt", Range="bytes=2-", **{"If-Range": if_range})
            self.assertEqual(got[0], status, if_range)
            self.assertEqual(got[2], b"ain text" if status == 206 else b"plain text", if_range)

    def test_norange_and_retry_after(self):
        c = self.conn()
        c.request("GET", "/plain.txt?norange=1", headers={"Range": "bytes=2-"})
        r = c.getresponse()
        self.assertEqual((r.status, r.getheader("Accept-Ranges"), r.read()),
                         (200, None, b"plain text"))
        c.close()
        r, body = self.get("/plain.txt?status=503&retry_after=120&body=later")
        self.assertEqual((r.status, r.getheader("Retry-After"), body), (503, "120", b"later"))

    def test_cut_and_drop_count_in_the_range_sent(self):
        head, body, ending = raw_exchange(self.port, b"GET /plain.txt?cut=3 HTTP/1.1\r\n"
                                          b"Host: x\r\nRange: bytes=2-\r\n\r\n")
        self.assertIn("Content-Length: 8", head)
        self.assertEqual((body, ending), (b"ain", "eof"))
        head, body, ending = raw_exchange(self.port, b"GET /big.bin?drop=3000 HTTP/1.1\r\n"
                                          b"Host: x\r\nRange: bytes=1000-\r\n\r\n")
        self.assertIn("Content-Range: bytes 1000-%d/%d" % (len(BIG) - 1, len(BIG)), head)
        self.assertEqual(ending, "reset")
        self.assertLessEqual(len(body), 3000)
        self.assertEqual(body, BIG[1000:1000 + len(body)])

    def test_missing_outside_and_folders_answer_404(self):
        for path in ["/nope.jar", "/../secret", "/%2E%2E/secret", "/моды%203/".encode().decode()]:
            head, body, _ = raw_exchange(self.port, get_request(path.encode()))
            self.assertIn(" 404 ", head.splitlines()[0], path)
            self.assertNotEqual(body, b"outside")

    def test_keep_alive_and_head(self):
        c = self.conn()
        c.request("HEAD", "/plain.txt")
        r = c.getresponse()
        self.assertEqual((r.status, r.getheader("Content-Length"), r.read()), (200, "10", b""))
        sock = c.sock
        for _ in range(2):
            c.request("GET", "/plain.txt")
            r = c.getresponse()
            self.assertEqual(r.read(), b"plain text")
            self.assertIs(c.sock, sock, "connection was not kept alive")
        c.close()

    def test_status_with_body_and_status_alone(self):
        r, body = self.get("/plain.txt?status=503&body=%D0%BF%D0%BE%D0%B7%D0%B6%D0%B5")
        self.assertEqual((r.status, body.decode()), (503, "позже"))
        self.assertEqual(r.getheader("Content-Length"), str(len(body)))
        r, body = self.get("/plain.txt?status=500")
        self.assertEqual((r.status, body), (500, b"plain text"))
        r, body = self.get("/missing?status=200&body=made")
        self.assertEqual((r.status, body), (200, b"made"))

    def test_nolength_ends_with_close(self):
        head, body, ending = raw_exchange(
            self.port, b"GET /plain.txt?nolength=1 HTTP/1.1\r\nHost: x\r\n\r\n")
        self.assertNotIn("Content-Length", head)
        self.assertEqual((body, ending), (b"plain text", "eof"))

    def test_literal_length_text(self):
        head, body, ending = raw_exchange(
            self.port, b"GET /plain.txt?length=abc HTTP/1.1\r\nHost: x\r\n\r\n")
        self.assertIn("Content-Length: abc", head)
        self.assertEqual((body, ending), (b"plain text", "eof"))

    def test_cut_states_full_length_and_closes_cleanly(self):
        head, body, ending = raw_exchange(
            self.port, b"GET /plain.txt?cut=4 HTTP/1.1\r\nHost: x\r\n\r\n")
        self.assertIn("Content-Length: 10", head)
        self.assertEqual((body, ending), (b"plai", "eof"))

    def test_chunked_whole_and_cut_before_the_last_chunk(self):
        r, body = self.get("/plain.txt?chunked=1&chunk=4")
        self.assertEqual((r.getheader("Transfer-Encoding"), r.getheader("Content-Length")),
                         ("chunked", None))
        self.assertEqual(body, b"plain text")
        head, body, ending = raw_exchange(
            self.port, b"GET /plain.txt?chunked=1&chunk=4&cut=6 HTTP/1.1\r\nHost: x\r\n\r\n")
        self.assertEqual((body, ending), (b"4\r\nplai\r\n2\r\nn \r\n", "eof"))

    def test_headcut_sends_the_start_of_the_head_and_closes(self):
        head, body, ending = raw_exchange(self.port, get_request(b"/plain.txt?headcut=1000"))
        self.assertEqual(head.splitlines(), ["HTTP/1.1 200 OK", "Content-Type: text/plain",
                                             "Content-Length: 10"])
        self.assertEqual(body, b"")
        head, body, ending = raw_exchange(self.port, get_request(b"/plain.txt?headcut=30"))
        self.assertEqual((head, body, ending), ("HTTP/1.1 200 OK\r\nContent-Type:", b"", "eof"))

    def test_drop_resets_the_connection(self):
        # Big enough that the reset arrives while the client still reads.
        head, body, ending = raw_exchange(
            self.port, b"GET /__gen/10000000?drop=3000 HTTP/1.1\r\nHost: x\r\n\r\n")
        self.assertIn("Content-Length: 10000000", head)
        self.assertEqual(ending, "reset")
        self.assertLessEqual(len(body), 3000)

    def test_generated_body_is_deterministic(self):
        size = 9 * 1024 * 1024 + 7  # spans more than one internal block
        r, body = self.get("/__gen/%d" % size)
        self.assertEqual(len(body), size)
        for i in [0, 250, 251, 4 * 1024 * 1024 + 3, size - 1]:
            self.assertEqual(body[i], i % 251, i)
        self.assertEqual(raw_exchange(self.port, get_request(b"/__gen/1000?cut=10"))[1],
                         bytes(range(10)))

    def test_slow_delay_and_pause_take_time(self):
        cases = [("/plain.txt?slow=20", 0.4),  # 10 bytes at 20 B/s
                 ("/plain.txt?delay_ms=100&chunk=2", 0.45),  # 5 chunks
                 ("/plain.txt?pause_ms=300", 0.28)]
        for path, least in cases:
            start = time.monotonic()
            r, body = self.get(path)
            took = time.monotonic() - start
            self.assertEqual(body, b"plain text", path)
            self.assertGreaterEqual(took, least, path)
            self.assertLess(took, least + 2, path)

    def test_rate_limits_the_connection_across_requests(self):
        c = self.conn()
        start = time.monotonic()
        c.request("GET", "/__gen/100000?rate=200000")
        self.assertEqual(len(c.getresponse().read()), 100000)
        c.request("GET", "/__gen/100000")  # same connection: still limited
        self.assertEqual(len(c.getresponse().read()), 100000)
        took = time.monotonic() - start
        c.close()
        self.assertGreaterEqual(took, 0.9)
        self.assertLess(took, 3)

    def test_control_faults_per_path_with_times(self):
        self.set_fault(path="/моды 3/мод 1.jar", status=404, body="нет", times=2)
        for _ in range(2):
            r, body = self.get("/%D0%BC%D0%BE%D0%B4%D1%8B%203/%D0%BC%D0%BE%D0%B4%201.jar")
            self.assertEqual((r.status, body.decode()), (404, "нет"))
        r, body = self.get("/%D0%BC%D0%BE%D0%B4%D1%8B%203/%D0%BC%D0%BE%D0%B4%201.jar")
        self.assertEqual((r.status, body), (200, CONTENT))
        self.set_fault(path="*", cut=3)
        self.assertEqual(raw_exchange(self.port, get_request(b"/plain.txt"))[1], b"pla")
        # the query string overrides the control fault
        self.assertEqual(raw_exchange(self.port, get_request(b"/plain.txt?cut=5"))[1], b"plain")

    def test_reset_clears_faults_and_log(self):
        self.set_fault(path="/plain.txt", status=500)
        self.get("/plain.txt")
        self.assertEqual(self.log(), ["/plain.txt"])
        self.post("/__control/reset", b"")
        self.assertEqual(self.log(), [])
        self.assertEqual(self.get("/plain.txt")[0].status, 200)

    def test_faults_file_survives_reset_and_bad_input_is_refused(self):
        for _ in range(2):
            r, body = self.get("/from-file.txt")
            self.assertEqual((r.status, body), (410, b"gone from file"))
            self.post("/__control/reset", b"")
        self.assertEqual(self.post("/__control/fault", b'{"status": 500}'), 400)
        self.assertEqual(self.post("/__control/fault", b'{"path": "/a", "cut": "x"}'), 400)
        self.assertEqual(self.get("/plain.txt?cut=zz")[0].status, 400)


if __name__ == "__main__":
    unittest.main()
