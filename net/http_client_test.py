#!/usr/bin/env python3
"""Text requests end to end: the request probe runs under Wine against loopback fixture servers
that each test sets up (tests/fixtures/http_fixture_server.py), and the test checks what the
probe reports and what the server received.

Usage: http_client_test.py PROBE_EXE ROOT_TOOL_EXE   (needs WINEPREFIX; runs console programs only)
"""
import hashlib
import json
import os
import shutil
import socket
import struct
import subprocess
import sys
import tempfile
import threading
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "fixtures"))
from http_fixture_server import FixtureServer, header_values, response_bytes, send  # noqa: E402
import wine_prefix  # noqa: E402

WORK = wine_prefix.unix_path("C:\\httptest")
PROGRAMS = {}  # probe.exe and root_tool.exe, from the command line
INTERNET_SETTINGS = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings"
CONNECTIONS = INTERNET_SETTINGS + r"\Connections"
# Whatever a request runs into, it ends within this (the slowest case sits out a 2 s receive
# timeout three times).
TIME_BOUND_MS = 30000

CHINESE = "中文目录"


def wine(args, lang="en_US.UTF-8", timeout=180):
    return wine_prefix.wine(args, lang=lang, check=False, timeout=timeout, cwd=WORK)


def probe(*args, lang="en_US.UTF-8"):
    done = wine(["C:\\httptest\\probe.exe"] + list(args), lang=lang)
    if done.returncode != 0 or not done.stdout.strip():
        raise AssertionError(f"probe {args} failed ({done.returncode}): {done.stderr[-2000:]}")
    result = json.loads(done.stdout.strip().splitlines()[-1])
    for name in ("text", "body"):
        if name + "Hex" in result:
            result[name] = bytes.fromhex(result[name + "Hex"]).decode("utf-8")
    return result


def closed_port():
    s = socket.socket()
    s.bind(("127.0.0.1", 0))
    port = s.getsockname()[1]
    s.close()
    return port


def raw(data):
    """A handler that writes `data` as it stands and closes."""
    return lambda conn, req: conn.sendall(data)


def reply(status, body, headers=()):
    return lambda conn, req: send(conn, status, list(headers), body)


