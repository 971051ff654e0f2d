#!/usr/bin/python3
"""Quick check of the download server from Linux: its own instance on
temporary folders, real HTTPS requests with the test CA. The Windows side
is proved by download_server_tests in the test machine."""
import http.client
import json
import os
import shutil
import ssl
import subprocess
import sys
import tempfile
import threading
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
BUILD = os.environ.get("CORVANTA_BUILD_DIR", os.path.join(os.path.dirname(os.path.dirname(HERE)), "build"))
CERTS = os.path.join(BUILD, "testmachine", "certs")
CONTENT = bytes(range(256)) * 400  # 102400 bytes


class Server:
    def __init__(self, *options):
        self.folder = tempfile.mkdtemp(prefix="download-server-check-")
        self.root = os.path.join(self.folder, "downloads")
        self.state = os.path.join(self.folder, "state")
        os.makedirs(self.root)
        self.errors = open(os.path.join(self.folder, "log"), "w")
        self.process = subprocess.Popen(
            [sys.executable, os.path.join(HERE, "server.py"), "--root", self.root, "--state", self.state,
             "--certs", CERTS, "--untrusted-listener", *options],
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=self.errors)
        deadline = time.monotonic() + 10
        while not (os.path.exists(self.file("port")) and os.path.exists(self.file("untrusted-port"))):
            if self.process.poll() is not None or time.monotonic() > deadline:
                raise RuntimeError("server did not start: " + text(os.path.join(self.folder, "log")))
            time.sleep(0.05)
        self.port = int(text(self.file("port")))
        self.untrusted_port = int(text(self.file("untrusted-port")))

    def file(self, name):
        return os.path.join(self.state, name)

    def put(self, name, content=CONTENT):
        with open(os.path.join(self.root, name), "wb") as f:
            f.write(content)

    def faults(self, faults):
        with open(self.file("faults.json") + ".tmp", "w") as f:
            json.dump(faults, f)
        os.replace(self.file("faults.json") + ".tmp", self.file("faults.json"))

    def log(self, name):
        """The request log's lines for that file, split into their fields."""
        try:
            lines = text(self.file("requests.log")).splitlines()
        except FileNotFoundError:
            return []
        return [line.split("\t") for line in lines if line.split("\t")[1] == "/downloads/" + name]

    def close(self):
        self.process.terminate()
        self.process.wait(10)
        self.errors.close()
        shutil.rmtree(self.folder)


def text(path):
    with open(path) as f:
        return f.read()


def fetch(port, name, cafile="test-root-ca.pem"):
    """One request on a connection of its own."""
    connection = connect(port, cafile)
    try:
        return get(connection, name)
    finally:
        connection.close()


def connect(port, cafile="test-root-ca.pem"):
    context = ssl.create_default_context(cafile=os.path.join(CERTS, cafile))
    return http.client.HTTPSConnection("localhost", port, context=context, timeout=20)


def get(connection, name, method="GET"):
    connection.request(method, "/downloads/" + name, headers={"Accept": "*/*"})
    response = connection.getresponse()
    return response.status, response.getheader("Content-Length"), response.read()


