"""Web and FTP peers of the upload tests (loaded by scripts/net-peers.py): an HTTP server on
127.0.0.1:8080, the same over TLS on 8443 (a self-signed certificate made at start) and an FTP
server on 2121. Everything they receive is recorded into the peers' folder:
  http-<n>.req   the request line and the headers as received (CR LF lines), n from 1
  http-<n>.body  the request body, byte for byte
  ftp.log        every FTP command line ("PASS ******" for the password), sessions ended by "--"
  ftp/           the FTP user's home: files arrive in ftp/incoming (writable) or fail with 550
                 in ftp/readonly (no write permission) and in folders that do not exist; a STOR
                 into ftp/garbled gets a reply without a reply code.
HTTP paths: /fail answers 500; /redirect 303 to /landed (/redirect-301, /redirect-302 likewise);
/refresh 200 with a Refresh header naming /landed; /loop 302 to itself; /control a page with
control characters; /malformed a status line without a number; anything else 200."""
import itertools
import logging
import os
import ssl
import subprocess
import threading
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer

HOST = "127.0.0.1"
HTTP_PORT = 8080
HTTPS_PORT = 8443
FTP_PORT = 2121
FTP_USER = "kolvane"
FTP_PASSWORD = "secret"

_counter = itertools.count(1)
_lock = threading.Lock()


def _record(folder, name, data, mode="wb"):
    with open(os.path.join(folder, name), mode) as f:
        f.write(data)


class WebHandler(BaseHTTPRequestHandler):
    # Keep-alive as WinInet expects it; every answer carries its Content-Length.
    protocol_version = "HTTP/1.1"
    server_version = "KolvanePeer/1.0"
    folder = None  # set by start()

    def log_message(self, format, *args):
        pass

    def _read_body(self):
        if self.headers.get("Transfer-Encoding", "").lower() == "chunked":
            body = b""
            while True:
                size = int(self.rfile.readline().split(b";")[0].strip() or b"0", 16)
                if size == 0:
                    while self.rfile.readline() not in (b"\r\n", b"\n", b""):
                        pass
                    return body
                body += self.rfile.read(size)
                self.rfile.readline()
        length = int(self.headers.get("Content-Length") or 0)
        return self.rfile.read(length) if length > 0 else b""

    def _record_request(self):
        body = self._read_body()
        with _lock:
            n = next(_counter)
        head = f"{self.command} {self.path} {self.request_version}\r\n"
        head += "".join(f"{name}: {value}\r\n" for name, value in self.headers.items())
        # The body first: a test that finds the .req file finds its body beside it.
        _record(self.folder, f"http-{n}.body", body)
        _record(self.folder, f"http-{n}.req", head.encode("latin-1"))

    def _answer(self, code, text, body, headers=()):
        self.send_response(code, text)
        for name, value in headers:
            self.send_header(name, value)
        self.send_header("Content-Type", "text/html")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def _handle(self):
        self._record_request()
        path = self.path.split("?", 1)[0]
        if path == "/fail":
            self._answer(500, "Internal Server Error", b"failed")
        elif path == "/redirect":
            self._answer(303, "See Other", b"see other;", [("Location", "/landed")])
        elif path in ("/redirect-301", "/redirect-302"):
            code = int(path[-3:])
            text = "Moved Permanently" if code == 301 else "Found"
            self._answer(code, text, b"moved;", [("Location", "/landed")])
        elif path == "/refresh":
            self._answer(200, "OK", b"refresh;", [("Refresh", "0; url=/landed")])
        elif path == "/loop":
            self._answer(302, "Found", b"loop;", [("Location", "/loop")])
        elif path == "/control":
            self._answer(200, "OK", b"<p>a\tb\r\nc\x01d\x1fe</p>")
        elif path == "/malformed":
            self.wfile.write(b"HTTP/1.1 abc Broken\r\nContent-Length: 0\r\nConnection: close\r\n\r\n")
            self.close_connection = True
        elif path == "/landed":
            self._answer(200, "OK", f"landed {self.command}".encode("latin-1"))
        else:
            self._answer(200, "OK", f"<html>{self.command} {self.path}</html>".encode("latin-1"))

    do_GET = do_POST = do_PUT = do_HEAD = _handle


def _serve(server):
    thread = threading.Thread(target=server.serve_forever, daemon=True)
    thread.start()


def _start_http(folder):
    WebHandler.folder = folder
    _serve(ThreadingHTTPServer((HOST, HTTP_PORT), WebHandler))

    cert = os.path.join(folder, "web-cert.pem")
    key = os.path.join(folder, "web-key.pem")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                    "-subj", "/CN=localhost", "-keyout", key, "-out", cert],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert, key)
    https = ThreadingHTTPServer((HOST, HTTPS_PORT), WebHandler)
    # The handshake runs in the request's thread, so a client that stalls blocks nobody else.
    https.socket = context.wrap_socket(https.socket, server_side=True,
                                       do_handshake_on_connect=False)
    _serve(https)


class RecordingFTPHandler(FTPHandler):
    folder = None  # set by start()
    permit_foreign_addresses = False

    def _log(self, line):
        with _lock:
            _record(self.folder, "ftp.log", (line + "\n").encode("latin-1", "replace"), "ab")

    def pre_process_command(self, line, cmd, arg):
        self._log("PASS ******" if cmd == "PASS" else line)
        return super().pre_process_command(line, cmd, arg)

    def ftp_STOR(self, file, mode="w"):
        if os.path.basename(os.path.dirname(file)) == "garbled":
            # A reply without a reply code: the client has to treat it as a failure.
            self.push("Gremlins ate this reply\r\n")
            return None
        return super().ftp_STOR(file, mode)

    def on_disconnect(self):
        self._log("--")


def _start_ftp(folder):
    home = os.path.join(folder, "ftp")
    for name in ("incoming", "readonly", "garbled"):
        os.makedirs(os.path.join(home, name), exist_ok=True)
    authorizer = DummyAuthorizer()
    authorizer.add_user(FTP_USER, FTP_PASSWORD, home, perm="elradfmwMT")
    authorizer.override_perm(FTP_USER, os.path.join(home, "readonly"), "elr", recursive=True)
    RecordingFTPHandler.folder = folder
    RecordingFTPHandler.authorizer = authorizer
    RecordingFTPHandler.banner = "Kolvane test FTP peer"
    logging.getLogger("pyftpdlib").setLevel(logging.WARNING)
    server = FTPServer((HOST, FTP_PORT), RecordingFTPHandler)
    thread = threading.Thread(target=server.serve_forever,
                              kwargs={"timeout": 0.5, "handle_exit": False}, daemon=True)
    thread.start()


def start(folder):
    """Starts the peers; they listen when this returns (the sockets are bound and listening)."""
    _start_http(folder)
    _start_ftp(folder)