class HttpClientTest(wine_prefix.ProgramFolderTest):
    FOLDER = "httptest"
    PROGRAMS = PROGRAMS

    @classmethod
    def make_server(cls):
        return FixtureServer()

    def assertBounded(self, result):
        self.assertLess(result["elapsedMs"], TIME_BOUND_MS, result)

    # --- decoding ---------------------------------------------------------------------------

    def test_charset_of_the_response_decides_over_the_default(self):
        utf8 = CHINESE.encode("utf-8")
        gbk = CHINESE.encode("gbk")
        cases = [
            # (Content-Type, caller's default charset, body, LANG)
            ("text/xml; charset=UTF-8", "", utf8, "en_US.UTF-8"),
            ("text/xml; charset=utf-8", "gbk", utf8, "zh_CN.UTF-8"),
            # GBK is decoded with the ANSI code page: code page 936 under a Chinese locale.
            ("text/xml; charset=GBK", "utf-8", gbk, "zh_CN.UTF-8"),
            ("text/xml; charset=GBK", "", gbk, "zh_CN.UTF-8"),
        ]
        for content_type, default, body, lang in cases:
            with self.subTest(content_type=content_type, default=default):
                self.server.route("/doc", reply(200, body, [("Content-Type", content_type)]))
                result = probe("client", "GET", self.server.url("/doc"), "--charset", default, lang=lang)
                self.assertEqual(result["received"], [True])
                self.assertEqual(result["text"], CHINESE)
                self.assertEqual(result["charset"], content_type.split("=")[1])

    def test_wrappers_default_charsets(self):
        utf8 = "café ünïcode".encode("utf-8")
        self.server.route("/doc", reply(200, utf8, [("Content-Type", "text/xml")]))
        # HttpGetText with the catalogue's default "utf-8".
        self.assertEqual(probe("get", self.server.url("/doc"), "utf-8")["body"], "café ünïcode")
        # HttpPostText sets no default: the ANSI code page, here 1252, reads each UTF-8 byte alone.
        self.assertEqual(probe("post", self.server.url("/doc"), "x", "text/plain")["body"],
                         utf8.decode("cp1252"))
        self.server.route("/doc", reply(200, CHINESE.encode("gbk"), [("Content-Type", "text/plain")]))
        self.assertEqual(probe("post", self.server.url("/doc"), "x", "text/plain", lang="zh_CN.UTF-8")["body"],
                         CHINESE)

    def test_invalid_utf8_is_replaced_not_refused(self):
        self.server.route("/doc", reply(200, b"ok \xff\xfe\xc3 end", [("Content-Type", "text/plain; charset=utf-8")]))
        result = probe("get", self.server.url("/doc"), "utf-8")
        self.assertTrue(result["success"])
        self.assertTrue(result["body"].startswith("ok ") and result["body"].endswith(" end"), result)
        self.assertIn("\ufffd", result["body"])

    def test_body_of_two_and_a_half_buffers_is_decoded_whole(self):
        body = bytes((ord("a") + k % 26) for k in range(25600))
        self.server.route("/big", reply(200, body, [("Content-Type", "text/plain")]))
        result = probe("client", "GET", self.server.url("/big"), "--charset", "utf-8", "--progress")
        self.assertEqual(result["bodyLength"], 25600)
        self.assertEqual(result["text"], body.decode())
        self.assertEqual(result["contentLength"], 25600)
        self.assertGreater(result["progressCalls"], 1)
        self.assertEqual(result["progressLast"], 100.0)

    # --- headers ----------------------------------------------------------------------------

    def test_content_length_header_spelling(self):
        cases = [(b"content-length: 5", 5), (b"CONTENT-LENGTH: 5", 5), (b"Content-Length:5", 0)]
        for header, expected in cases:
            with self.subTest(header=header):
                self.server.route("/doc", raw(b"HTTP/1.1 200 OK\r\n" + header + b"\r\nConnection: close\r\n\r\nhello"))
                result = probe("client", "GET", self.server.url("/doc"))
                self.assertEqual(result["text"], "hello")
                self.assertEqual(result["contentLength"], expected)

    def test_identical_cookies_count_once_and_accumulate_over_requests(self):
        self.server.route("/doc", raw(b"HTTP/1.1 200 OK\r\nSet-Cookie: sid=42\r\nSet-Cookie: sid=42\r\n"
                                      b"set-cookie:  SID=42\r\nSet-Cookie: theme=dark\r\n"
                                      b"Content-Length: 2\r\nConnection: close\r\n\r\nok"))
        result = probe("client", "GET", self.server.url("/doc"), "--repeat", "2")
        self.assertEqual(result["received"], [True, True])
        self.assertEqual(result["cookies"], "sid=42; theme=dark;sid=42; theme=dark;")

    def test_cookie_and_extra_headers_are_sent_once_per_request(self):
        # The first answer is cut off, so the request is sent three times on one handle.
        self.server.route("/doc", reply(200, b"<html><body>cut", [("Content-Type", "text/html")]))
        result = probe("client", "GET", self.server.url("/doc"), "--cookie", "sid=42", "--headers", "X-Channel: 7|")
        self.assertEqual(result["received"], [False])
        requests = self.server.requests_for("/doc")
        self.assertEqual(len(requests), 3)
        for request in requests:
            self.assertEqual(header_values(request, "Cookie"), ["sid=42"])
            self.assertEqual(header_values(request, "X-Channel"), ["7"])

    # --- completeness, status, POST ---------------------------------------------------------

    def test_cut_off_html_is_requested_three_times_then_fails_with_13(self):
        self.server.route("/page", reply(200, b"<HTML><body>half", [("Content-Type", "text/html")]))
        result = probe("client", "GET", self.server.url("/page"))
        self.assertEqual(result["received"], [False])
        self.assertEqual(result["lastError"], 13)
        self.assertEqual(len(self.server.requests_for("/page")), 3)
        self.assertFalse(probe("get", self.server.url("/page"), "utf-8")["ok"])

        # A POST is not checked; a GET without the opening tag passes.
        self.server.clear()
        self.server.route("/page", reply(200, b"<HTML><body>half", [("Content-Type", "text/html")]))
        self.assertTrue(probe("post", self.server.url("/page"), "", "")["success"])
        self.server.route("/plain", reply(200, b"<body>no html tags", [("Content-Type", "text/html")]))
        self.assertTrue(probe("get", self.server.url("/plain"), "utf-8")["success"])
        self.assertEqual(len(self.server.requests_for("/plain")), 1)

    def test_status_and_success(self):
        cases = [
            # (status, body, ok, status, success)
            (404, b"not here", True, 404, False),
            (200, b"", True, 200, False),
            (300, b"choose", True, 300, True),  # a 3xx that WinHTTP does not follow by itself
            (500, b"boom", True, 500, False),
        ]
        for status, body, ok, expected_status, success in cases:
            with self.subTest(status=status, body=body):
                self.server.route("/s", reply(status, body, [("Content-Type", "text/plain")]))
                result = probe("get", self.server.url("/s"), "utf-8")
                self.assertEqual((result["ok"], result["status"], result["success"]), (ok, expected_status, success))
                self.assertEqual(result["body"], body.decode())
        result = probe("get", f"http://127.0.0.1:{closed_port()}/s", "utf-8")
        self.assertEqual((result["ok"], result["status"], result["body"]), (False, 0, ""))

    def test_post_sends_length_and_type_headers(self):
        self.server.route("/report", reply(200, b'{"ret":0}', [("Content-Type", "application/json")]))
        cases = [("", "", "0", ""), ('{"a":1}', "application/json", "7", "application/json")]
        for body, content_type, length, sent_type in cases:
            with self.subTest(body=body):
                self.server.clear()
                self.server.route("/report", reply(200, b'{"ret":0}', [("Content-Type", "application/json")]))
                result = probe("post", self.server.url("/report?retflag=json"), body, content_type)
                self.assertTrue(result["success"], result)
                (request,) = self.server.requests_for("/report")
                self.assertEqual(request["method"], "POST")
                self.assertEqual(request["target"], "/report?retflag=json")
                self.assertEqual(header_values(request, "Content-Length"), [length])
                self.assertEqual(header_values(request, "Content-Type"), [sent_type])
                self.assertEqual(request["body"], body.encode())
                self.assertEqual(header_values(request, "User-Agent"), ["OrvixDownloader"])

    def test_post_retried_after_a_lost_answer_keeps_one_content_length(self):
        calls = []

        def first_drops(conn, req):
            calls.append(req)
            if len(calls) == 1:
                return  # closed without an answer: the attempt fails, the next one sends again
            send(conn, 200, [("Content-Type", "text/plain")], b"stored")

        self.server.route("/report", first_drops)
        result = probe("post", self.server.url("/report"), "payload", "text/plain")
        self.assertTrue(result["success"], result)
        self.assertEqual(len(calls), 2)
        for request in calls:
            self.assertEqual(header_values(request, "Content-Length"), ["7"])
            self.assertEqual(request["body"], b"payload")

    def test_bad_requests_fail_before_any_traffic(self):
        cases = [("", "GET", 3), (self.server.url("/x"), "PUT", 87), (self.server.url("/" + "p" * 1300), "GET", 122)]
        for url, method, error in cases:
            with self.subTest(method=method, error=error):
                result = probe("client", method, url)
                self.assertEqual((result["received"], result["lastError"]), ([False], error))
        self.assertEqual(self.server.requests, [])

    # --- proxy fallback ---------------------------------------------------------------------

    def test_failed_send_goes_through_the_internet_explorer_proxy(self):
        proxy = FixtureServer()
        saved = {name: self.read_value(key, name) for key, name in
                 [(INTERNET_SETTINGS, "ProxyEnable"), (INTERNET_SETTINGS, "ProxyServer"),
                  (CONNECTIONS, "DefaultConnectionSettings")]}
        try:
            proxy.route("/downloads/xml/compoment.xml", reply(200, b"<components/>", [("Content-Type", "text/xml")]))
            self.set_ie_proxy(proxy.proxy)
            # Nothing listens at the URL's port: the direct send fails, the settings name the proxy,
            # and the next attempt goes there.
            port = closed_port()
            result = probe("get", f"http://127.0.0.1:{port}/downloads/xml/compoment.xml", "utf-8")
            self.assertTrue(result["success"], result)
            self.assertEqual(result["body"], "<components/>")
            (request,) = proxy.requests
            # Wine writes the request target in absolute form only when the proxy's host name
            # differs from the server's; here both are 127.0.0.1, so the port shows the way.
            self.assertIn(header_values(request, "Host")[0], (f"127.0.0.1:{port}", proxy.proxy))
        finally:
            proxy.stop()
            for name, value in saved.items():
                key = CONNECTIONS if name == "DefaultConnectionSettings" else INTERNET_SETTINGS
                self.restore_value(key, name, value)
        self.assertEqual(self.read_value(INTERNET_SETTINGS, "ProxyServer"), saved["ProxyServer"])

    def set_ie_proxy(self, proxy):
        # Legacy values, and the connection settings record that WinHTTP reads: a header (version
        # 0x46, counter, flags 3 = direct + named proxy), then length-prefixed proxy, bypass list
        # and configuration-script URL.
        self.reg(["add", INTERNET_SETTINGS, "/v", "ProxyEnable", "/t", "REG_DWORD", "/d", "1", "/f"])
        self.reg(["add", INTERNET_SETTINGS, "/v", "ProxyServer", "/t", "REG_SZ", "/d", proxy, "/f"])
        record = struct.pack("<III", 0x46, 1, 3) + struct.pack("<I", len(proxy)) + proxy.encode()
        record += struct.pack("<II", 0, 0) + bytes(32)
        self.reg(["add", CONNECTIONS, "/v", "DefaultConnectionSettings", "/t", "REG_BINARY", "/d", record.hex(), "/f"])

    def reg(self, args, check=True):
        done = wine(["reg"] + args)
        if check and done.returncode != 0:
            raise AssertionError(f"reg {args}: {done.stderr}")
        return done

    def read_value(self, key, name):
        """(type, data) as reg prints them, or None when the value is missing."""
        done = self.reg(["query", key, "/v", name], check=False)
        for line in done.stdout.splitlines():
            parts = line.split(None, 2)
            if len(parts) >= 2 and parts[0] == name and parts[1].startswith("REG_"):
                return parts[1], parts[2].strip() if len(parts) == 3 else ""
        return None

    def restore_value(self, key, name, value):
        if value is None:
            self.reg(["delete", key, "/v", name, "/f"], check=False)
            return
        kind, data = value
        if kind == "REG_DWORD":
            data = str(int(data, 16))
        self.reg(["add", key, "/v", name, "/t", kind, "/d", data, "/f"])

    # --- hostile responses ------------------------------------------------------------------

    def test_hostile_responses_end_in_bounded_time_and_memory(self):
        big_header = b"X-Filler: " + b"a" * (4 << 20) + b"\r\n"
        # Wine's WinHTTP takes time quadratic in the number of header lines (20000: about 90 s),
        # before the client sees any of them; thousands are what the test can afford.
        many_headers = b"".join(b"X-H%d: v\r\n" % k for k in range(4000))
        many_cookies = b"".join(b"Set-Cookie: c%d=v%d\r\n" % (k, k) for k in range(4000))
        hostile_cookie_line = b"X-C: " + b"Set-Cookie:" * 200000 + b"\r\n"
        ok_tail = b"Content-Length: 2\r\nConnection: close\r\n\r\nok"
        cases = [
            # (name, handler, expected "received")
            ("huge header line", raw(b"HTTP/1.1 200 OK\r\n" + big_header + ok_tail), None),
            ("4000 header lines", raw(b"HTTP/1.1 200 OK\r\n" + many_headers + ok_tail), None),
            ("cookie prefixes without a value end", raw(b"HTTP/1.1 200 OK\r\n" + hostile_cookie_line + ok_tail), None),
            ("4000 cookies", raw(b"HTTP/1.1 200 OK\r\n" + many_cookies + ok_tail), True),
            ("status line without line end", raw(b"HTTP/1.1 200 OK"), False),
            ("headers without line ends", raw(b"HTTP/1.1 200 OK Content-Length: 2 Connection: close ok"), None),
            ("closed before the status line", raw(b""), False),
        ]
        for name, handler, expected in cases:
            with self.subTest(name):
                self.server.clear()
                self.server.route("/h", handler)
                result = probe("client", "GET", self.server.url("/h"), "--receive-timeout", "2000")
                self.assertBounded(result)
                self.assertLess(result["peakMB"], 200, result)
                if expected is not None:
                    self.assertEqual(result["received"], [expected], result)
                if name == "4000 cookies":
                    self.assertEqual(result["cookies"].count("=v"), 4000)
                    self.assertEqual(result["text"], "ok")

    def test_cut_and_stalled_bodies_keep_what_arrived(self):
        def stall_mid_body(conn, req):
            conn.sendall(response_bytes(200, [("Content-Length", "1000")], b"x" * 400))
            time.sleep(6)

        def close_mid_body(conn, req):
            conn.sendall(response_bytes(200, [("Content-Length", "1000")], b"y" * 400))

        def close_mid_page(conn, req):
            conn.sendall(response_bytes(200, [("Content-Length", "1000")], b"<html><body>" + b"z" * 100))

        cases = [
            ("stall", stall_mid_body, "x" * 400, True),
            ("close", close_mid_body, "y" * 400, True),
            ("page", close_mid_page, None, False),  # a cut-off page fails after three tries
        ]
        for name, handler, text, received in cases:
            with self.subTest(name):
                self.server.clear()
                self.server.route("/b", handler)
                result = probe("client", "GET", self.server.url("/b"), "--receive-timeout", "2000")
                self.assertBounded(result)
                self.assertEqual(result["received"], [received], result)
                if text is not None:
                    self.assertEqual(result["text"], text)
                else:
                    self.assertEqual(result["lastError"], 13)

    def test_large_bodies(self):
        # Many megabytes are read whole; past the body limit the request fails at once.
        body = (b"0123456789abcdef" * 65536) * 12  # 12 MiB
        self.server.route("/large", reply(200, body, [("Content-Type", "text/plain")]))
        result = probe("client", "GET", self.server.url("/large"))
        self.assertEqual(result["received"], [True])
        self.assertEqual(result["textMd5"], hashlib.md5(body).hexdigest())
        self.assertLess(result["peakMB"], 200, result)

        result = probe("client", "GET", self.server.url("/large"), "--max-body", str(4 << 20))
        self.assertEqual((result["received"], result["lastError"]), ([False], 8))
        self.assertEqual(len(self.server.requests_for("/large")), 2)  # not retried
        self.assertBounded(result)


