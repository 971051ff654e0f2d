#!/usr/bin/python3
"""Quick check of the download server from Linux: its own instance on
temporary folders, real HTTPS requests with the test CA. The Windows side
is proved by download_server_tests in the test machine."""
import email.utils
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
sys.path.insert(0, HERE)
import ranges  # noqa: E402  (the server's own module, for its table of cases)

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

    def wait_log(self, name, count, seconds=3):
        """The log's lines for that file once there are at least `count` (a line
        is written just after its answer has gone out), or what there is by then."""
        deadline = time.monotonic() + seconds
        while len(self.log(name)) < count and time.monotonic() < deadline:
            time.sleep(0.02)
        return self.log(name)

    def details(self, name):
        """requests.jsonl's records for that file."""
        try:
            lines = text(self.file("requests.jsonl")).splitlines()
        except FileNotFoundError:
            return []
        return [r for r in map(json.loads, lines) if r["path"] == "/downloads/" + name]

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


def ask(connection, name, headers=(), method="GET"):
    """(status, response headers, body) of one request with extra headers."""
    connection.request(method, "/downloads/" + name, headers={"Accept": "*/*", **dict(headers)})
    response = connection.getresponse()
    return response.status, response.headers, response.read()


class ServerCase(unittest.TestCase):
    """Tests sharing one server instance; each has a file named after it and a
    connection of its own, and leaves no faults behind."""
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


class DownloadServerCheck(ServerCase):
    def test_serves_files_completely_on_one_kept_alive_connection(self):
        self.assertEqual(get(self.connection, self.name), (200, str(len(CONTENT)), CONTENT))
        self.assertEqual(get(self.connection, self.name.upper())[0], 200)
        log = self.server.wait_log(self.name, 1)
        self.assertEqual([(s, b) for _, _, s, b, _, _ in log], [("200", str(len(CONTENT)))])
        self.assertEqual(self.server.wait_log(self.name.upper(), 1)[0][4], log[0][4])  # same connection

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
        self.assertEqual(len({line[4] for line in self.server.wait_log(self.name, 3)}), 1)

    def test_truncate_sends_the_full_length_then_cuts_the_body(self):
        self.server.faults({self.name: {"fault": "truncate", "after": 5000}})
        self.connection.request("GET", "/downloads/" + self.name)
        response = self.connection.getresponse()
        self.assertEqual(response.getheader("Content-Length"), str(len(CONTENT)))
        with self.assertRaises(http.client.IncompleteRead) as cut:
            response.read()
        self.assertEqual(cut.exception.partial, CONTENT[:5000])
        self.assertEqual(self.server.wait_log(self.name, 1)[-1][2:4], ["truncated", "5000"])

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


class RangeChoice(unittest.TestCase):
    """What a Range and an If-Range ask of a file of 1000 bytes."""
    TAG, MODIFIED = '"3e8-1"', 1_700_000_000
    DATE = ranges.http_date(MODIFIED)
    CASES = [  # Range, If-Range, answer
        (None, None, None),
        (None, DATE, None),
        ("bytes=0-", None, (0, 999)),
        ("bytes=100-", None, (100, 999)),
        ("bytes=100-199", None, (100, 199)),
        ("bytes=999-999", None, (999, 999)),
        ("bytes=100-5000", None, (100, 999)),
        ("Bytes = 10 - 20", None, (10, 20)),
        ("bytes=-300", None, (700, 999)),
        ("bytes=-5000", None, (0, 999)),
        ("bytes=-0", None, ranges.UNSATISFIABLE),
        ("bytes=1000-", None, ranges.UNSATISFIABLE),
        ("bytes=1000-2000", None, ranges.UNSATISFIABLE),
        ("bytes=0-1,5-6", None, None),  # several ranges: the whole file
        ("bytes=5-3", None, None),      # not a valid range: ignored
        ("items=0-5", None, None),
        ("bytes=", None, None),
        ("bytes=-", None, None),
        ("bytes=a-", None, None),
        ("bytes=\u0663-", None, None),  # digits are ASCII only
        ("bytes=100-", TAG, (100, 999)),
        ("bytes=100-", '"3e8-2"', None),
        ("bytes=100-", "W/" + TAG, None),  # a weak tag never matches
        ("bytes=100-", DATE, (100, 999)),
        ("bytes=100-", "Tuesday, 14-Nov-23 22:13:20 GMT", (100, 999)),  # the same date, RFC 850 form
        ("bytes=100-", "Tue Nov 14 22:13:20 2023", (100, 999)),  # and asctime's
        ("bytes=100-", ranges.http_date(MODIFIED + 1), None),
        ("bytes=100-", "not a date", None),
        ("bytes=5000-", '"other"', None),  # If-Range is decided first: the whole file, not 416
    ]

    def test_cases(self):
        self.assertEqual(self.DATE, "Tue, 14 Nov 2023 22:13:20 GMT")
        for range_value, if_range, expected in self.CASES:
            with self.subTest(range=range_value, if_range=if_range):
                self.assertEqual(ranges.choose_range(range_value, if_range, 1000, self.TAG, self.MODIFIED), expected)

    def test_an_empty_file_has_no_range_to_give(self):
        self.assertEqual(ranges.choose_range("bytes=0-", None, 0, '"0-1"', 0), ranges.UNSATISFIABLE)
        self.assertIsNone(ranges.choose_range("bytes=-10", None, 0, '"0-1"', 0))