class DownloadServerCheck(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        subprocess.run(["bash", os.path.join(HERE, "..", "certs", "make-certs.sh"), CERTS], check=True)
        cls.server = Server()

    @classmethod
    def tearDownClass(cls):
        cls.server.close()

    def setUp(self):
        self.name = self.id().rsplit(".", 1)[1] + ".cab"
        self.server.put(self.name)
        self.addCleanup(self.server.faults, {})
        self.connection = connect(self.server.port)
        self.addCleanup(self.connection.close)

    def test_serves_files_completely_on_one_kept_alive_connection(self):
        self.assertEqual(get(self.connection, self.name), (200, str(len(CONTENT)), CONTENT))
        self.assertEqual(get(self.connection, self.name.upper())[0], 200)
        log = self.server.log(self.name)
        self.assertEqual([(s, b) for _, _, s, b, _, _ in log], [("200", str(len(CONTENT)))])
        self.assertEqual(self.server.log(self.name.upper())[0][4], log[0][4])  # same connection

    def test_missing_files_and_other_paths_give_a_short_404_page(self):
        for path in ("missing.cab", "..", "sub%2Fx.cab", ""):
            status, length, body = get(self.connection, path)
            self.assertEqual((status, int(length)), (404, len(body)), path)
            self.assertIn(b"Not Found", body)
        self.connection.request("GET", "/other/" + self.name)
        self.assertEqual(self.connection.getresponse().status, 404)

    def test_404_and_500_faults_answer_with_pages_and_keep_the_connection(self):
        self.server.faults({self.name: "404", "other.cab": "500"})
        self.assertEqual(get(self.connection, self.name)[0], 404)
        self.server.faults({self.name: {"fault": "500"}})
        status, _, body = get(self.connection, self.name)
        self.assertEqual(status, 500)
        self.assertIn(b"<html>", body)
        self.server.faults({})
        self.assertEqual(get(self.connection, self.name)[0], 200)
        self.assertEqual(len({line[4] for line in self.server.log(self.name)}), 1)

    def test_truncate_sends_the_full_length_then_cuts_the_body(self):
        self.server.faults({self.name: {"fault": "truncate", "after": 5000}})
        self.connection.request("GET", "/downloads/" + self.name)
        response = self.connection.getresponse()
        self.assertEqual(response.getheader("Content-Length"), str(len(CONTENT)))
        with self.assertRaises(http.client.IncompleteRead) as cut:
            response.read()
        self.assertEqual(cut.exception.partial, CONTENT[:5000])
        self.assertEqual(self.server.log(self.name)[-1][2:4], ["truncated", "5000"])

    def test_drop_closes_the_connection_before_any_header(self):
        self.server.faults({self.name: "drop"})
        with self.assertRaises((http.client.RemoteDisconnected, ConnectionError, ssl.SSLError)):
            get(self.connection, self.name)
        self.assertEqual(self.server.log(self.name)[-1][2:4], ["dropped", "0"])

    def test_slow_paces_the_body_while_other_requests_are_answered(self):
        self.server.faults({self.name: {"fault": "slow", "rate": 51200, "chunk": 4096}})
        started = time.monotonic()
        result = {}
        thread = threading.Thread(target=lambda: result.update(r=fetch(self.server.port, self.name)))
        thread.start()
        time.sleep(0.3)
        self.server.put("other.cab", b"x")
        quick = time.monotonic()
        self.assertEqual(get(self.connection, "other.cab")[0], 200)
        self.assertLess(time.monotonic() - quick, 0.5)
        thread.join(20)
        self.assertEqual(result["r"][2], CONTENT)
        self.assertGreater(time.monotonic() - started, 1.8)

    def test_body404_serves_the_full_length_starting_with_the_text(self):
        self.server.faults({self.name: "body404", "absent.cab": {"fault": "body404", "size": 300}})
        status, length, body = get(self.connection, self.name)
        self.assertEqual((status, int(length), len(body)), (200, len(CONTENT), len(CONTENT)))
        self.assertTrue(body.startswith(b"404 Not Found"))
        self.assertEqual(body[13:], CONTENT[13:])
        status, length, body = get(self.connection, "absent.cab")
        self.assertEqual((status, length, len(body)), (200, "300", 300))
        self.assertTrue(body.startswith(b"404"))

    def test_fail_then_serve_counts_per_entry_and_starts_again_when_it_changes(self):
        self.server.faults({self.name: {"fault": "fail-then-serve", "count": 2, "with": "404"}})
        self.assertEqual([get(self.connection, self.name)[0] for _ in range(4)], [404, 404, 200, 200])
        self.server.faults({self.name: {"fault": "fail-then-serve", "count": 1, "with": "500"}})
        self.assertEqual([get(self.connection, self.name)[0] for _ in range(2)], [500, 200])
        self.server.faults({})
        self.assertEqual(get(self.connection, self.name)[0], 200)
        self.server.faults({self.name: {"fault": "fail-then-serve", "count": 1, "with": "500"}})
        self.assertEqual(get(self.connection, self.name)[0], 500)

    def test_fail_then_serve_can_drop(self):
        self.server.faults({self.name: {"fault": "fail-then-serve", "count": 1, "with": "drop"}})
        with self.assertRaises((http.client.RemoteDisconnected, ConnectionError, ssl.SSLError)):
            get(self.connection, self.name)
        self.assertEqual(fetch(self.server.port, self.name)[0], 200)

    def test_unreadable_faults_leave_files_served(self):
        with open(self.server.file("faults.json"), "w") as f:
            f.write('{"' + self.name + '": ')
        self.assertEqual(get(self.connection, self.name)[0], 200)
        with open(self.server.file("faults.json"), "wb") as f:
            f.write(b"\xef\xbb\xbf" + json.dumps({self.name: "404"}).encode())  # a BOM, as Windows tools write
        self.assertEqual(get(self.connection, self.name)[0], 404)

    def test_delay_holds_the_answer_back(self):
        self.server.faults({self.name: {"fault": "500", "delay": 1}})
        started = time.monotonic()
        self.assertEqual(get(self.connection, self.name)[0], 500)
        self.assertGreater(time.monotonic() - started, 0.9)

    def test_head_gives_the_length_without_a_body(self):
        self.assertEqual(get(self.connection, self.name, "HEAD"), (200, str(len(CONTENT)), b""))

    def test_the_untrusted_listener_is_refused_by_the_test_ca_only(self):
        with self.assertRaises(ssl.SSLCertVerificationError):
            fetch(self.server.untrusted_port, self.name)
        self.assertEqual(fetch(self.server.untrusted_port, self.name, "untrusted-ca.pem")[0], 200)


class Lifetime(unittest.TestCase):
    def test_the_server_ends_with_the_process_it_watches(self):
        watched = subprocess.Popen(["sleep", "60"])
        server = Server("--watch", str(watched.pid))
        try:
            watched.kill()
            watched.wait()
            server.process.wait(5)
            self.assertFalse(os.path.exists(server.file("port")))
        finally:
            server.close()

    def test_the_main_listener_can_use_the_untrusted_certificate(self):
        server = Server("--untrusted")
        try:
            with self.assertRaises(ssl.SSLCertVerificationError):
                fetch(server.port, "x.cab")
        finally:
            server.close()


if __name__ == "__main__":
    unittest.main()
