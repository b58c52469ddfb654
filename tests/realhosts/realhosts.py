"""Debian's real web servers and proxy, started on loopback by a test, each in a temp folder.

    ca = LocalCA(folder)
    with Nginx(root, 47613, tls=ca) as server, TinyProxy(47614) as proxy:
        ... fetch server.url + quote_path("/моды 3/мод.jar"), trusting ca.ca_pem ...
        server.requests(count=1)[-1].status

Nginx, Apache and TinyProxy run in the foreground with their own config, pid, logs and temp paths
in a folder of their own, need no root, and are stopped by stop() or at the end of a `with`. A start
waits until the port answers; a server that exits first fails with its error log. A fixed port
still held by the server of the test before is waited for (up to 20 s).

As root (CI), nginx and Apache run their workers as nobody:nogroup, since Apache refuses to serve as
root. Those workers must reach the served folder, so as root the folder's tree is opened to others
(folders o+rx, files o+r) and each folder above it gets o+x: mkdtemp makes 0700 folders, which would
answer 403. Files created later with the default umask are readable already.

requests() reads the access log: the method, the request target as sent (bytes), the path
percent-decoded and read as UTF-8 (other bytes as \\xHH, as the test server logs them), the status
and the Range header. Apache logs a request line it refuses (400) as it read it: a raw tab becomes
a space and the target ends at a raw space. For the proxy the target is the CONNECT target
("localhost:8443", with an empty path) or the absolute URL of a plain HTTP request, and the status
is None: tinyproxy does not log it.
"""

import ctypes
import dataclasses
import grp
import os
import pwd
import re
import shutil
import signal
import socket
import ssl
import stat
import subprocess
import tempfile
import time
import urllib.parse

APACHE_MODULES = "/usr/lib/apache2/modules"
# Rather than www-data: nobody owns no files a test could leak through a served folder.
WORKER_USER, WORKER_GROUP = "nobody", "nogroup"
PORT_WAIT_S = 20
START_WAIT_S = 10
PR_SET_PDEATHSIG = 1


def quote_path(path):
    """`path` as the client sends it: every UTF-8 byte outside A-Z a-z 0-9 - . _ ~ and / as %XX."""
    return urllib.parse.quote(path, safe="/")


@dataclasses.dataclass
class Request:
    method: str
    target: bytes  # as sent: escapes kept, raw bytes raw
    path: str  # the target's path, percent-decoded, read as UTF-8
    status: int | None
    range: str | None = None
    sent: int | None = None  # body bytes sent, where the server logs them (nginx)


def _unescape_log(text):
    """Undoes nginx's and Apache's log escapes (\\xHH, \\", \\\\, \\n...) back to the bytes."""
    simple = {b"n": b"\n", b"r": b"\r", b"t": b"\t", b"b": b"\b", b"v": b"\v"}

    def one(m):
        if m.group(1):
            return bytes([int(m.group(1), 16)])
        return simple.get(m.group(2), m.group(2))

    return re.sub(rb"\\x([0-9A-Fa-f]{2})|\\(.)", one, text.encode("latin-1"))


def _request_of_line(line, status, range_value, sent=None):
    """A request line (method, target, protocol) as logged, which may hold raw spaces."""
    words = line.split(b" ")
    if len(words) >= 3 and words[-1].startswith(b"HTTP/"):
        method, target = words[0], b" ".join(words[1:-1])
    elif len(words) >= 2:
        method, target = words[0], b" ".join(words[1:])
    else:
        method, target = line, b""
    text = target.decode("latin-1")
    if method == b"CONNECT":
        raw_path = ""  # the target is host:port
    elif text.startswith(("http://", "https://")):
        raw_path = urllib.parse.urlsplit(text).path
    else:
        raw_path = text.split("?", 1)[0]
    path = urllib.parse.unquote_to_bytes(raw_path.encode("latin-1"))
    path = path.decode("utf-8", "backslashreplace")
    return Request(method.decode("latin-1"), target, path, status,
                   range_value if range_value not in ("", "-") else None, sent)


def _port_free(port):
    with socket.socket() as s:
        s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        try:
            s.bind(("127.0.0.1", port))
            return True
        except OSError:
            return False