class RangeCheck(ServerCase):
    def validators(self):
        """The ETag and Last-Modified the test's file is to be served with."""
        info = os.stat(os.path.join(self.server.root, self.name))
        modified = email.utils.formatdate(info.st_mtime_ns // 10**9, usegmt=True)
        return f'"{info.st_size:x}-{info.st_mtime_ns:x}"', modified

    def test_every_file_answer_carries_its_validators(self):
        tag, modified = self.validators()
        self.assertRegex(tag, r'^"[0-9a-f]+-[0-9a-f]+"$')
        for method, headers in (("GET", {}), ("HEAD", {}), ("GET", {"Range": "bytes=5-"}),
                                ("HEAD", {"Range": "bytes=5-"})):
            with self.subTest(method=method, headers=headers):
                _, answer, _ = ask(self.connection, self.name, headers, method)
                self.assertEqual((answer["ETag"], answer["Last-Modified"], answer["Accept-Ranges"]),
                                 (tag, modified, "bytes"))

    def test_ranges_get_206_with_the_part_and_bad_ones_416(self):
        tag, modified = self.validators()
        size = len(CONTENT)
        cases = [  # request headers, status, Content-Range, body
            ({"Range": "bytes=100000-"}, 206, "bytes 100000-102399/102400", CONTENT[100000:]),
            ({"Range": "bytes=10-19"}, 206, "bytes 10-19/102400", CONTENT[10:20]),
            ({"Range": "bytes=0-"}, 206, "bytes 0-102399/102400", CONTENT),
            ({"Range": "bytes=-1000"}, 206, "bytes 101400-102399/102400", CONTENT[-1000:]),
            ({"Range": "bytes=102399-200000"}, 206, "bytes 102399-102399/102400", CONTENT[-1:]),
            ({"Range": "bytes=0-1,5-6"}, 200, None, CONTENT),
            ({"Range": "bytes=9-1"}, 200, None, CONTENT),
            ({"Range": f"bytes={size}-"}, 416, f"bytes */{size}", None),
            ({"Range": "bytes=200000-300000"}, 416, f"bytes */{size}", None),
            ({"Range": "bytes=-0"}, 416, f"bytes */{size}", None),
            ({"Range": "bytes=100-", "If-Range": tag}, 206, "bytes 100-102399/102400", CONTENT[100:]),
            ({"Range": "bytes=100-", "If-Range": modified}, 206, "bytes 100-102399/102400", CONTENT[100:]),
            ({"Range": "bytes=100-", "If-Range": '"19000-0"'}, 200, None, CONTENT),
            ({"Range": "bytes=100-", "If-Range": "W/" + tag}, 200, None, CONTENT),
            ({"Range": "bytes=100-", "If-Range": "Thu, 01 Jan 1970 00:00:00 GMT"}, 200, None, CONTENT),
            ({"If-Range": '"19000-0"'}, 200, None, CONTENT),
        ]
        received = []
        for headers, status, content_range, content in cases:
            with self.subTest(headers=headers):
                got, answer, body = ask(self.connection, self.name, headers)
                received.append((str(got), str(len(body))))
                self.assertEqual((got, answer["Content-Range"]), (status, content_range))
                self.assertEqual(int(answer["Content-Length"]), len(body))
                if status == 416:
                    self.assertEqual(answer["Content-Type"], "text/html")
                    self.assertIn(b"Range Not Satisfiable", body)
                else:
                    self.assertTrue(body == content, f"{len(body)} bytes differ")
        # All on one connection, each recorded with its status, bytes and the Range asked.
        log = self.server.wait_log(self.name, len(cases))
        self.assertEqual([(line[2], line[3]) for line in log], received)
        self.assertEqual(len({line[4] for line in log}), 1)
        details = self.server.details(self.name)
        self.assertEqual([(d["headers"].get("Range"), d["code"], d["range"]) for d in details],
                         [(h.get("Range"), status, content_range) for h, status, content_range, _ in cases])

    def test_head_with_a_range_gives_the_headers_of_the_part(self):
        status, answer, body = ask(self.connection, self.name, {"Range": "bytes=-100"}, "HEAD")
        self.assertEqual((status, answer["Content-Length"], answer["Content-Range"], body),
                         (206, "100", "bytes 102300-102399/102400", b""))
        self.assertEqual(self.server.wait_log(self.name, 1)[-1][2:4], ["206", "0"])

    def test_a_changed_file_gets_a_new_tag_and_a_stale_if_range_the_whole_file(self):
        old_tag, old_date = self.validators()
        changed = bytes(reversed(CONTENT))
        self.server.put(self.name, changed)
        path = os.path.join(self.server.root, self.name)
        os.utime(path, ns=(os.stat(path).st_atime_ns, os.stat(path).st_mtime_ns + 2 * 10**9))
        tag, date = self.validators()
        self.assertNotEqual(tag, old_tag)
        for stale in (old_tag, old_date):
            with self.subTest(if_range=stale):
                status, answer, body = ask(self.connection, self.name, {"Range": "bytes=50000-", "If-Range": stale})
                self.assertEqual((status, answer["ETag"], answer["Content-Range"]), (200, tag, None))
                self.assertTrue(body == changed)
        status, _, body = ask(self.connection, self.name, {"Range": "bytes=50000-", "If-Range": tag})
        self.assertEqual(status, 206)
        self.assertTrue(body == changed[50000:])

    def test_faults_shape_the_part_being_sent(self):
        cases = [  # fault, Range, status, Content-Length, body received, log status and bytes
            ({"fault": "truncate", "after": 1000}, "bytes=50000-", 206, 52400, CONTENT[50000:51000], "truncated", 1000),
            ({"fault": "truncate"}, "bytes=-1000", 206, 1000, CONTENT[-1000:-500], "truncated", 500),
            ({"fault": "truncate", "after": 99999}, "bytes=0-9", 206, 10, CONTENT[:9], "truncated", 9),
            ({"fault": "slow", "rate": 1 << 20}, "bytes=-3000", 206, 3000, CONTENT[-3000:], "206", 3000),
            ({"fault": "body404"}, "bytes=50000-", 200, len(CONTENT), b"404 Not Found" + CONTENT[13:], "200",
             len(CONTENT)),
            ({"fault": "fail-then-serve", "with": "500"}, "bytes=50000-", 500, None, None, "500", None),
            ({"fault": "fail-then-serve", "with": "500"}, "bytes=50000-", 206, 52400, CONTENT[50000:], "206", 52400),
        ]
        for number, (fault, range_value, status, length, content, logged, sent) in enumerate(cases, 1):
            with self.subTest(fault=fault, range=range_value):
                self.server.faults({self.name: fault})
                connection = connect(self.server.port)
                try:
                    connection.request("GET", "/downloads/" + self.name, headers={"Range": range_value})
                    response = connection.getresponse()
                    try:
                        body = response.read()
                    except http.client.IncompleteRead as cut:
                        body = cut.partial
                finally:
                    connection.close()
                self.assertEqual(response.status, status)
                if length is not None:
                    self.assertEqual(int(response.getheader("Content-Length")), length)
                    self.assertTrue(body == content, f"{len(body)} bytes differ")
                line = self.server.wait_log(self.name, number)[-1]
                self.assertEqual(line[2], logged)
                if sent is not None:
                    self.assertEqual(line[3], str(sent))


class RedirectCheck(ServerCase):
    def test_redirects_answer_302_with_a_location_and_keep_the_connection(self):
        self.server.put("target.cab", b"target")
        url = f"https://localhost:{self.server.untrusted_port}/downloads/x.cab"
        cases = [  # entry, method, Location
            ({"fault": "redirect", "to": "target.cab"}, "GET", "/downloads/target.cab"),
            ({"fault": "redirect"}, "GET", f"/downloads/{self.name}"),
            ({"fault": "redirect", "to": "with space #1.cab"}, "GET", "/downloads/with%20space%20%231.cab"),
            ({"fault": "redirect", "to": url}, "GET", url),
            ({"fault": "redirect", "to": 5}, "GET", f"/downloads/{self.name}"),
            ({"fault": "redirect", "to": "target.cab"}, "HEAD", "/downloads/target.cab"),
            ("redirect", "GET", f"/downloads/{self.name}"),
        ]
        for number, (entry, method, location) in enumerate(cases, 1):
            with self.subTest(entry=entry, method=method):
                self.server.faults({self.name: entry})
                status, answer, body = ask(self.connection, self.name, method=method)
                self.assertEqual((status, answer["Location"]), (302, location))
                self.assertEqual(answer["Content-Type"], "text/html")
                self.assertEqual(body, b"" if method == "HEAD" else PAGE_302)
                self.assertEqual(self.server.wait_log(self.name, number)[-1][2:4], ["302", str(len(body))])
        self.assertEqual(len({line[4] for line in self.server.log(self.name)}), 1)

    def test_following_a_redirect_gets_the_target(self):
        self.server.put("with space.cab", b"moved here")
        self.server.faults({self.name: {"fault": "redirect", "to": "with space.cab"}})
        _, answer, _ = ask(self.connection, self.name)
        self.connection.request("GET", answer["Location"])
        response = self.connection.getresponse()
        self.assertEqual((response.status, response.read()), (200, b"moved here"))
        self.assertEqual(self.server.wait_log("with%20space.cab", 1)[-1][2], "200")

    def test_fail_then_serve_redirects_to_the_same_file_once(self):
        self.server.faults({self.name: {"fault": "fail-then-serve", "with": "redirect"}})
        status, answer, _ = ask(self.connection, self.name)
        self.assertEqual((status, answer["Location"]), (302, "/downloads/" + self.name))
        self.assertEqual(get(self.connection, self.name)[0::2], (200, CONTENT))


PAGE_302 = (b"<html><head><title>302 Found</title></head>"
            b"<body><h1>Found</h1><p>The file has moved.</p></body></html>\r\n")


class StallCheck(ServerCase):
    def start(self, entry, headers=()):
        """A request on a connection of its own whose body the test reads itself."""
        self.server.faults({self.name: entry})
        connection = connect(self.server.port)
        self.addCleanup(connection.close)
        started = time.monotonic()
        connection.request("GET", "/downloads/" + self.name, headers=dict(headers))
        response = connection.getresponse()
        self.addCleanup(response.close)
        return connection, response, started

    def test_a_stall_holds_the_rest_of_the_body_back_then_sends_it(self):
        cases = [  # entry, Range, bytes before the stall, status, the whole body
            ({"fault": "stall", "after": 1000, "seconds": 1}, None, 1000, 200, CONTENT),
            ({"fault": "stall", "seconds": 1}, None, 0, 200, CONTENT),
            ({"fault": "stall", "after": 500, "seconds": 1}, "bytes=100000-", 500, 206, CONTENT[100000:]),
            ({"fault": "stall", "after": 10**9, "seconds": 1}, "bytes=-100", 99, 206, CONTENT[-100:]),
            ({"fault": "fail-then-serve", "with": "stall", "after": 7, "seconds": 1}, None, 7, 200, CONTENT),
        ]
        for number, (entry, range_value, before, status, content) in enumerate(cases, 1):
            with self.subTest(entry=entry, range=range_value):
                _, response, started = self.start(entry, {"Range": range_value} if range_value else {})
                self.assertEqual((response.status, int(response.getheader("Content-Length"))), (status, len(content)))
                first = response.read(before)
                self.assertLess(time.monotonic() - started, 0.7, "the first bytes came late")
                rest = response.read()
                self.assertGreater(time.monotonic() - started, 0.95, "the body was not held back")
                self.assertTrue(first + rest == content)
                self.assertEqual(self.server.wait_log(self.name, number)[-1][2:4], [str(status), str(len(content))])

    def test_a_stalled_answer_holds_up_no_other(self):
        _, response, _ = self.start({"fault": "stall", "after": 1000, "seconds": 30})
        self.assertEqual(len(response.read(1000)), 1000)
        self.server.put("other.cab", b"x")
        quick = time.monotonic()
        self.assertEqual(fetch(self.server.port, "other.cab")[0::2], (200, b"x"))
        self.assertEqual(get(self.connection, "other.cab")[0::2], (200, b"x"))
        self.assertLess(time.monotonic() - quick, 1)

    def test_a_client_that_goes_away_ends_the_stall(self):
        connection, response, _ = self.start({"fault": "stall", "after": 1000})
        self.assertEqual(len(response.read(1000)), 1000)
        response.close()
        connection.close()
        gone = time.monotonic()
        log = self.server.wait_log(self.name, 1)
        self.assertLess(time.monotonic() - gone, 1.5)
        self.assertEqual(log[-1][2:4], ["aborted", "1000"])


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

    def test_stopping_the_server_ends_a_stalled_answer_at_once(self):
        server = Server()
        try:
            server.put("x.cab")
            server.faults({"x.cab": {"fault": "stall", "after": 100}})
            connection = connect(server.port)
            connection.request("GET", "/downloads/x.cab")
            response = connection.getresponse()
            self.assertEqual(len(response.read(100)), 100)
            stopping = time.monotonic()
            server.process.terminate()
            server.process.wait(5)
            with self.assertRaises(http.client.IncompleteRead) as cut:
                response.read()
            self.assertEqual(len(cut.exception.partial), 0)
            self.assertLess(time.monotonic() - stopping, 1.5)
            self.assertEqual(server.log("x.cab")[-1][2:4], ["stopped", "100"])
            connection.close()
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
