#!/usr/bin/env python3
"""Loopback HTTP/1.1 server for the tests: serves a folder as static files, with faults on request.

    test_server.py --root DIR --port-file FILE [--port N] [--faults FILE.json] [--rate BYTES_PER_S]

Binds 127.0.0.1 on a free port (or on --port N, waiting up to 20 s while that port is still taken)
and writes the port number to --port-file once it accepts connections. GET and HEAD; keep-alive with an exact Content-Length; one thread per connection.

Request paths are percent-decoded to bytes and read as UTF-8; raw (unescaped) UTF-8 bytes are
accepted as well, since WinInet sends either form depending on the call. Bytes that are not UTF-8
are read as Windows-1251 (what an ANSI call on a Russian Windows would send). File names may hold
spaces and Cyrillic. Paths that leave the root, and folders, answer 404.

Faults. Any URL takes them as query parameters (/mods/a.jar?status=500&body=oops); for programs
that build their URLs themselves, POST /__control/fault sets them per path. Fields:

  status=<code>    answer with this status. body=<text> is the body; without body the resource
                   itself is sent (a complete file under an error status), or "Not Found" text
                   when there is none.
  body=<text>      the body to send instead of the resource (status 200 unless status is set).
  nolength=1       no Content-Length; the body ends when the server closes the connection.
  length=<text>    send this literal Content-Length text (e.g. "abc", "-5", "999"), then the full
                   body, then close the connection (the stated length cannot be trusted).
  cut=<N>          state the full length, send only the first N body bytes, close cleanly (FIN).
                   With chunked, the body stops after N bytes, before its last chunk.
  chunked=1        send the body in chunks (Transfer-Encoding: chunked) instead of with a length.
  headcut=<N>      send only the first N bytes of the response head, then close. The head is the
                   status line, Content-Type, then Content-Length, so a small N cuts it before the
                   length arrives.
  drop=<N>         send N body bytes, then reset the connection (SO_LINGER 0: the peer sees RST).
  delay_ms=<ms>    sleep this long before each body chunk.
  chunk=<bytes>    body chunk size (default 65536); with delay_ms it sets how often the sleep runs.
  slow=<bytes/s>   pace this response's body at this speed, in small steps (progress is visible).
  rate=<bytes/s>   limit the whole connection to this speed, across keep-alive requests (meant for
                   benchmarks). --rate sets it for every connection.
  pause_ms=<ms>    wait this long before the status line (a server that is slow to answer).
  times=<N>        (control endpoint and --faults only) the fault applies to the next N requests
                   of the path, then is forgotten. Without it, it stays until reset.

Control endpoints (never logged, never faulted):

  POST /__control/fault   JSON {"path": "/mods3/x.jar", "status": 404, "body": "gone", ...}.
                          "path" is the decoded path ("*" for every path); a new fault for a
                          path replaces the old one. Query-string faults win over these.
  POST /__control/reset   forget the faults set since start (those of --faults come back whole)
                          and empty the log.
  GET  /__control/log     JSON list of the decoded paths requested so far (GET and HEAD), in order.

--faults FILE.json holds a list of such objects (or one object mapping paths to field objects),
loaded at start as if posted.

Generated bodies: GET /__gen/<N> streams N bytes without a file; the byte at offset i is i % 251.
It sends large blocks and is meant for throughput benchmarks (takes the same faults).
"""

import argparse
import json
import mimetypes
import os
import socket
import struct
import sys
import threading
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

