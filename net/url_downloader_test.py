#!/usr/bin/env python3
"""DownloadUrlToFile end to end: the downloader probe runs under Wine against the loopback
package server, which it reaches as its HTTP proxy (http_proxy), so that package URLs keep the
default ports the downloader always uses while only 127.0.0.1 is ever contacted.

Usage: url_downloader_test.py PROBE_EXE   (needs WINEPREFIX and DISPLAY)
"""
import hashlib
import json
import os
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "fixtures"))
import package_server  # noqa: E402
from wine_prefix import ProgramFolderTest, wine  # noqa: E402

HOST = "127.0.0.1"  # even if a request bypassed the proxy, it would stay on this machine


class DownloaderTest(ProgramFolderTest):
    FOLDER = "dltest"

    @classmethod
    def make_server(cls):
        return package_server.PackageServer()

    def download(self, url, name="package.bin", user_agent=None, remove_first=True):
        """Runs the probe; returns (its JSON result, the bytes of the file or None)."""
        target = os.path.join(self.work, name)
        if remove_first and os.path.exists(target):
            os.remove(target)
        args = [self.folder + "\\probe.exe", url, self.folder + "\\" + name.replace("/", "\\")]
        if user_agent is not None:
            args.append(user_agent)
        done = wine(args, env_extra=dict(http_proxy=self.server.proxy, https_proxy=self.server.proxy), check=False,
                    timeout=120, cwd=self.work)
        self.assertEqual(done.returncode, 0, done.stderr[-2000:])
        result = json.loads(done.stdout.strip().splitlines()[-1])
        data = None
        if os.path.isfile(target):
            with open(target, "rb") as f:
                data = f.read()
        return result, data

    def gets(self):
        return [r for r in self.server.requests if r["method"] == "GET"]

    def test_complete_package_is_written_with_head_then_get(self):
        size = 300_000
        result, data = self.download(f"http://{HOST}/bytes/{size}")
        self.assertTrue(result["ok"], result)
        self.assertEqual((result["errorType"], result["errorCode"]), (0, 0))
        self.assertEqual(data, package_server.package_bytes(size))
        self.assertEqual(result["md5"], hashlib.md5(data).hexdigest())
        self.assertEqual([r["method"] for r in self.server.requests], ["HEAD", "GET"])
        self.assertTrue(all(r["user_agent"] == "OrvixDownloader/1.0" for r in self.server.requests))
        self.assertEqual(result["lastPercent"], 100)
        self.assertEqual(result["progress"], sorted(result["progress"]))
        self.assertTrue(result["reservedAlwaysZero"])

    def test_existing_file_is_replaced_and_user_agent_passed(self):
        with open(os.path.join(self.work, "old.bin"), "wb") as f:
            f.write(b"x" * 50_000)
        result, data = self.download(f"http://{HOST}/bytes/1000", name="old.bin", user_agent="Tester/2",
                                     remove_first=False)
        self.assertTrue(result["ok"], result)
        self.assertEqual(data, package_server.package_bytes(1000))
        self.assertEqual({r["user_agent"] for r in self.server.requests}, {"Tester/2"})

    def test_scheme_decides_port_and_secure_flag(self):
        # Plain schemes are fetched with HTTP on port 80 ("ftp" too): HEAD and GET for the path
        # with its query string, Host without a port.
        for scheme in ("http", "ftp"):
            with self.subTest(scheme=scheme):
                self.server.clear()
                result, _ = self.download(f"{scheme}://{HOST}/bytes/10?sig=ab&t=1")
                self.assertTrue(result["ok"], result)
                self.assertEqual([(r["method"], r["target"], r["host"]) for r in self.server.requests],
                                 [("HEAD", "/bytes/10?sig=ab&t=1", HOST), ("GET", "/bytes/10?sig=ab&t=1", HOST)])
        # A port written in the URL stays part of the host name; the connection is still for 80,
        # which WinHTTP then spells out in the absolute URL it sends to the proxy.
        self.server.clear()
        result, _ = self.download(f"http://{HOST}:8080/bytes/10")
        self.assertTrue(result["ok"], result)
        self.assertEqual({(r["target"], r["host"]) for r in self.server.requests},
                         {(f"http://{HOST}:8080:80/bytes/10", f"{HOST}:8080")})
        # https sets the secure flag: both requests open with a TLS handshake (Wine speaks TLS to
        # the proxy itself, so the port 443 shows only in the unit test). The loopback server
        # has no certificate, so the GET cannot be sent.
        self.server.clear()
        result, _ = self.download(f"https://{HOST}/bytes/10?sig=ab")
        self.assertEqual([r["method"] for r in self.server.requests], ["TLS", "TLS"])
        self.assertFalse(result["ok"])
        self.assertEqual(result["errorType"], 8, result)
        self.assertEqual(result["errorCode"], 12157, result)  # the secure channel failed

    def test_body_and_size_disagreements(self):
        cases = [
            # HEAD without Content-Length: size unknown, only the first chunk of the GET is written.
            ("no length", "/no-length/100000", True, lambda d: 0 < len(d) < 100000),
            # GET longer than the HEAD said: stops after the chunk that reaches the size.
            ("longer", "/longer/10000/200000", True, lambda d: 10000 <= len(d) < 200000),
            # The server closes before the announced size, with or without its own length: the
            # body ends early, a download failure; what came stays on disk.
            ("short, framed", "/short/100000/30000", False, lambda d: len(d) == 30000),
            ("short, unframed", "/unframed/100000/30000", False, lambda d: len(d) == 30000),
        ]
        for what, path, ok, size_check in cases:
            with self.subTest(what):
                result, data = self.download(f"http://{HOST}{path}")
                self.assertEqual(result["ok"], ok, result)
                self.assertIsNotNone(data)
                self.assertTrue(size_check(data), len(data))
                self.assertEqual(data, package_server.package_bytes(len(data)))
                if not ok:
                    self.assertEqual((result["errorType"], result["errorCode"]), (12, 38), result)  # end of body
                    self.assertEqual(result["lastPercent"], 30)
        # With the longer body the last percentage passes 100.
        result, _ = self.download(f"http://{HOST}/longer/10000/200000")
        self.assertGreater(result["lastPercent"], 100)

    def test_not_found_page_is_written_and_fails_the_digest(self):
        result, data = self.download(f"http://{HOST}/missing/package.zip")
        self.assertTrue(result["ok"], result)
        self.assertEqual(data, package_server.NOT_FOUND_BODY)
        expected = hashlib.md5(package_server.package_bytes(1000)).hexdigest()
        self.assertEqual(result["md5"], hashlib.md5(package_server.NOT_FOUND_BODY).hexdigest())
        self.assertNotEqual(result["md5"], expected)

    def test_error_types_before_and_after_the_transfer(self):
        cases = [
            ("no path", f"http://{HOST}", "package.bin", 4, None),
            ("upper-case scheme", f"HTTP://{HOST}/bytes/10", "package.bin", 4, None),
            ("missing folder", f"http://{HOST}/bytes/10", "no/such/folder/package.bin", 18, 3),  # path not found
        ]
        for what, url, name, error_type, error_code in cases:
            with self.subTest(what):
                self.server.clear()
                result, _ = self.download(url, name=name)
                self.assertFalse(result["ok"])
                self.assertEqual(result["errorType"], error_type, result)
                if error_code is not None:
                    self.assertEqual(result["errorCode"], error_code, result)
        # A URL that does not split sends nothing.
        self.server.clear()
        result, _ = self.download(f"HTTP://{HOST}/bytes/10")
        self.assertEqual(self.server.requests, [])


if __name__ == "__main__":
    DownloaderTest.PROGRAMS = {"probe.exe": sys.argv.pop(1)}
    unittest.main(verbosity=2)
