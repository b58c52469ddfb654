"""Checks that Debian's nginx, Apache and tinyproxy start through realhosts and answer names,
refusals, ranges and their logs as a client of theirs meets them, over HTTP and HTTPS."""

import os
import socket
import tempfile
import threading
import time
import types
import unittest
import uuid
import urllib.error
import urllib.request

from realhosts import Apache, LocalCA, Nginx, TinyProxy, quote_path

# Every character the pack's names may hold that a client must escape.
NAMES = ["моды 3/Мод [1.12.2] (beta)+1.jar", "моды 3/it's & #2 100%.jar"]
BODY = bytes(range(256)) * 8


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def raw_get(server, ca, target, headers=b""):
    """Sends a request line with `target` as given (bytes); returns (status, body)."""
    sock = socket.create_connection(("127.0.0.1", server.port), timeout=10)
    if server.tls:
        sock = ca.ssl_context().wrap_socket(sock, server_hostname="localhost")
    with sock:
        sock.sendall(b"GET %s HTTP/1.1\r\nHost: localhost\r\nConnection: close\r\n%s\r\n"
                     % (target, headers))
        data = b""
        while part := sock.recv(65536):
            data += part
    head, _, body = data.partition(b"\r\n\r\n")
    return int(head.split(b" ")[1]), body


def logged(server, target, count=1):
    """The server's log entries for `target` (bytes), once it has written `count` of them: a
    server logs a request after its last byte went out."""
    deadline = time.monotonic() + 5
    while True:
        found = [r for r in server.requests() if r.target == target]
        if len(found) >= count or time.monotonic() > deadline:
            return found
        time.sleep(0.02)


def unique(path):
    """`path` with a query no other request has, so that its log entry can be told apart."""
    return "%s?%s" % (path, uuid.uuid4().hex)


class RealHostsTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        cls.root = os.path.join(cls.tmp.name, "root")
        for name in NAMES:
            os.makedirs(os.path.dirname(os.path.join(cls.root, name)), exist_ok=True)
            with open(os.path.join(cls.root, name), "wb") as f:
                f.write(BODY)
        cls.ca = LocalCA(os.path.join(cls.tmp.name, "ca"))
        cls.servers = []
        for kind in (Nginx, Apache):
            for tls in (None, cls.ca):
                cls.servers.append(kind(cls.root, free_port(), tls=tls))
                cls.addClassCleanup(cls.servers[-1].stop)
        cls.addClassCleanup(cls.tmp.cleanup)

    def fetch(self, url, headers=None, opener=None):
        request = urllib.request.Request(url, headers=headers or {})
        open_url = opener.open if opener else urllib.request.urlopen
        kwargs = {} if opener else {"context": self.ca.ssl_context()}
        try:
            with open_url(request, timeout=10, **kwargs) as r:
                return r.status, r.headers, r.read()
        except urllib.error.HTTPError as e:
            return e.code, e.headers, e.read()

    def each(self, server):
        return self.subTest(server=type(server).__name__, url=server.url)

    def test_names_escaped_as_utf8_are_served_and_logged(self):
        for server in self.servers:
            with self.each(server):
                for name in NAMES:
                    target = unique(quote_path("/" + name))
                    self.assertEqual(self.fetch(server.url + target)[::2], (200, BODY), name)
                    seen = [(r.method, r.path, r.status) for r in logged(server, target.encode())]
                    self.assertEqual(seen, [("GET", "/" + name, 200)])

    def test_raw_cp1251_is_not_found_and_a_raw_space_is_refused(self):
        def raw_letters(encoding):  # the served form but for the Cyrillic letters, sent raw
            return b"".join(c.encode(encoding) if ord(c) > 127 else quote_path(c).encode()
                            for c in "/" + NAMES[0])

        cases = [(raw_letters("utf-8"), 200), (raw_letters("cp1251"), 404),
                 (quote_path("/" + NAMES[0]).replace("%20", " ").encode(), 400)]
        for server in self.servers:
            with self.each(server):
                for target, status in cases:
                    self.assertEqual(raw_get(server, self.ca, target)[0], status, target)
                    if status != 400:  # Apache logs a line it refuses in its own words
                        seen = [r.status for r in logged(server, target)]
                        self.assertEqual(seen, [status], target)

    def test_a_range_is_served_and_a_stale_if_range_gets_the_whole_file(self):
        url_path = unique(quote_path("/" + NAMES[0]))
        for server in self.servers:
            with self.each(server):
                url = server.url + url_path
                status, headers, body = self.fetch(url, {"Range": "bytes=100-"})
                self.assertEqual((status, headers["Content-Range"], body),
                                 (206, "bytes 100-2047/2048", BODY[100:]))
                status, _, body = self.fetch(url, {"Range": "bytes=100-", "If-Range": '"stale"'})
                self.assertEqual((status, body), (200, BODY))
                seen = [(r.status, r.range) for r in logged(server, url_path.encode(), 2)]
                self.assertEqual(seen, [(206, "bytes=100-"), (200, "bytes=100-")])

    def test_tinyproxy_carries_plain_http_and_connect_to_nginx(self):
        plain, secure = self.servers[0], self.servers[1]
        url_path = quote_path("/" + NAMES[0])
        with TinyProxy(free_port()) as proxy:
            opener = urllib.request.build_opener(
                urllib.request.ProxyHandler({"http": proxy.url, "https": proxy.url}),
                urllib.request.HTTPSHandler(context=self.ca.ssl_context()))
            for server in (plain, secure):
                self.assertEqual(self.fetch(server.url + url_path, opener=opener)[::2],
                                 (200, BODY))
            seen = [(r.method, r.target) for r in proxy.requests(count=2)]
        self.assertEqual(seen, [("GET", (plain.url + url_path).encode()),
                                ("CONNECT", b"localhost:%d" % secure.port)])

    def test_a_start_waits_while_the_port_is_still_taken(self):
        holder = socket.create_server(("127.0.0.1", 0))
        port = holder.getsockname()[1]
        threading.Timer(1.0, holder.close).start()
        with Nginx(self.root, port) as server:
            self.assertEqual(self.fetch(server.url + quote_path("/" + NAMES[1]))[::2],
                             (200, BODY))

    def test_a_server_that_exits_fails_the_start_with_its_error_log(self):
        missing = types.SimpleNamespace(cert="/nonexistent/cert.pem", key="/nonexistent/key.pem")
        for kind in (Nginx, Apache):
            with self.subTest(server=kind.__name__):
                with self.assertRaisesRegex(RuntimeError, "(?s)did not start.*nonexistent"):
                    kind(self.root, free_port(), tls=missing)


if __name__ == "__main__":
    unittest.main()
