#!/usr/bin/python3
"""The test machine's download server: stands in for the vendor's HTTPS server.

Serves GET /downloads/<name> from a folder over HTTPS (HTTP/1.1, keep-alive,
Content-Length), injects the faults scripted in <state>/faults.json and writes
one line per request to <state>/requests.log. Standard library only.
See README.md for options, faults and record formats.
"""
import argparse
import datetime
import http.server
import itertools
import json
import os
import signal
import socket
import ssl
import sys
import threading
import time
import urllib.parse

from faults import FaultBook, number, warn

PREFIX = "/downloads/"
CHUNK = 64 * 1024
PAGES = {
    404: b"<html><head><title>404 Not Found</title></head>"
         b"<body><h1>Not Found</h1><p>The requested file was not found.</p></body></html>\r\n",
    500: b"<html><head><title>500 Internal Server Error</title></head>"
         b"<body><h1>Internal Server Error</h1><p>The server could not answer the request.</p></body></html>\r\n",
}


class Records:
    """requests.log (one tab-separated line per request) and requests.jsonl
    (the same with the request headers), both appended to under one lock."""

    def __init__(self, state):
        self.log = os.path.join(state, "requests.log")
        self.jsonl = os.path.join(state, "requests.jsonl")
        self.lock = threading.Lock()

    def write(self, connection, method, path, status, sent, headers):
        now = datetime.datetime.now(datetime.timezone.utc)
        stamp = now.strftime("%Y-%m-%dT%H:%M:%S.") + f"{now.microsecond // 1000:03d}Z"
        line = f"{stamp}\t{path}\t{status}\t{sent}\t{connection}\t{method}\n"
        detail = json.dumps({"time": stamp, "path": path, "status": str(status), "bytes": sent,
                             "connection": connection, "method": method, "headers": headers})
        with self.lock:
            # Opened for every line, so a test may empty or remove the files at any time.
            with open(self.log, "a", encoding="utf-8") as f:
                f.write(line)
            with open(self.jsonl, "a", encoding="utf-8") as f:
                f.write(detail + "\n")


