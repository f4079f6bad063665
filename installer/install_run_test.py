#!/usr/bin/env python3
"""Whole install runs under Wine, end to end: the install-run probe (the install engine with the
process configuration, stamped per case) fetches its catalogue, downloads the sample packages,
installs them and reports every stage, against one loopback fixture that is the catalogue
servers, the package server and the report server at once (Wine's WinHTTP reaches it as the
http_proxy of the probe, so the servers' names and default ports stay as the build has them).

Usage: install_run_test.py --probe EXE --samples DIR --catalogue-tool EXE --stamp EXE
"""
import argparse
import http.server
import json
import os
import re
import shutil
import subprocess
import sys
import threading
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "fixtures"))
import report_server  # noqa: E402
from wine_prefix import DRIVE_C, only_drive_c, reg_delete, reg_value, restore_drives, unix_path, wine  # noqa: E402

ARGS = None
WORK = os.path.join(DRIVE_C, "runtest")
SERVED = os.path.join(WORK, "served")
TEMP_DIR = "C:\\Temp\\Quilldrop\\Component\\"
INSTALL_DIR = "C:\\Program Files\\Velmora\\"
PRIMARY_PATH = "/downloads/xml/compoment.xml"
FALLBACK_PATH = "/open/qvlm/xml/compoment.xml"
LAUNCHER_KEY = r"HKEY_LOCAL_MACHINE\Software\Corvel\Zentharo\Lumaport"
KORDIN_KEY = r"HKEY_LOCAL_MACHINE\Software\AndroidKordin"


class Fixture(http.server.ThreadingHTTPServer):
    """Catalogue, packages and reports, told apart by path. `primary` and `fallback` are
    (status, body) answers for the two catalogue paths."""

    daemon_threads = True

    def __init__(self):
        super().__init__(("127.0.0.1", 0), Handler)
        self.lock = threading.Lock()
        self.requests = []
        self.primary = (404, b"<html><body>not here</body></html>")
        self.fallback = (200, b"")

    def handle_error(self, request, client_address):
        # A client that stops reading early (a digest check, a failed run) is no fixture error.
        if not isinstance(sys.exc_info()[1], (ConnectionError, BrokenPipeError)):
            super().handle_error(request, client_address)

    def reports(self):
        with self.lock:
            return [r for r in self.requests if r.get("path") == report_server.REPORT_PATH]

    def paths(self):
        with self.lock:
            return [r["path"] for r in self.requests]


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def _answer(self, status, body, head=False):
        self.send_response(status)
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Content-Type", "application/octet-stream" if status == 200 else "text/html")
        self.end_headers()
        if not head:
            self.wfile.write(body)

    def _handle(self, head=False):
        length = int(self.headers.get("Content-Length") or 0)
        if length:
            self.rfile.read(length)
        target = self.path
        if target.startswith("http://"):  # asked as a proxy: the path decides
            target = "/" + target.split("/", 3)[3] if target.count("/") >= 3 else "/"
        path = target.split("?", 1)[0]
        entry = dict(method=self.command, path=path, host=self.headers.get("Host"))
        if path == report_server.REPORT_PATH:
            entry.update(report_server.parse_report(target))
        with self.server.lock:
            self.server.requests.append(entry)
        if path == report_server.REPORT_PATH:
            return self._answer(200, b'{"ret":0}', head)
        if path == PRIMARY_PATH:
            return self._answer(*self.server.primary, head=head)
        if path == FALLBACK_PATH:
            return self._answer(*self.server.fallback, head=head)
        if path.startswith("/files/"):
            name = path[len("/files/"):]
            file = os.path.join(SERVED, name)
            if "/" not in name and os.path.isfile(file):
                with open(file, "rb") as f:
                    return self._answer(200, f.read(), head)
        return self._answer(404, b"<html><body>404</body></html>", head)

    def do_GET(self):
        self._handle()

    def do_POST(self):
        self._handle()

    def do_HEAD(self):
        self._handle(head=True)


