#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""skyfill-control's HTTP API and event socket against real copies on a private bus, and
what it does with clients that lack the token, guess it, send too much or too slowly."""

import glob
import http.client
import itertools
import json
import os
import signal
import socket
import ssl
import subprocess
import threading
import time
import unittest
from contextlib import closing
from concurrent.futures import ThreadPoolExecutor

import websocket

from control_rig import ROTATING_PRESETS, Rig, wait_for

# A refused token counts against its source address. Tests that are refused knock from
# addresses of their own (all of 127/8 is loopback), so the lock-out that follows five
# refusals never shuts the other tests out.
_strangers = (f"127.0.{n // 250 + 1}.{n % 250 + 1}" for n in itertools.count())

STATUS_KEYS = {"number", "source-name", "sending", "width", "height", "rate-numerator",
               "rate-denominator", "frames-sent", "slot", "pixel-format", "fourcc"}


def without_frame_count(status):
    return {k: v for k, v in status.items() if k != "frames-sent"}


def jpeg_size(data):
    """(width, height) from a JPEG's frame header."""
    i = 2
    while i + 9 <= len(data) and data[i] == 0xFF:
        marker, length = data[i + 1], int.from_bytes(data[i + 2:i + 4], "big")
        if 0xC0 <= marker <= 0xCF and marker not in (0xC4, 0xC8, 0xCC):
            return (int.from_bytes(data[i + 7:i + 9], "big"),
                    int.from_bytes(data[i + 5:i + 7], "big"))
        i += 2 + length
    raise AssertionError("no JPEG frame header")


class SlowClient(threading.Thread):
    """Sends half a request, then a byte a second: never a whole request."""

    def __init__(self, port):
        super().__init__(daemon=True)
        self.port = port
        self.closed_after = None
        self.received = b""
        self.start()

    def run(self):
        began = time.monotonic()
        with socket.create_connection(("127.0.0.1", self.port)) as s:
            s.sendall(f"GET /api/v1/copies HTTP/1.1\r\nHost: 127.0.0.1:{self.port}\r\nX-".encode())
            s.settimeout(1)
            while time.monotonic() - began < 20:
                try:
                    data = s.recv(4096)
                    if not data:
                        break
                    self.received += data
                except socket.timeout:
                    s.sendall(b"a")
                    continue
                except OSError:
                    break
            else:
                return
        self.closed_after = time.monotonic() - began


class ControlApiTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.rig = Rig()
        cls.addClassCleanup(cls.rig.close)
        cls.numbers = sorted(cls.rig.start_copies(2))
        cls.rig.start_control()
        cls.slow = SlowClient(cls.rig.port)

    @classmethod
    def tearDownClass(cls):
        # Nothing any test sent may have ended it; asked to end, it ends cleanly.
        alive = cls.rig.control_alive()
        status = cls.rig.stop_control() if alive else cls.rig.control.returncode
        if not alive or status != 0:
            with open(cls.rig.control_log, encoding="utf-8", errors="replace") as f:
                raise AssertionError(f"skyfill-control alive {alive}, status {status}:\n"
                                     + f.read())

    def status(self, number):
        reply = self.rig.api("GET", f"copies/{number}")
        self.assertEqual(reply.status, 200, reply.body)
        return reply.json()

    def answers(self, method, path):
        """The status of a call, or None when the connection was dropped."""
        try:
            return self.rig.api(method, path).status
        except (OSError, http.client.HTTPException):
            return None

    def assert_refused(self, reply, status):
        self.assertEqual(reply.status, status, reply.body)
        self.assertEqual(reply.headers["content-type"], "application/json")
        self.assertIsInstance(reply.json()["error"], str)

    def events(self, source=None, **options):
        options.setdefault("header", [f"Authorization: Bearer {self.rig.token}"])
        options.setdefault("origin", f"http://127.0.0.1:{self.rig.port}")  # the page's own
        if source:
            options["socket"] = socket.create_connection(("127.0.0.1", self.rig.port),
                                                         source_address=(source, 0))
        return websocket.create_connection(f"ws://127.0.0.1:{self.rig.port}/api/v1/events",
                                           timeout=15, **options)

    def next_event(self, ws, **wanted):
        """The next event with the `wanted` fields (`status`: some of its fields); others
        pass by."""
        def has(value, fields):
            return isinstance(value, dict) and all(
                has(value.get(k), v) if isinstance(v, dict) else value.get(k) == v
                for k, v in fields.items())
        deadline = time.monotonic() + 15
        while time.monotonic() < deadline:
            event = json.loads(ws.recv())
            if has(event, wanted):
                return event
        self.fail(f"no event {wanted}")

    def extra_copy(self):
        """A copy beside the test's two, ended after the test."""
        n = self.rig.start_copies(1)[0]
        self.addCleanup(lambda: n in self.rig.copies and self.rig.end_copy(n, signal.SIGKILL))
        return n

    def test_page_and_every_answer_carry_the_safety_headers(self):
        page = self.rig.request("GET", "/", token=None)
        self.assertEqual(page.status, 200)
        self.assertTrue(page.headers["content-type"].startswith("text/html"))
        self.assertIn(b'id="login"', page.body)
        for path, kind in (("/page.js", "text/javascript"), ("/page.css", "text/css")):
            reply = self.rig.request("GET", path, token=None)
            self.assertEqual(reply.status, 200)
            self.assertTrue(reply.headers["content-type"].startswith(kind))
        self.assert_refused(self.rig.request("GET", "/nothing", token=None), 404)
        self.assert_refused(self.rig.request("POST", "/", "x", token=None), 405)

        evil = {"Origin": "http://evil.example"}
        for reply in (page, self.rig.api("GET", "copies", headers=evil),
                      self.rig.api("GET", "copies/9"),
                      self.rig.api("GET", "copies", token=None, source=next(_strangers),
                                   headers=evil)):
            csp = reply.headers["content-security-policy"]
            self.assertIn("default-src 'self'", csp)
            self.assertIn("frame-ancestors 'none'", csp)
            self.assertEqual(reply.headers["x-content-type-options"], "nosniff")
            self.assertFalse([h for h in reply.headers if h.startswith("access-control-")])

    def test_every_call_needs_the_token(self):
        before = [without_frame_count(self.status(n)) for n in self.numbers]
        a = self.numbers[0]
        calls = [("GET", "copies", None), ("GET", f"copies/{a}", None),
                 ("POST", f"copies/{a}/start", None), ("POST", f"copies/{a}/stop", None),
                 ("POST", "copies/start", None), ("POST", "copies/stop", None),
                 ("POST", f"copies/{a}/slot", {"slot": before[0]["slot"] % 5 + 1}),
                 ("POST", f"copies/{a}/output", {"width": 640, "height": 360, "rate": "30"}),
                 ("POST", f"copies/{a}/presets", ROTATING_PRESETS),
                 ("GET", f"copies/{a}/snapshot?width=64", None),
                 ("GET", "copies/9", None), ("GET", "elsewhere", None), ("GET", "events", None)]
        t = self.rig.token
        near = t[:-1] + ("0" if t[-1] != "0" else "1")
        for method, path, body in calls:
            for authorization in (None, f"Basic {t}", f"Bearer {t}x", f"Bearer {t[:-1]}",
                                  f"Bearer {near}", "Bearer ", f"bearer.{t}"):
                with self.subTest(path=path, authorization=authorization):
                    headers = authorization and {"Authorization": authorization}
                    self.assert_refused(self.rig.api(method, path, body, token=None,
                                                     headers=headers, source=next(_strangers)),
                                        401)
        for options in ({"header": []}, {"header": [], "subprotocols": ["bearer.wrong"]},
                        {"header": [], "subprotocols": [f"bearer.{near}", "skyfill-events"]}):
            with self.subTest(socket=options), self.assertRaises(
                    websocket.WebSocketBadStatusException) as refused:
                self.events(source=next(_strangers), **options).close()
            self.assertEqual(refused.exception.status_code, 401)
        self.assertEqual([without_frame_count(self.status(n)) for n in self.numbers], before)

    def test_five_refusals_lock_an_address_out_for_a_while(self):
        guesser = "127.0.0.2"
        for _ in range(4):
            self.assert_refused(self.rig.api("GET", "copies", token="guess", source=guesser), 401)
        self.assertEqual(self.rig.api("GET", "copies", source=guesser).status, 200)
        self.assert_refused(self.rig.api("GET", "copies", token="guess", source=guesser), 401)
        self.assert_refused(self.rig.api("GET", "copies", source=guesser), 429)
        a = self.numbers[0]
        self.assert_refused(self.rig.api("POST", f"copies/{a}/start", source=guesser), 429)
        with self.assertRaises(websocket.WebSocketBadStatusException) as refused:
            self.events(source=guesser).close()
        self.assertEqual(refused.exception.status_code, 429)
        # Only the API is shut, and only to that address.
        self.assertEqual(self.rig.request("GET", "/", token=None, source=guesser).status, 200)
        self.assertEqual(self.rig.api("GET", "copies").status, 200)
        self.assertFalse(self.status(a)["sending"])

    def test_listing_matches_each_copy_and_the_bus(self):
        listed = self.rig.api("GET", "copies")
        self.assertEqual(listed.status, 200)
        copies = listed.json()["copies"]
        self.assertEqual([c["number"] for c in copies], self.numbers)
        for status in copies:
            number = status["number"]
            self.assertLessEqual(STATUS_KEYS, status.keys())
            self.assertEqual(status["source-name"], f"Kova Gradient {number}")
            self.assertEqual(without_frame_count(self.status(number)), without_frame_count(status))
            self.assertEqual(without_frame_count(self.rig.remote_status(number)),
                             without_frame_count(status))

        absent = max(self.numbers) + 3
        for method, path in (("GET", f"copies/{absent}"), ("POST", f"copies/{absent}/start"),
                             ("POST", f"copies/{absent}/slot"), ("GET", "copies/0"),
                             ("GET", "copies/9"), ("GET", "copies/12"), ("GET", "copies/x"),
                             ("POST", "copies/1/bogus"), ("POST", "copies/1/slot/more"),
                             ("GET", "elsewhere"), ("GET", "../v1/copies")):
            with self.subTest(method=method, path=path):
                self.assert_refused(self.rig.api(method, path, {"slot": 1}), 404)
        for method, path in (("POST", "copies"), ("GET", "copies/start"), ("POST", "copies/1"),
                             ("GET", "copies/1/slot"), ("POST", "copies/1/snapshot"),
                             ("DELETE", "copies/1"), ("PUT", "copies/1/presets")):
            with self.subTest(method=method, path=path):
                self.assert_refused(self.rig.api(method, path), 405)

    def test_starting_and_stopping_one_copy(self):
        a, b = self.numbers
        reply = self.rig.api("POST", f"copies/{a}/start")
        self.assertEqual((reply.status, reply.json()), (200, {"copy": a}))
        try:
            self.assertTrue(self.status(a)["sending"])
            self.assertFalse(self.status(b)["sending"])
            wait_for("frames", lambda: self.status(a)["frames-sent"] > 0)
            size = (self.status(a)["width"], self.status(a)["height"])
            self.assert_refused(self.rig.api("POST", f"copies/{a}/output",
                                             {"width": 640, "height": 360, "rate": "25"}), 409)
            self.assertEqual((self.status(a)["width"], self.status(a)["height"]), size)
        finally:
            reply = self.rig.api("POST", f"copies/{a}/stop")
        self.assertEqual((reply.status, reply.json()), (200, {"copy": a}))
        self.assertFalse(self.status(a)["sending"])

    def test_starting_and_stopping_every_copy(self):
        self.addCleanup(self.rig.api, "POST", "copies/stop")
        reply = self.rig.api("POST", "copies/start")
        self.assertEqual(reply.status, 200)
        self.assertEqual((sorted(reply.json()["started"]), reply.json()["refused"]),
                         (self.numbers, []))
        self.assertTrue(all(self.status(n)["sending"] for n in self.numbers))
        reply = self.rig.api("POST", "copies/stop")
        self.assertEqual(reply.status, 200)
        self.assertEqual((sorted(reply.json()["stopped"]), reply.json()["refused"]),
                         (self.numbers, []))
        self.assertFalse(any(self.status(n)["sending"] for n in self.numbers))

    def test_slot_is_told_to_the_event_socket(self):
        a = self.numbers[0]
        slot = self.status(a)["slot"] % 5 + 1
        with closing(self.events()) as ws:
            reply = self.rig.api("POST", f"copies/{a}/slot", {"slot": slot})
            self.assertEqual((reply.status, reply.json()), (200, {"copy": a}))
            self.next_event(ws, event="status", copy=a, status={"number": a, "slot": slot})
        self.assertEqual(self.status(a)["slot"], slot)
        self.assertEqual(self.rig.remote_status(a)["slot"], slot)
        for body in ({"slot": 0}, {"slot": 6}, {"slot": "3"}, {"slot": 2.5}, {"slot": 1e10},
                     {"slot": None}, {}, [slot], "3", "{\"slot\": 3", "", "\xff\xfe"):
            with self.subTest(body=body):
                self.assert_refused(self.rig.api("POST", f"copies/{a}/slot", body), 400)
        self.assertEqual(self.status(a)["slot"], slot)

    def test_output_format(self):
        a = self.numbers[1]
        reply = self.rig.api("POST", f"copies/{a}/output",
                             {"width": 640, "height": 360, "rate": "29.97"})
        self.assertEqual((reply.status, reply.json()), (200, {"copy": a}))
        status = self.status(a)
        self.assertEqual((status["width"], status["height"]), (640, 360))
        self.assertAlmostEqual(status["rate-numerator"] / status["rate-denominator"], 29.97, 2)
        reply = self.rig.api("POST", f"copies/{a}/output", {"width": 960, "height": 540,
                                                            "rate": 25})
        self.assertEqual(reply.status, 200, reply.body)
        for body in ({"width": 641, "height": 360, "rate": "25"},
                     {"width": 640, "height": 360, "rate": "24"},
                     {"width": 640, "height": 360}, {"width": "640", "height": 360, "rate": "25"},
                     {"width": 640, "height": 360, "rate": []}, "{\"width\": 640,", "null"):
            with self.subTest(body=body):
                self.assert_refused(self.rig.api("POST", f"copies/{a}/output", body), 400)
        status = self.status(a)
        self.assertEqual((status["width"], status["height"]), (960, 540))

    def test_preset_file_upload(self):
        a = self.numbers[0]
        reply = self.rig.api("POST", f"copies/{a}/presets", ROTATING_PRESETS,
                             headers={"Content-Type": "application/octet-stream"})
        self.assertEqual((reply.status, reply.json()), (200, {"copy": a, "warnings": []}))
        self.assertNotEqual(self.status(a)["rotation"], "static")
        kept = self.status(a)
        for body in (b"", ROTATING_PRESETS[:-1], ROTATING_PRESETS + b"\0", b"\0" * 176,
                     b"\xff" * 784, b"XOVSKCF1" + ROTATING_PRESETS[8:]):
            with self.subTest(size=len(body), start=body[:8]):
                self.assert_refused(self.rig.api("POST", f"copies/{a}/presets", body), 400)
        self.assert_refused(self.rig.api("POST", f"copies/{a}/presets", b"\0" * 5000), 413)
        self.assert_refused(self.rig.api("POST", "copies/8/presets", ROTATING_PRESETS), 404)
        self.assertEqual(without_frame_count(self.status(a)), without_frame_count(kept))
        # Each upload's file goes once its copy has read it or it was refused.
        config = os.path.join(self.rig.env["XDG_CONFIG_HOME"], "skyfill")
        self.assertEqual(glob.glob(os.path.join(config, "upload-*")), [])

    def test_snapshot(self):
        a = self.numbers[0]
        reply = self.rig.api("GET", f"copies/{a}/snapshot?width=320")
        if reply.status == 502:
            self.skipTest(f"the copies answer no Snapshot call yet: {reply.body!r}")
        self.assertEqual(reply.status, 200, reply.body)
        self.assertEqual(reply.headers["content-type"], "image/jpeg")
        self.assertEqual((reply.body[:2], reply.body[-2:]), (b"\xff\xd8", b"\xff\xd9"))
        status = self.status(a)
        width, height = jpeg_size(reply.body)
        self.assertEqual(width, min(320, status["width"]))
        self.assertAlmostEqual(height, width * status["height"] / status["width"], delta=1)
        self.assertEqual(jpeg_size(self.rig.api("GET", f"copies/{a}/snapshot").body)[0],
                         min(640, status["width"]))
        for query in ("width=abc", "width=5", "width=-320", "width=99999999999999"):
            with self.subTest(query=query):
                self.assert_refused(self.rig.api("GET", f"copies/{a}/snapshot?{query}"), 400)
        self.assert_refused(self.rig.api("GET", "copies/8/snapshot?width=320"), 404)

    def test_event_socket_follows_copies_coming_and_going(self):
        with closing(self.events(header=[], subprotocols=["skyfill-events",
                                                          f"bearer.{self.rig.token}"])) as ws:
            self.assertEqual(ws.getsubprotocol(), "skyfill-events")
            n = self.extra_copy()
            self.next_event(ws, event="appeared", copy=n)
            self.assertEqual(self.status(n)["number"], n)
            self.assertEqual(self.rig.api("POST", f"copies/{n}/slot", {"slot": 4}).status, 200)
            self.next_event(ws, event="status", copy=n, status={"slot": 4})
            self.rig.end_copy(n)
            self.next_event(ws, event="left", copy=n)
        self.assert_refused(self.rig.api("GET", f"copies/{n}"), 404)
        self.assertEqual([c["number"] for c in self.rig.api("GET", "copies").json()["copies"]],
                         self.numbers)

    def test_event_socket_refuses_other_sites_and_plain_requests(self):
        port = self.rig.port
        for origin in ("http://evil.example", f"http://localhost.evil.example:{port}", "null",
                       f"https://127.0.0.1:{port}"):
            with self.subTest(origin=origin), self.assertRaises(
                    websocket.WebSocketBadStatusException) as refused:
                self.events(origin=origin).close()
            self.assertEqual(refused.exception.status_code, 403)
        self.assert_refused(self.rig.api("GET", "events"), 400)

    def test_copy_that_hangs_or_ends_during_a_call(self):
        n = self.extra_copy()
        wait_for("the copy to be known", lambda: self.rig.api("GET", f"copies/{n}").status == 200)
        self.rig.copies[n].send_signal(signal.SIGSTOP)
        with ThreadPoolExecutor(3) as pool:
            one = pool.submit(self.rig.api, "GET", f"copies/{n}")
            every = pool.submit(self.rig.api, "GET", "copies")
            stop = pool.submit(self.rig.api, "POST", "copies/stop")
        self.assert_refused(one.result(), 504)
        self.assertEqual([c["number"] for c in every.result().json()["copies"]], self.numbers)
        self.assertEqual(sorted(stop.result().json()["stopped"]), self.numbers)
        self.assertEqual([r["copy"] for r in stop.result().json()["refused"]], [n])

        with ThreadPoolExecutor(1) as pool:
            under_way = pool.submit(self.rig.api, "POST", f"copies/{n}/slot", {"slot": 2})
            time.sleep(0.3)
            self.rig.end_copy(n, signal.SIGKILL)
            self.assertIn(under_way.result().status, (404, 504))
        wait_for("the copy to be gone", lambda: self.rig.api("GET", f"copies/{n}").status == 404)
        self.assertEqual([c["number"] for c in self.rig.api("GET", "copies").json()["copies"]],
                         self.numbers)

    def test_host_must_name_this_server(self):
        port = self.rig.port
        self.assertEqual(self.rig.api("GET", "copies", host=f"localhost:{port}").status, 200)
        for host in ("evil.example", f"evil.example:{port}", "127.0.0.1", "127.0.0.1:1",
                     f"127.0.0.2:{port}", f"[::1]:{port}", f"localhost:{port}.evil.example", ""):
            with self.subTest(host=host):
                self.assert_refused(self.rig.api("GET", "copies", host=host), 400)
                self.assert_refused(self.rig.request("GET", "/", token=None, host=host), 400)

    def test_oversized_and_hostile_requests(self):
        port = self.rig.port
        self.assert_refused(self.rig.api("GET", "copies", headers={"X-Pad": "a" * 9000}), 431)
        self.assert_refused(self.rig.api("GET", "copies", headers={
            f"X-Pad-{i}": "a" * 100 for i in range(90)}), 431)
        self.assert_refused(self.rig.api("POST", "copies/1/slot", b"{}" + b" " * 4096), 413)

        def raw(data):
            with socket.create_connection(("127.0.0.1", port), timeout=5) as s:
                s.sendall(data)
                answer = b""
                try:
                    while chunk := s.recv(65536):
                        answer += chunk
                except ConnectionResetError:
                    pass
                return answer

        head = f"Host: 127.0.0.1:{port}\r\nAuthorization: Bearer {self.rig.token}\r\n"
        self.assertIn(b" 413 ", raw(f"POST /api/v1/copies/1/presets HTTP/1.1\r\n{head}"
                                    f"Content-Length: 100000000000\r\n\r\n".encode()))
        for data in (b"\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03" + bytes(range(256)),
                     b"\r\n\r\n\r\n\r\n", b"GET\0/ HTTP/1.1\r\n\r\n",
                     f"GET / HTTP/1.1\r\n{head}Content-Length: -1\r\n\r\n".encode(),
                     f"GET / HTTP/1.1\r\n{head}Content-Length: 99999999999999999999999\r\n\r\n"
                     .encode(),
                     f"POST /api/v1/copies/1/slot HTTP/1.1\r\n{head}"
                     "Transfer-Encoding: chunked\r\n\r\nzz\r\n{}\r\n".encode(),
                     f"GET /api/v1/copies HTTP/1.1\r\nHost: 127.0.0.1:{port}\r\n"
                     "Authorization: Bearer \0\r\n\r\n".encode()):
            with self.subTest(data=data[:40]):
                answer = raw(data)
                self.assertTrue(answer == b"" or answer.startswith(b"HTTP/1.1 4"), answer)
        # Two requests in one go get two answers, in order.
        both = raw(f"GET /api/v1/copies/9 HTTP/1.1\r\n{head}\r\n"
                   f"GET /api/v1/copies HTTP/1.1\r\n{head}Connection: close\r\n\r\n".encode())
        self.assertRegex(both, rb"(?s)^HTTP/1.1 404 .*HTTP/1.1 200 .*\"copies\"")

        # Beyond its connection limit it closes newcomers at once, and takes them again
        # once the crowd has gone.
        crowd = [socket.create_connection(("127.0.0.1", port)) for _ in range(80)]
        try:
            crowd[-1].settimeout(10)
            self.assertEqual(crowd[-1].recv(1), b"")
        finally:
            for s in crowd:
                s.close()
        wait_for("room for a new client", lambda: self.answers("GET", "copies") == 200)

    def test_slow_client_is_dropped(self):
        self.slow.join(25)
        self.assertIsNotNone(self.slow.closed_after, "a client sending a byte a second was kept")
        self.assertEqual(self.slow.received, b"")
        self.assertEqual(self.rig.api("GET", "copies").status, 200)