def free_port():
    """A loopback port nothing listens on now. A fixed port in the ephemeral range can be held
    for a while by a connection's own end; a test that may choose its port takes one of these."""
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def _port_answers(port):
    try:
        with socket.create_connection(("127.0.0.1", port), timeout=0.5):
            return True
    except OSError:
        return False


def _open_to_workers(root):
    """As root: lets the unprivileged workers read `root` (see the module's note)."""
    root = os.path.realpath(root)
    for folder, _, files in os.walk(root):
        os.chmod(folder, os.stat(folder).st_mode | 0o005)
        for name in files:
            full = os.path.join(folder, name)
            if not os.path.islink(full):
                os.chmod(full, os.stat(full).st_mode | stat.S_IROTH)
    above = os.path.dirname(root)
    while above != os.path.dirname(above):
        os.chmod(above, os.stat(above).st_mode | stat.S_IXOTH)
        above = os.path.dirname(above)


def _die_with_parent():
    # A test killed before its stop() would leave the server holding the fixed port.
    ctypes.CDLL(None, use_errno=True).prctl(PR_SET_PDEATHSIG, signal.SIGTERM)


def _as_root():
    return os.geteuid() == 0


class _Daemon:
    """One foreground server process with its folder; subclasses write the config."""

    name = "server"

    def __init__(self, port):
        self.port = port
        self.dir = tempfile.mkdtemp(prefix="veltrane-%s-" % self.name)
        self.proc = None
        if _as_root():
            os.chmod(self.dir, 0o711)  # the workers reach their temp folders through it
        try:
            self._start()
        except BaseException:
            self.stop()
            raise

    def _command(self):
        raise NotImplementedError

    def _error_log(self):
        return os.path.join(self.dir, "error.log")

    def _start(self):
        deadline = time.monotonic() + PORT_WAIT_S
        while not _port_free(self.port):
            if time.monotonic() > deadline:
                raise RuntimeError("%s: port %d stays taken" % (self.name, self.port))
            time.sleep(0.2)
        self.output = open(os.path.join(self.dir, "output.log"), "wb")
        self.proc = subprocess.Popen(self._command(), stdin=subprocess.DEVNULL, stdout=self.output,
                                     stderr=subprocess.STDOUT, start_new_session=True,
                                     preexec_fn=_die_with_parent)
        deadline = time.monotonic() + START_WAIT_S
        while not _port_answers(self.port):
            if self.proc.poll() is not None or time.monotonic() > deadline:
                raise RuntimeError("%s did not start (exit %s):\n%s" % (
                    self.name, self.proc.poll(), self.logs()))
            time.sleep(0.05)

    def logs(self):
        text = ""
        for name in (os.path.join(self.dir, "output.log"), self._error_log()):
            if os.path.exists(name):
                with open(name, "rb") as f:
                    text += f.read().decode("utf-8", "replace")
        return text

    def _log_lines(self):
        name = os.path.join(self.dir, "access.log")
        if not os.path.exists(name):
            return []
        with open(name, "rb") as f:
            return [line for line in f.read().decode("latin-1").split("\n") if line]

    def _parse(self, lines):
        out = []
        for line in lines:
            fields = line.split("\t")
            if len(fields) in (3, 4):
                request, status, range_value = fields[:3]
                sent = int(fields[3]) if len(fields) == 4 else None
                out.append(_request_of_line(_unescape_log(request), int(status),
                                            _unescape_log(range_value).decode("latin-1"), sent))
        return out

    def requests(self, count=0, timeout=5):
        """The requests served so far. A server logs a request after its last byte is sent, so
        `count` waits (up to `timeout` s) until at least that many are there."""
        deadline = time.monotonic() + timeout
        while True:
            found = self._parse(self._log_lines())
            if len(found) >= count or time.monotonic() > deadline:
                return found
            time.sleep(0.02)

    def stop(self):
        if self.proc is not None and self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                # Our own session: the master and the workers it left behind.
                os.killpg(self.proc.pid, signal.SIGKILL)
                self.proc.wait()
        if getattr(self, "output", None):
            self.output.close()
            self.output = None
        self.proc = None
        if self.dir and os.path.isdir(self.dir):
            shutil.rmtree(self.dir, ignore_errors=True)
        self.dir = None

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.stop()