class DownloadServer(http.server.ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True
    request_queue_size = 64

    def __init__(self, address, tls, root, faults, records, connections):
        super().__init__(address, DownloadHandler)
        self.tls = tls
        self.root = root
        self.faults = faults
        self.records = records
        self.connections = connections

    def handle_error(self, request, client_address):
        error = sys.exc_info()[1]
        if isinstance(error, OSError):
            # Refused certificates, port probes and clients that went away: routine here.
            warn(f"connection from {client_address[0]}:{client_address[1]} ended: {error}")
        else:
            super().handle_error(request, client_address)


class DownloadHandler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "TovinSoftDownloads/1.0"
    sys_version = ""
    timeout = 120  # an idle keep-alive connection is closed after this, as IIS does by default

    def setup(self):
        # The TLS handshake runs in the connection's own thread, so a stalled
        # client never holds up the others.
        self.connection_id = next(self.server.connections)
        self.request.settimeout(30)
        self.request = self.server.tls.wrap_socket(self.request, server_side=True)
        super().setup()

    def finish(self):
        try:
            super().finish()
        finally:
            # The listener only closes the plain socket, which the TLS one has taken over.
            self.request.close()

    def log_request(self, code="-", size="-"):
        pass  # every request is recorded once, with what was really sent

    def log_message(self, format, *args):
        warn(f"{self.address_string()} {format % args}")

    def do_GET(self):
        self.answer(send_body=True)

    def do_HEAD(self):
        self.answer(send_body=False)

    def record(self, status, sent):
        self.server.records.write(self.connection_id, self.command, self.path, status, sent,
                                  dict(self.headers.items()))

    def answer(self, send_body):
        name = requested_name(self.path)
        fault = self.server.faults.decide(name) if name else None
        kind = fault["fault"] if fault else None
        if fault and fault.get("delay"):
            time.sleep(number(fault, "delay", 0))
        if kind == "drop":
            self.drop()
            return
        if name is None or kind == "404":
            self.send_page(404, send_body)
            return
        if kind not in (None, "500", "truncate", "slow", "body404"):
            warn(f"unknown fault {kind!r} for {name}; answering 500")
            kind = "500"
        if kind == "500":
            self.send_page(500, send_body)
            return
        path = find_file(self.server.root, name)
        if path is None and kind != "body404":
            self.send_page(404, send_body)
            return
        self.send_file(path, kind, fault, send_body)

    def send_file(self, path, kind, fault, send_body):
        """200 with the file (or body404's stand-in body), shaped by the fault."""
        head = b""
        if kind == "body404":
            head = str(fault.get("text", "404 Not Found")).encode("latin-1", "replace")
        size = os.path.getsize(path) if path else max(int(number(fault, "size", 4096)), len(head))
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Content-Length", str(size))
        self.end_headers()
        if not send_body:
            self.record(200, 0)
            return
        limit = size
        if kind == "truncate":
            limit = min(int(number(fault, "after", size // 2)), max(size - 1, 0))
        pace = None
        if kind == "slow":
            pace = (max(int(number(fault, "chunk", 1024)), 1), max(number(fault, "rate", 8192), 1))
        sent = 0
        try:
            for piece in body(path, size, head, limit, pace[0] if pace else CHUNK):
                self.wfile.write(piece)
                sent += len(piece)
                if pace:
                    time.sleep(len(piece) / pace[1])
        except OSError:  # the client went away
            self.close_connection = True
            self.record("aborted", sent)
            return
        if kind == "truncate":
            self.record("truncated", sent)
            self.cut()
            return
        self.record(200, sent)

    def send_page(self, status, send_body):
        page = PAGES[status]
        self.send_response(status)
        self.send_header("Content-Type", "text/html")
        self.send_header("Content-Length", str(len(page)))
        self.end_headers()
        if send_body:
            self.wfile.write(page)
        self.record(status, len(page) if send_body else 0)

    def drop(self):
        self.record("dropped", 0)
        self.cut()

    def cut(self):
        """Closes the connection at once, without a TLS close_notify."""
        self.close_connection = True
        try:
            self.wfile.flush()
            self.request.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass


def requested_name(path):
    """The file name of a /downloads/<name> request, or None for anything else."""
    path = urllib.parse.urlsplit(path).path
    if not path.startswith(PREFIX):
        return None
    name = urllib.parse.unquote(path[len(PREFIX):])
    if not name or name in (".", "..") or any(c in name for c in "/\\\0"):
        return None
    return name


def find_file(root, name):
    """The served file of that name; a name differing only in case matches too."""
    path = os.path.join(root, name)
    if os.path.isfile(path):
        return path
    lowered = name.lower()
    try:
        for entry in os.scandir(root):
            if entry.name.lower() == lowered and entry.is_file():
                return entry.path
    except OSError:
        pass
    return None


def body(path, size, head, limit, chunk):
    """The body in pieces of at most `chunk` bytes, its first bytes replaced by
    `head`, cut after `limit` bytes; zeros where there is no file."""
    position = 0
    with (open(path, "rb") if path else open(os.devnull, "rb")) as f:
        while position < limit:
            want = min(chunk, limit - position)
            piece = f.read(want) if path else b""
            piece = piece.ljust(want, b"\0")
            if position < len(head):
                overlay = head[position:position + len(piece)]
                piece = overlay + piece[len(overlay):]
            yield piece
            position += len(piece)


def write_atomically(path, text):
    with open(path + ".tmp", "w", encoding="ascii") as f:
        f.write(text)
    os.replace(path + ".tmp", path)


def tls_context(certs, stem):
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(os.path.join(certs, f"{stem}-server.pem"), os.path.join(certs, f"{stem}-server.key"))
    return context


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--root", required=True, help="folder whose files are served")
    parser.add_argument("--state", required=True, help="folder of faults.json, the logs and the port files")
    parser.add_argument("--certs", required=True, help="folder made by testbed/certs/make-certs.sh")
    parser.add_argument("--port", type=int, default=0, help="port to listen on (0: a free one)")
    parser.add_argument("--untrusted", action="store_true", help="serve with the untrusted CA's certificate")
    parser.add_argument("--untrusted-listener", action="store_true",
                        help="also listen on a second port with the untrusted certificate")
    parser.add_argument("--watch", type=int, default=0, help="end when the process with this id has ended")
    args = parser.parse_args()

    os.makedirs(args.root, exist_ok=True)
    os.makedirs(args.state, exist_ok=True)
    faults = FaultBook(os.path.join(args.state, "faults.json"))
    records = Records(args.state)
    connections = itertools.count(1)
    trusted, untrusted = tls_context(args.certs, "test-root-ca"), tls_context(args.certs, "untrusted-ca")

    listeners = [("port", DownloadServer(("127.0.0.1", args.port), untrusted if args.untrusted else trusted,
                                         args.root, faults, records, connections))]
    if args.untrusted_listener:
        listeners.append(("untrusted-port", DownloadServer(("127.0.0.1", 0), untrusted, args.root, faults,
                                                           records, connections)))

    stop = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: stop.set())
    signal.signal(signal.SIGINT, lambda *_: stop.set())
    for _, server in listeners:
        threading.Thread(target=server.serve_forever, daemon=True).start()
    for file, server in listeners:
        write_atomically(os.path.join(args.state, file), f"{server.server_address[1]}\n")
    warn(f"serving {args.root} on " + ", ".join(f"{f} {s.server_address[1]}" for f, s in listeners))

    while not stop.wait(1):
        if args.watch and not alive(args.watch):
            warn(f"process {args.watch} has ended; stopping")
            break
    for file, server in listeners:
        server.shutdown()
        server.server_close()
        try:
            os.remove(os.path.join(args.state, file))
        except FileNotFoundError:
            pass
    warn("stopped")


def alive(pid):
    try:
        os.kill(pid, 0)
    except ProcessLookupError:
        return False
    except PermissionError:
        return True
    return True


if __name__ == "__main__":
    main()