def make_package(name, **settings):
    subprocess.run([sys.executable, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "samples",
                                                  "make_sample_package.py"),
                    os.path.join(ARGS.samples, "sample_package.exe"), os.path.join(SERVED, name)] +
                   [f"{k}={v}" for k, v in settings.items()], check=True, capture_output=True)


def write_catalogue(items, channel=None):
    """items: list of "ID=FILE[,key=value]" for the common group; channel: (range, items)."""
    out = os.path.join(WORK, "compoment.xml")
    args = [ARGS.catalogue_tool, "--packages", SERVED, "--base-url", "http://packages.test/files", "-o", out]
    for item in items:
        args += ["--item", item]
    if channel:
        args += ["--channel", channel[0]]
        for item in channel[1]:
            args += ["--item", item]
    subprocess.run(args, check=True, capture_output=True)
    with open(out, "rb") as f:
        return f.read()


class InstallRunTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        os.makedirs(SERVED, exist_ok=True)
        shutil.copy(ARGS.probe, os.path.join(WORK, "probe.exe"))
        # Only C: stays, so the work drive and every folder of the run are inside the prefix.
        cls.saved_drives = only_drive_c()
        cls.fixture = Fixture()
        threading.Thread(target=cls.fixture.serve_forever, daemon=True).start()

    @classmethod
    def tearDownClass(cls):
        cls.fixture.shutdown()
        restore_drives(cls.saved_drives)
        cls.clean_machine()
        shutil.rmtree(WORK, ignore_errors=True)

    @staticmethod
    def clean_machine():
        for key in (r"HKEY_LOCAL_MACHINE\Software\Corvel", r"HKEY_LOCAL_MACHINE\Software\AndroidKordin",
                    r"HKEY_CURRENT_USER\Software\Corvel"):
            reg_delete(key)
        for folder in ("Temp", "Program Files/Velmora"):
            shutil.rmtree(os.path.join(DRIVE_C, folder), ignore_errors=True)

    def setUp(self):
        self.clean_machine()
        for name in os.listdir(SERVED):
            os.remove(os.path.join(SERVED, name))
        with self.fixture.lock:
            self.fixture.requests.clear()
        self.fixture.primary = (404, b"<html><body>not here</body></html>")

    def run_probe(self, params, catalogue, *probe_args, network=True):
        self.fixture.fallback = (200, catalogue)
        exe = os.path.join(WORK, "case.exe")
        subprocess.run([ARGS.stamp, "stamp", os.path.join(WORK, "probe.exe"), "-o", exe, "-j", json.dumps(params)],
                       check=True, capture_output=True)
        port = self.fixture.server_address[1] if network else 1  # nothing listens on port 1
        proxy = {"http_proxy": f"http://127.0.0.1:{port}"}
        result = wine(["C:\\runtest\\case.exe"] + list(probe_args), env_extra=proxy)
        return json.loads(result.stdout.strip().splitlines()[-1])

    def events(self):
        found = []
        for report in self.fixture.reports():
            self.assertTrue(report["sign_ok"], report)
            data = report["data"]
            found.append((data["ireserve1"], data["ireserve5"], data["ireserve6"], data["ireserve7"]))
        return found

    def read_shortcut(self, name):
        """The one shortcut `name` below the users' folders: its path here and what the shell
        link interface reads from it (target, arguments, description, icon)."""
        links = [os.path.join(root, n) for root, _, names in os.walk(os.path.join(DRIVE_C, "users"))
                 for n in names if n == name]
        self.assertEqual(len(links), 1, links)
        link_path = "C:\\" + os.path.relpath(links[0], DRIVE_C).replace("/", "\\")
        link = json.loads(wine(["C:\\runtest\\probe.exe", "readlink", link_path]).stdout.strip().splitlines()[-1])
        return links[0], link

    def test_successful_run_and_finish(self):
        make_package("lumaport-1.2.exe", component=7, version="1.2.0", exit=1000)
        make_package("kordin-3.exe", component=2, version="3.0")
        catalogue = write_catalogue(["7=lumaport-1.2.exe,localaddpath=market,version=1.2.0",
                                     "2=kordin-3.exe,localaddpath=kordin"])
        # The Kordin package is already downloaded; the catalogue gives its digest in upper case.
        digest = re.search(rb'name="kordin-3.exe"[^>]*hash="([0-9a-f]{32})"', catalogue).group(1)
        catalogue = catalogue.replace(digest, digest.upper())
        reused = unix_path(TEMP_DIR + "kordin\\kordin-3.exe")
        os.makedirs(os.path.dirname(reused), exist_ok=True)
        shutil.copy(os.path.join(SERVED, "kordin-3.exe"), reused)

        params = {"supplyid": 100566, "international": 1, "installKordin": True,
                  "pkgName": "com.example.game", "gameName": "Example", "marketExternParams": "-from test"}
        out = self.run_probe(params, catalogue, "finish")
        self.assertEqual((out["runState"], out["resultCode"]), (10, 0), out)
        self.assertEqual([i["id"] for i in out["installList"]], [7, 2])
        self.assertTrue(out["progressComplete"])
        self.assertTrue(out["closed"])

        paths = self.fixture.paths()
        self.assertLess(paths.index(PRIMARY_PATH), paths.index(FALLBACK_PATH))
        self.assertIn("/files/lumaport-1.2.exe", paths)
        self.assertNotIn("/files/kordin-3.exe", paths)  # reused by its digest
        self.assertEqual(self.events(), [
            (100, 0, 0, 0), (102, 0, 0, 0), (200, 0, 0, 0), (201, 0, 7, 0), (203, 0, 7, 0), (204, 0, 0, 0),
            (300, 0, 0, 0), (301, 0, 7, 0), (303, 0, 7, 0), (301, 0, 2, 0), (303, 0, 2, 0), (304, 0, 0, 0)])

        market = INSTALL_DIR + "market"
        self.assertEqual(reg_value(LAUNCHER_KEY, "InstallPath"), market)
        self.assertEqual(reg_value(LAUNCHER_KEY, "Version"), "1.2.0")
        self.assertEqual(reg_value(KORDIN_KEY, "InstallPath"), INSTALL_DIR + "kordin")
        for key_file in ("market\\Lumaport.exe", "market\\GF.dll", "kordin\\Sollvane.exe", "kordin\\KordinSVC.exe"):
            self.assertTrue(os.path.isfile(unix_path(INSTALL_DIR + key_file)), key_file)

        # The launcher started with exactly its command line (it records it next to itself).
        record = unix_path(market + "\\Lumaport.command_line.txt")
        for _ in range(50):
            if os.path.exists(record):
                break
            wine(["cmd", "/c", "exit"])
        with open(record, encoding="utf-8", errors="replace") as f:
            self.assertIn(" -pkg com.example.game -apksupplyid 100566 -displayname Example -from test", f.read())

        # The game shortcut, read back through the shell link interface.
        link_file, link = self.read_shortcut("Example.lnk")
        self.assertEqual(link["target"], market + "\\Lumaport.exe")
        self.assertEqual(link["arguments"], " -startpkg com.example.game -from test -from DesktopLink")
        self.assertEqual(link["description"], "Example")
        self.assertEqual(link["icon"], market + "\\Icons\\com.example.game\\Game.Ico")
        self.assertTrue(os.path.getsize(unix_path(link["icon"])) > 0)
        os.remove(link_file)

    def test_brand_shortcut_without_package_name(self):
        make_package("lumaport.exe", component=7)
        catalogue = write_catalogue(["7=lumaport.exe"])
        out = self.run_probe({"international": 1}, catalogue, "finish")
        self.assertEqual((out["runState"], out["resultCode"]), (10, 0), out)
        link_file, link = self.read_shortcut("Brindle.lnk")
        self.assertEqual(link["target"], INSTALL_DIR + "Lumaport.exe")
        self.assertEqual(link["arguments"], "")
        os.remove(link_file)
        with open(unix_path(INSTALL_DIR + "Setwright.arguments.txt"), encoding="utf-8", errors="replace") as f:
            self.assertIn("-nodesktopIcon", f.read())

    def test_failing_runs(self):
        def catalogue_with(old, new):
            return lambda c: c.replace(old, new)

        def locked_setup_folder(c):
            # A file the old setup folder cannot lose: read-only, so it cannot be deleted.
            setup = unix_path(TEMP_DIR + "Setup")
            os.makedirs(setup, exist_ok=True)
            locked = os.path.join(setup, "locked.txt")
            with open(locked, "w") as f:
                f.write("x")
            os.chmod(locked, 0o444)
            return c

        def folder_in_the_way(c):
            # The package's file name is taken by a folder that is not empty.
            os.makedirs(unix_path(TEMP_DIR + "p.exe\\inside"), exist_ok=True)
            return c

        zero_digest = lambda c: re.sub(rb'hash="[0-9a-f]{32}"', b'hash="' + b"0" * 32 + b'"', c)
        # (what, package settings, catalogue change, expected last event, result code)
        cases = [
            ("digest mismatch", {}, zero_digest, (202, 20, 7, 0), 20),
            ("url without a path", {}, lambda c: re.sub(rb'url="[^"]*"', b'url="http://packages.test"', c),
             (202, 4, 7, None), 4),
            ("unwritable destination", {}, folder_in_the_way, (202, 18, 7, None), 18),
            ("package exit code", {"exit": 3}, None, (302, 14, 7, 0), 14),
            ("no installer", {"unpack": 0}, None, (302, 15, 7, 0), 15),
            ("installer fails", {"setupExit": 9}, None, (302, 16, 7, 0), 16),
            ("component key", {}, lambda c: re.sub(rb'writePathToRegKey="[^"]*"',
                                                   lambda m: b'writePathToRegKey="Software\\' + b"k" * 300 + b'"', c),
             (302, 17, 7, 0), 17),
            ("setup folder", {}, locked_setup_folder, (302, 19, 7, 0), 19),
            ("unsafe local path", {}, catalogue_with(b'localaddpath=""', b'localaddpath="..\\.."'), (101, 3, 0, 0), 3),
        ]
        for what, settings, change, last_event, code in cases:
            with self.subTest(what):
                self.setUp()
                make_package("p.exe", **settings)
                catalogue = write_catalogue(["7=p.exe"])
                if change:
                    catalogue = change(catalogue)
                out = self.run_probe({"international": 1}, catalogue)
                self.assertEqual((out["runState"], out["resultCode"]), (11, code), out)
                events = self.events()
                self.assertEqual(events[-1][:3], last_event[:3], events)
                if last_event[3] is not None:
                    self.assertEqual(events[-1][3], last_event[3], events)
                self.assertNotIn(304, [e[0] for e in events])
                if what == "digest mismatch":
                    self.assertTrue(os.path.isfile(unix_path(TEMP_DIR + "p.exe")), "the rejected file stays")
                if what == "unsafe local path":
                    self.assertNotIn("/files/p.exe", self.fixture.paths())
                if what == "setup folder":
                    os.chmod(unix_path(TEMP_DIR + "Setup\\locked.txt"), 0o644)

    def test_no_network(self):
        out = self.run_probe({"international": 1}, b"", network=False)
        self.assertEqual((out["runState"], out["resultCode"]), (11, 2), out)


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--probe", required=True)
    parser.add_argument("--samples", required=True)
    parser.add_argument("--catalogue-tool", required=True)
    parser.add_argument("--stamp", required=True)
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=sys.argv[:1] + rest, verbosity=2)