class _WebServer(_Daemon):
    def __init__(self, root, port, tls=None, rate=None):
        self.root = os.path.realpath(root)
        self.tls = tls
        self.rate = rate  # bytes a second per connection, where the server can limit it
        if _as_root():
            _open_to_workers(self.root)
        super().__init__(port)

    @property
    def url(self):
        if self.tls:
            return "https://localhost:%d" % self.port
        return "http://127.0.0.1:%d" % self.port


class Nginx(_WebServer):
    """nginx serving `root` as static files: no listing, keep-alive, sendfile; with `rate`, each
    connection limited to that many bytes a second (limit_rate)."""

    name = "nginx"

    def _command(self):
        conf = os.path.join(self.dir, "nginx.conf")
        with open(conf, "w", encoding="utf-8") as f:
            f.write(self._config())
        return ["nginx", "-p", self.dir + "/", "-c", conf, "-e", self._error_log()]

    def _config(self):
        d = self.dir
        user = "user %s %s;\n" % (WORKER_USER, WORKER_GROUP) if _as_root() else ""
        temps = "".join("    %s_temp_path %s/tmp-%s;\n" % (k, d, k)
                        for k in ("client_body", "proxy", "fastcgi", "uwsgi", "scgi"))
        tls = ""
        if self.tls:
            tls = "        ssl_certificate %s;\n        ssl_certificate_key %s;\n" % (
                self.tls.cert, self.tls.key)
        # The default escape writes ", \ and bytes outside 0x20-0x7E as \xHH: nothing is lost.
        return f"""daemon off;
{user}worker_processes 1;
pid {d}/nginx.pid;
error_log {self._error_log()} info;
events {{ worker_connections 256; }}
http {{
    include /etc/nginx/mime.types;
    default_type application/octet-stream;
    log_format veltrane '$request\\t$status\\t$http_range\\t$body_bytes_sent';
    access_log {d}/access.log veltrane;
{temps}    sendfile on;
    tcp_nopush on;
    keepalive_timeout 65;
    server {{
        listen 127.0.0.1:{self.port}{" ssl" if self.tls else ""};
        server_name localhost;
        root {self.root};
        autoindex off;
{"        limit_rate %d;" % self.rate if self.rate else ""}
{tls}    }}
}}
"""


class Apache(_WebServer):
    """Apache httpd serving `root` as static files: no MultiViews, index, listing or charset."""

    name = "apache"

    def _command(self):
        conf = os.path.join(self.dir, "httpd.conf")
        with open(conf, "w", encoding="utf-8") as f:
            f.write(self._config())
        return ["apache2", "-d", self.dir, "-f", conf, "-DFOREGROUND"]

    def _config(self):
        d = self.dir
        os.makedirs(os.path.join(d, "run"), exist_ok=True)
        # Debian builds log_config and unixd in; loading them again is an error.
        modules = ["mpm_event", "authz_core", "mime"]
        if self.tls:
            modules += ["ssl", "socache_shmcb"]
        load = "".join("LoadModule %s_module %s/mod_%s.so\n" % (m, APACHE_MODULES, m)
                       for m in modules)
        user = "User %s\nGroup %s\n" % (WORKER_USER, WORKER_GROUP) if _as_root() else ""
        tls = ""
        if self.tls:
            tls = (f"SSLEngine on\nSSLCertificateFile {self.tls.cert}\n"
                   f"SSLCertificateKeyFile {self.tls.key}\n"
                   f"SSLSessionCache shmcb:{d}/run/ssl_scache(512000)\n")
        # %r escapes ", \ and bytes outside 0x20-0x7E as Apache's log escapes.
        return f"""{load}ServerRoot {d}
ServerName localhost
Listen 127.0.0.1:{self.port}
PidFile {d}/httpd.pid
DefaultRuntimeDir {d}/run
ErrorLog {self._error_log()}
LogLevel warn
{user}StartServers 1
ServerLimit 1
ThreadsPerChild 16
MaxRequestWorkers 16
KeepAlive On
EnableSendfile On
TypesConfig /etc/mime.types
AddDefaultCharset Off
LogFormat "%r\\t%>s\\t%{{Range}}i" veltrane
CustomLog {d}/access.log veltrane
DocumentRoot {self.root}
<Directory />
    Options None
    AllowOverride None
    Require all denied
</Directory>
<Directory {self.root}>
    Options None
    AllowOverride None
    Require all granted
</Directory>
{tls}"""