class CertificateTest(unittest.TestCase):
    """The catalogue GET validates certificates; the report POST ignores certificate errors."""

    @classmethod
    def setUpClass(cls):
        os.makedirs(WORK, exist_ok=True)
        for name, program in PROGRAMS.items():
            shutil.copy(program, os.path.join(WORK, name))
        cls.certs = tempfile.mkdtemp(prefix="orvix-http-certs.")
        cls.make_certificates(cls.certs)
        shutil.copy(os.path.join(cls.certs, "root.der"), os.path.join(WORK, "root.der"))
        cls.self_signed = FixtureServer(tls=(os.path.join(cls.certs, "self.pem"), os.path.join(cls.certs, "self.key")))
        cls.chained = FixtureServer(tls=(os.path.join(cls.certs, "server.pem"), os.path.join(cls.certs, "server.key")))
        for server in (cls.self_signed, cls.chained):
            server.route("/downloads/xml/compoment.xml", reply(200, b"<components/>", [("Content-Type", "text/xml")]))
            server.route("/report", reply(200, b'{"ret":0}', [("Content-Type", "application/json")]))

    @classmethod
    def tearDownClass(cls):
        cls.self_signed.stop()
        cls.chained.stop()
        wine(["C:\\httptest\\root_tool.exe", "remove", "C:\\httptest\\root.der"])
        shutil.rmtree(cls.certs, ignore_errors=True)
        shutil.rmtree(WORK, ignore_errors=True)

    @staticmethod
    def make_certificates(folder):
        def openssl(*args):
            subprocess.run(["openssl"] + list(args), cwd=folder, check=True, capture_output=True)

        openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "root.key", "-out", "root.pem",
                "-days", "2", "-subj", "/CN=Orvix Test Root",
                "-addext", "basicConstraints=critical,CA:TRUE", "-addext", "keyUsage=critical,keyCertSign,cRLSign")
        openssl("x509", "-in", "root.pem", "-outform", "der", "-out", "root.der")
        openssl("req", "-newkey", "rsa:2048", "-nodes", "-keyout", "server.key", "-out", "server.csr",
                "-subj", "/CN=127.0.0.1")
        with open(os.path.join(folder, "server.ext"), "w") as f:
            # Wine matches the host against DNS-type names only, so the address is there in both forms.
            f.write("subjectAltName=DNS:127.0.0.1,IP:127.0.0.1\nbasicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\n"
                    "keyUsage=digitalSignature,keyEncipherment\n")
        openssl("x509", "-req", "-in", "server.csr", "-CA", "root.pem", "-CAkey", "root.key", "-CAcreateserial",
                "-out", "server.pem", "-days", "2", "-extfile", "server.ext")
        openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "self.key", "-out", "self.pem",
                "-days", "2", "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1")

    def root_tool(self, action):
        done = wine(["C:\\httptest\\root_tool.exe", action, "C:\\httptest\\root.der"])
        self.assertEqual(done.returncode, 0, done.stdout + done.stderr)

    def test_catalogue_refuses_an_untrusted_certificate_report_does_not(self):
        result = probe("get", self.self_signed.url("/downloads/xml/compoment.xml"), "utf-8")
        self.assertEqual((result["ok"], result["status"], result["body"]), (False, 0, ""))
        self.assertEqual(self.self_signed.requests, [])  # nothing was sent over the refused channel
        result = probe("post", self.self_signed.url("/report?retflag=json"), "{}", "application/json")
        self.assertTrue(result["success"], result)
        self.assertEqual(result["body"], '{"ret":0}')

    def test_catalogue_accepts_a_certificate_of_a_trusted_root(self):
        result = probe("get", self.chained.url("/downloads/xml/compoment.xml"), "utf-8")
        self.assertFalse(result["ok"], "the root is not trusted yet")
        self.root_tool("add")
        try:
            result = probe("get", self.chained.url("/downloads/xml/compoment.xml"), "utf-8")
            self.assertTrue(result["success"], result)
            self.assertEqual(result["body"], "<components/>")
        finally:
            self.root_tool("remove")
        result = probe("get", self.chained.url("/downloads/xml/compoment.xml"), "utf-8")
        self.assertFalse(result["ok"], "the root was removed again")


if __name__ == "__main__":
    PROGRAMS.update({"probe.exe": sys.argv[1], "root_tool.exe": sys.argv[2]})
    unittest.main(argv=sys.argv[:1], verbosity=2)
