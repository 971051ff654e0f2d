#!/usr/bin/python3
"""The test machine's download server: stands in for the vendor's HTTPS server.

Serves GET /downloads/<name> from a folder over HTTPS (HTTP/1.1, keep-alive,
Content-Length, ETag and single byte ranges), injects the faults scripted in
<state>/faults.json and writes one line per request to <state>/requests.log.
Standard library only.
See README.md for options, faults and record formats.
"""
import argparse
import datetime
import http.server
import itertools
import json
import os
import select
import signal
import socket
import ssl
import sys
import threading
import time
import urllib.parse

import ranges
from faults import FaultBook, number, warn

PREFIX = "/downloads/"
CHUNK = 64 * 1024
PAGES = {
    302: b"<html><head><title>302 Found</title></head>"
         b"<body><h1>Found</h1><p>The file has moved.</p></body></html>\r\n",
    404: b"<html><head><title>404 Not Found</title></head>"
         b"<body><h1>Not Found</h1><p>The requested file was not found.</p></body></html>\r\n",
    416: b"<html><head><title>416 Range Not Satisfiable</title></head>"
         b"<body><h1>Range Not Satisfiable</h1><p>The range asked for is beyond the end of the file.</p></body>"
         b"</html>\r\n",
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

    def write(self, connection, method, path, status, sent, headers, code, content_range):
        now = datetime.datetime.now(datetime.timezone.utc)
        stamp = now.strftime("%Y-%m-%dT%H:%M:%S.") + f"{now.microsecond // 1000:03d}Z"
        line = f"{stamp}\t{path}\t{status}\t{sent}\t{connection}\t{method}\n"
        detail = json.dumps({"time": stamp, "path": path, "status": str(status), "bytes": sent,
                             "connection": connection, "method": method, "headers": headers,
                             "code": code, "range": content_range})
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

    def __init__(self, address, tls, root, faults, records, connections, stopping, stalls):
        super().__init__(address, DownloadHandler)
        self.tls = tls
        self.root = root
        self.faults = faults
        self.records = records
        self.connections = connections
        self.stopping = stopping  # set when the server is to end: stalled answers give up
        self.stalls = stalls

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

    def send_response(self, code, message=None):
        self.code = code
        super().send_response(code, message)

    def record(self, status, sent):
        self.server.records.write(self.connection_id, self.command, self.path, status, sent,
                                  dict(self.headers.items()), self.code, self.content_range)

    def answer(self, send_body):
        self.code, self.content_range, self.sent = 0, None, 0
        name = requested_name(self.path)
        fault = self.server.faults.decide(name) if name else None
        kind = fault["fault"] if fault else None
        if fault and fault.get("delay"):
            time.sleep(number(fault, "delay", 0))
        if kind == "drop":
            self.drop()
            return
        if kind == "redirect":
            self.send_redirect(name, fault, send_body)
            return
        if name is None or kind == "404":
            self.send_page(404, send_body)
            return
        if kind not in (None, "500", "truncate", "slow", "body404", "stall"):
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
        """The file with 200, the part a Range asks for with 206, or 416; the body
        shaped by the fault. body404's stand-in body goes whole, whatever the Range."""
        head, validators, part = b"", [], None
        if kind == "body404":
            head = str(fault.get("text", "404 Not Found")).encode("latin-1", "replace")
            size = os.path.getsize(path) if path else max(int(number(fault, "size", 4096)), len(head))
        else:
            info = os.stat(path)
            size, tag, modified = info.st_size, ranges.entity_tag(info), ranges.modified_seconds(info)
            validators = [("Accept-Ranges", "bytes"), ("ETag", tag), ("Last-Modified", ranges.http_date(modified))]
            part = ranges.choose_range(self.headers.get("Range"), self.headers.get("If-Range"), size, tag, modified)
            if part == ranges.UNSATISFIABLE:
                self.content_range = f"bytes */{size}"
                self.send_page(416, send_body, [("Content-Range", self.content_range)])
                return
        first, length = (part[0], part[1] - part[0] + 1) if part else (0, size)
        self.send_response(206 if part else 200)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Content-Length", str(length))
        if part:
            self.content_range = f"bytes {part[0]}-{part[1]}/{size}"
            self.send_header("Content-Range", self.content_range)
        for header, value in validators:
            self.send_header(header, value)
        self.end_headers()
        if not send_body:
            self.record(self.code, 0)
            return
        # truncate and stall count their bytes in this answer's body, and always
        # leave at least its last byte unsent.
        limit = length
        if kind == "truncate":
            limit = min(int(number(fault, "after", length // 2)), max(length - 1, 0))
        chunk, rate = CHUNK, None
        if kind == "slow":
            chunk, rate = max(int(number(fault, "chunk", 1024)), 1), max(number(fault, "rate", 8192), 1)
        try:
            if kind == "stall":
                self.write_body(body(path, first, min(int(number(fault, "after", 0)), max(length - 1, 0)), head,
                                     chunk), rate)
                with self.server.stalls:
                    held = self.stall(number(fault, "seconds", 3600))
                    if held != "over":
                        self.record("aborted" if held == "gone" else "stopped", self.sent)
                        self.cut()
                        return
            self.write_body(body(path, first + self.sent, limit - self.sent, head, chunk), rate)
        except OSError:  # the client went away
            self.close_connection = True
            self.record("aborted", self.sent)
            return
        if kind == "truncate":
            self.record("truncated", self.sent)
            self.cut()
            return
        self.record(self.code, self.sent)

    def write_body(self, pieces, rate):
        """Sends the pieces, paced to `rate` bytes/s when there is one, counting them in self.sent."""
        for piece in pieces:
            self.wfile.write(piece)
            self.sent += len(piece)
            if rate:
                time.sleep(len(piece) / rate)

    def stall(self, seconds):
        """Sends nothing for `seconds` while the connection stays open: "over" when
        the time is up, "gone" when the client has closed the connection meanwhile,
        "stopped" when the server is ending."""
        deadline = time.monotonic() + seconds
        watching = True
        while not self.server.stopping.is_set():
            left = deadline - time.monotonic()
            if left <= 0:
                return "over"
            step = min(left, 0.2)
            if not watching:
                self.server.stopping.wait(step)
                continue
            readable, _, _ = select.select([self.request], [], [], step)
            if readable:
                try:
                    if not self.rfile.peek(1):
                        return "gone"
                except (OSError, ValueError):
                    return "gone"
                # A request sent ahead of time: it stays buffered for later, and
                # the end of the connection can no longer be seen from here.
                watching = False
        return "stopped"

    def send_redirect(self, name, fault, send_body):
        """302 to /downloads/<to> (the same file by default), or to `to` itself when it is a URL."""
        to = fault.get("to", name)
        if not isinstance(to, str) or not to:
            warn(f"redirect of {name}: option to={to!r} is not a file name; redirecting to {name}")
            to = name
        location = to if "://" in to else PREFIX + urllib.parse.quote(to, safe="")
        self.send_page(302, send_body, [("Location", location)])

    def send_page(self, status, send_body, headers=()):
        page = PAGES[status]
        self.send_response(status)
        self.send_header("Content-Type", "text/html")
        self.send_header("Content-Length", str(len(page)))
        for header, value in headers:
            self.send_header(header, value)
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


class Stalls:
    """Counts the answers the stall fault holds back, so that a stopping server
    can let them end (and record themselves) before it exits."""

    def __init__(self):
        self.count = 0
        self.changed = threading.Condition()

    def __enter__(self):
        with self.changed:
            self.count += 1

    def __exit__(self, *_):
        with self.changed:
            self.count -= 1
            self.changed.notify_all()

    def wait_ended(self, timeout):
        with self.changed:
            self.changed.wait_for(lambda: self.count == 0, timeout)


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


def body(path, offset, count, head, chunk):
    """`count` bytes of the body from `offset` on, in pieces of at most `chunk`
    bytes: the file's, its first bytes replaced by `head`; zeros where there is no file."""
    position, end = offset, offset + count
    with (open(path, "rb") if path else open(os.devnull, "rb")) as f:
        if path:
            f.seek(offset)
        while position < end:
            want = min(chunk, end - position)
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
    stop, stalls = threading.Event(), Stalls()
    trusted, untrusted = tls_context(args.certs, "test-root-ca"), tls_context(args.certs, "untrusted-ca")

    listeners = [("port", DownloadServer(("127.0.0.1", args.port), untrusted if args.untrusted else trusted,
                                         args.root, faults, records, connections, stop, stalls))]
    if args.untrusted_listener:
        listeners.append(("untrusted-port", DownloadServer(("127.0.0.1", 0), untrusted, args.root, faults,
                                                           records, connections, stop, stalls)))

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
    stop.set()
    stalls.wait_ended(2)  # a stalled answer gives up within 0.2 s
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