GEN_PERIOD = 251
# A block of the generated pattern whose length is a multiple of the period, so that every block
# starts at pattern offset 0.
GEN_BLOCK = bytes(i % GEN_PERIOD for i in range(GEN_PERIOD)) * (4 * 1024 * 1024 // GEN_PERIOD)
DEFAULT_CHUNK = 65536
BIG_CHUNK = len(GEN_BLOCK)

FAULT_FIELDS = {"status", "body", "nolength", "length", "cut", "drop", "delay_ms", "chunk",
                "slow", "rate", "pause_ms", "times", "chunked", "headcut"}
INT_FIELDS = {"status", "nolength", "cut", "drop", "delay_ms", "chunk", "slow", "rate",
              "pause_ms", "times", "chunked", "headcut"}


class FaultError(ValueError):
    pass


def normalize_fault(fields):
    """Turns query or JSON field values into typed ones; unknown keys are not faults."""
    fault = {}
    for key, value in fields.items():
        if key not in FAULT_FIELDS:
            continue
        if key in INT_FIELDS:
            try:
                fault[key] = int(value)
            except (TypeError, ValueError):
                raise FaultError(f"{key} must be an integer, got {value!r}")
        else:
            fault[key] = str(value)
    return fault


def decode_path(raw):
    """Request-target text (as http.server read it: Latin-1) to a decoded Unicode path."""
    target = raw.split("?", 1)[0].split("#", 1)[0]
    data = urllib.parse.unquote_to_bytes(target.encode("latin-1"))
    try:
        return data.decode("utf-8")
    except UnicodeDecodeError:
        return data.decode("cp1251", errors="replace")


class State:
    def __init__(self, root, rate):
        self.root = os.path.realpath(root)
        self.rate = rate
        self.lock = threading.Lock()
        self.faults = {}
        self.start_faults = {}
        self.log = []

    def set_fault(self, obj):
        if not isinstance(obj, dict) or not isinstance(obj.get("path"), str):
            raise FaultError('a fault needs a "path" text')
        fault = normalize_fault(obj)
        with self.lock:
            self.faults[obj["path"]] = fault

    def reset(self):
        with self.lock:
            self.faults = {k: dict(v) for k, v in self.start_faults.items()}
            self.log.clear()

    def take_fault(self, path):
        """The fault set for `path` (or "*"), counting down a limited one."""
        with self.lock:
            for key in (path, "*"):
                fault = self.faults.get(key)
                if fault is None:
                    continue
                if "times" in fault:
                    fault["times"] -= 1
                    if fault["times"] <= 0:
                        del self.faults[key]
                return dict(fault)
        return {}

    def record(self, path):
        with self.lock:
            self.log.append(path)

    def load_faults(self, file_name):
        with open(file_name, encoding="utf-8") as f:
            data = json.load(f)
        if isinstance(data, dict):
            data = [dict(fields, path=path) for path, fields in data.items()]
        for obj in data:
            self.set_fault(obj)
        with self.lock:
            self.start_faults = {k: dict(v) for k, v in self.faults.items()}


class Pacer:
    """Holds a sender to `rate` bytes per second from its start."""

    def __init__(self, rate):
        self.rate = rate
        self.start = None
        self.sent = 0

    def step(self, chunk):
        return max(1, min(chunk, self.rate // 20))

    def wait(self, count):
        now = time.monotonic()
        if self.start is None:
            self.start = now
        due = self.start + (self.sent + count) / self.rate
        if due > now:
            time.sleep(due - now)
        self.sent += count


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "VeltraneTestServer"
    # Idle keep-alive connections go away instead of holding a thread for ever.
    timeout = 120

    def setup(self):
        super().setup()
        self.conn_pacer = Pacer(self.server.state.rate) if self.server.state.rate else None

    def version_string(self):
        return self.server_version

    def log_message(self, fmt, *args):
        sys.stderr.write("%s %s\n" % (self.log_date_time_string(), fmt % args))

    def do_GET(self):
        self.serve(head=False)

    def do_HEAD(self):
        self.serve(head=True)

    def do_POST(self):
        path = decode_path(self.path)
        length = int(self.headers.get("Content-Length") or 0)
        data = self.rfile.read(length) if length > 0 else b""
        state = self.server.state
        try:
            if path == "/__control/fault":
                obj = json.loads(data.decode("utf-8") or "null")
                for item in obj if isinstance(obj, list) else [obj]:
                    state.set_fault(item)
            elif path == "/__control/reset":
                state.reset()
            else:
                self.send_simple(404, b"Not Found")
                return
        except (FaultError, ValueError) as e:
            self.send_simple(400, str(e).encode("utf-8"))
            return
        self.send_simple(200, b"OK")

    def send_simple(self, status, body, content_type="text/plain; charset=utf-8"):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(body)

    def serve(self, head):
        state = self.server.state
        path = decode_path(self.path)
        if path == "/__control/log":
            with state.lock:
                body = json.dumps(state.log, ensure_ascii=False).encode("utf-8")
            self.send_simple(200, body, "application/json; charset=utf-8")
            return
        state.record(path)
        query = urllib.parse.parse_qs(self.path.split("?", 1)[1] if "?" in self.path else "",
                                      keep_blank_values=True)
        try:
            fault = state.take_fault(path)
            fault.update(normalize_fault({k: v[-1] for k, v in query.items()}))
        except FaultError as e:
            self.send_simple(400, str(e).encode("utf-8"))
            return

        if fault.get("pause_ms"):
            time.sleep(fault["pause_ms"] / 1000)

        status = fault.get("status", 200)
        if "body" in fault:
            body = Body.of_bytes(fault["body"].encode("utf-8"))
        else:
            body = self.resource(path)
            if body is None:
                if "status" not in fault:
                    status = 404
                body = Body.of_bytes(b"Not Found")

        if "headcut" in fault:
            head = "HTTP/1.1 %d %s\r\nContent-Type: %s\r\nContent-Length: %d\r\n\r\n" % (
                status, self.responses.get(status, ("",))[0], body.content_type, body.size)
            body.close()
            self.close_connection = True
            self.wfile.write(head.encode("latin-1")[:max(0, fault["headcut"])])
            return

        self.send_response(status)
        self.send_header("Content-Type", body.content_type)
        close = False
        chunked = bool(fault.get("chunked"))
        if chunked:
            self.send_header("Transfer-Encoding", "chunked")
        elif fault.get("nolength"):
            close = True
        elif "length" in fault:
            self.send_header("Content-Length", fault["length"])
            close = True
        else:
            self.send_header("Content-Length", str(body.size))
        if close:
            self.send_header("Connection", "close")
            self.close_connection = True
        self.end_headers()
        if head:
            body.close()
            return

        limit = body.size
        if "cut" in fault:
            limit = min(limit, max(0, fault["cut"]))
            self.close_connection = True
        if "drop" in fault:
            limit = min(limit, max(0, fault["drop"]))
        try:
            self.send_body(body, limit, fault, chunked)
            if chunked and limit == body.size:
                self.wfile.write(b"0\r\n\r\n")
        except (BrokenPipeError, ConnectionResetError):
            self.close_connection = True
            return
        finally:
            body.close()
        if "drop" in fault:
            self.reset_connection()

    def resource(self, path):
        if path.startswith("/__gen/"):
            try:
                size = int(path[len("/__gen/"):])
            except ValueError:
                return None
            return Body.generated(size) if size >= 0 else None
        root = self.server.state.root
        full = os.path.realpath(os.path.join(root, path.lstrip("/")))
        if full != root and not full.startswith(root + os.sep):
            return None
        if not os.path.isfile(full):
            return None
        return Body.of_file(full)

    def send_body(self, body, limit, fault, chunked=False):
        chunk = fault.get("chunk") or (BIG_CHUNK if body.generated_body else DEFAULT_CHUNK)
        pacers = []
        if fault.get("slow"):
            pacers.append(Pacer(fault["slow"]))
        if fault.get("rate"):
            self.conn_pacer = Pacer(fault["rate"])
        if self.conn_pacer:
            pacers.append(self.conn_pacer)
        for p in pacers:
            chunk = p.step(chunk)
        delay = fault.get("delay_ms", 0) / 1000
        sock = self.connection
        offset = 0
        while offset < limit:
            count = min(chunk, limit - offset)
            if delay:
                time.sleep(delay)
            for p in pacers:
                p.wait(count)
            data = body.view(offset, count)
            if not data:
                break  # the file shrank while it was being sent
            if chunked:
                sock.sendall(b"%x\r\n" % len(data) + bytes(data) + b"\r\n")
            else:
                sock.sendall(data)
            offset += len(data)

    def reset_connection(self):
        # Linger 0 makes close() send RST instead of FIN. The read side holds its own reference
        # to the socket, so it is closed too for the close to take effect now.
        self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        self.rfile.close()
        self.connection.close()
        self.close_connection = True


class Body:
    def __init__(self, size, content_type):
        self.size = size
        self.content_type = content_type
        self.generated_body = False
        self.data = None
        self.file = None

    @classmethod
    def of_bytes(cls, data):
        b = cls(len(data), "text/plain; charset=utf-8")
        b.data = memoryview(data)
        return b

    @classmethod
    def of_file(cls, name):
        b = cls(os.path.getsize(name),
                mimetypes.guess_type(name)[0] or "application/octet-stream")
        b.file = open(name, "rb")
        return b

    @classmethod
    def generated(cls, size):
        b = cls(size, "application/octet-stream")
        b.generated_body = True
        return b

    def view(self, offset, count):
        """Up to `count` body bytes from `offset` (fewer only for a generated body's big asks)."""
        if self.generated_body:
            start = offset % len(GEN_BLOCK)
            return GEN_TWICE[start:start + min(count, len(GEN_BLOCK))]
        if self.file is not None:
            self.file.seek(offset)
            return self.file.read(count)
        return self.data[offset:offset + count]

    def close(self):
        if self.file is not None:
            self.file.close()
            self.file = None


# Two blocks back to back: a slice of up to one block from any offset is contiguous in it.
GEN_TWICE = memoryview(GEN_BLOCK + GEN_BLOCK)


class Server(ThreadingHTTPServer):
    daemon_threads = True
    request_queue_size = 64


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--root", required=True)
    parser.add_argument("--port-file", required=True)
    parser.add_argument("--port", type=int, default=0,
                        help="a fixed port (programs built against a fixed address); 0 picks one")
    parser.add_argument("--faults")
    parser.add_argument("--rate", type=int, default=0, help="bytes per second per connection")
    args = parser.parse_args(argv)
    # A fixed port may still be held by the server of the test before: wait for it a while.
    deadline = time.monotonic() + 20
    while True:
        try:
            server = Server(("127.0.0.1", args.port), Handler)
            break
        except OSError:
            if not args.port or time.monotonic() > deadline:
                raise
            time.sleep(0.2)
    server.state = State(args.root, args.rate)
    if args.faults:
        server.state.load_faults(args.faults)
    # Written whole under a temporary name, so a reader never sees a partial number.
    tmp = args.port_file + ".tmp"
    with open(tmp, "w") as f:
        f.write(str(server.server_address[1]))
    os.replace(tmp, args.port_file)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass
    finally:
        server.server_close()


if __name__ == "__main__":
    main()