class ControlTlsTest(unittest.TestCase):
    """The same server over TLS: its connections and event socket are a build of their own."""

    @classmethod
    def setUpClass(cls):
        cls.rig = Rig()
        cls.addClassCleanup(cls.rig.close)
        cert, key = (os.path.join(cls.rig.dir, name) for name in ("cert.pem", "key.pem"))
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1",
                        "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1",
                        "-keyout", key, "-out", cert], check=True, capture_output=True)
        [cls.number] = cls.rig.start_copies(1)
        cls.rig.start_control("--tls-cert", cert, "--tls-key", key)
        cls.rig.tls = ssl.create_default_context(cafile=cert)

    def test_api_and_events_over_tls(self):
        status = self.rig.api("GET", f"copies/{self.number}").json()
        self.assertEqual(status["number"], self.number)
        slot = status["slot"] % 5 + 1
        self.assertEqual(self.rig.api("GET", "copies", token="wrong").status, 401)
        with closing(websocket.create_connection(
                f"wss://127.0.0.1:{self.rig.port}/api/v1/events", timeout=15,
                sslopt={"context": self.rig.tls}, origin=f"https://127.0.0.1:{self.rig.port}",
                header=[f"Authorization: Bearer {self.rig.token}"])) as ws:
            self.assertEqual(self.rig.api("POST", f"copies/{self.number}/slot",
                                          {"slot": slot}).status, 200)
            deadline = time.monotonic() + 15
            while time.monotonic() < deadline:
                event = json.loads(ws.recv())
                if event.get("event") == "status" and event.get("status", {}).get("slot") == slot:
                    break
            else:
                self.fail(f"no status event with slot {slot} over TLS")
        # Plain HTTP on the TLS port gets no answer.
        with socket.create_connection(("127.0.0.1", self.rig.port), timeout=15) as plain:
            plain.sendall(b"GET /api/v1/copies HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n")
            try:
                answer = plain.recv(4096)
            except ConnectionResetError:
                answer = b""
            self.assertNotIn(b"HTTP/1.1", answer)
        self.assertTrue(self.rig.control_alive())


if __name__ == "__main__":
    unittest.main(verbosity=2)