class TinyProxy(_Daemon):
    """tinyproxy on 127.0.0.1:`port`, for loopback clients, CONNECT to any port."""

    name = "tinyproxy"

    def __init__(self, port):
        super().__init__(port)

    @property
    def url(self):
        return "http://127.0.0.1:%d" % self.port

    def _error_log(self):
        return os.path.join(self.dir, "tinyproxy.log")

    def _command(self):
        conf = os.path.join(self.dir, "tinyproxy.conf")
        user = ""
        if _as_root():
            # tinyproxy opens its log only after it has become that user.
            user = "User %s\nGroup %s\n" % (WORKER_USER, WORKER_GROUP)
            open(self._error_log(), "w").close()
            os.chown(self._error_log(), pwd.getpwnam(WORKER_USER).pw_uid,
                     grp.getgrnam(WORKER_GROUP).gr_gid)
        # No ConnectPort line: CONNECT to every port (the tests' servers sit on high ones).
        with open(conf, "w", encoding="utf-8") as f:
            f.write(f"""{user}Port {self.port}
Listen 127.0.0.1
Timeout 60
MaxClients 32
Allow 127.0.0.1
LogFile "{self._error_log()}"
LogLevel Info
PidFile "{self.dir}/tinyproxy.pid"
ViaProxyName "tinyproxy"
""")
        return ["tinyproxy", "-d", "-c", conf]

    def _log_lines(self):
        name = self._error_log()
        if not os.path.exists(name):
            return []
        with open(name, "rb") as f:
            return f.read().decode("latin-1").split("\n")

    def _parse(self, lines):
        out = []
        for line in lines:
            m = re.search(r"Request \(file descriptor \d+\): (.*)$", line)
            if m:
                out.append(_request_of_line(m.group(1).encode("latin-1"), None, None))
        return out


class LocalCA:
    """A certificate authority made with the openssl command line, and a server certificate for
    localhost (SAN DNS:localhost: Wine refuses a certificate for an IP address) signed by it.

    ca_pem, ca_der: the CA certificate (to trust); key, cert: the server's, in PEM."""

    def __init__(self, folder):
        os.makedirs(folder, exist_ok=True)
        self.folder = folder
        self.ca_key = os.path.join(folder, "ca.key")
        self.ca_pem = os.path.join(folder, "ca.pem")
        self.ca_der = os.path.join(folder, "ca.der")
        self.key = os.path.join(folder, "localhost.key")
        self.cert = os.path.join(folder, "localhost.pem")
        csr = os.path.join(folder, "localhost.csr")
        ext = os.path.join(folder, "localhost.ext")
        with open(ext, "w") as f:
            f.write("basicConstraints=critical,CA:FALSE\n"
                    "keyUsage=critical,digitalSignature,keyEncipherment\n"
                    "extendedKeyUsage=serverAuth\nsubjectAltName=DNS:localhost\n")
        self._openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-sha256", "-days", "30",
                      "-keyout", self.ca_key, "-out", self.ca_pem,
                      "-subj", "/CN=Veltrane Dravenna test CA",
                      "-addext", "basicConstraints=critical,CA:TRUE",
                      "-addext", "keyUsage=critical,keyCertSign,cRLSign")
        self._openssl("x509", "-in", self.ca_pem, "-outform", "DER", "-out", self.ca_der)
        self._openssl("req", "-newkey", "rsa:2048", "-nodes", "-sha256", "-keyout", self.key,
                      "-out", csr, "-subj", "/CN=localhost")
        self._openssl("x509", "-req", "-in", csr, "-CA", self.ca_pem, "-CAkey", self.ca_key,
                      "-CAcreateserial", "-sha256", "-days", "30", "-extfile", ext,
                      "-out", self.cert)

    @staticmethod
    def _openssl(*args):
        done = subprocess.run(["openssl", *args], capture_output=True)
        if done.returncode != 0:
            raise RuntimeError("openssl %s failed:\n%s" % (args[0], done.stderr.decode()))

    def ssl_context(self):
        """A client context that trusts this CA only."""
        return ssl.create_default_context(cafile=self.ca_pem)
