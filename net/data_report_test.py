#!/usr/bin/env python3
"""The run report end to end: the report probe runs under Wine and sends a click report and a
numbered event to the loopback report server, which checks what arrives; the probe's log shows
how the answers were judged.

Usage: data_report_test.py PROBE_EXE   (needs WINEPREFIX and DISPLAY)
"""
import json
import os
import re
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "fixtures"))
import report_server  # noqa: E402
from wine_prefix import ProgramFolderTest, unix_path, wine  # noqa: E402

ERROR_LINE = re.compile(r"\[Error\]\[Report\]\[[^\]]*\]\[DataReport::ReportData@\d+\] report data error")
COMMON_MEMBERS = ["client_version", "guid", "icommon0", "language", "strcommon0", "supplyid",
                  "sys_build", "sys_major", "sys_minor", "time_t", "type"]


class DataReportTest(ProgramFolderTest):
    FOLDER = "reporttest"

    @classmethod
    def make_server(cls):
        return report_server.ReportServer()

    def setUp(self):
        super().setUp()
        self.server.answer = report_server.OK_ANSWER

    def send_reports(self, url=None):
        """Runs the probe against this server (or `url`); returns what it printed, its log text
        and the requests this server received."""
        done = wine([self.folder + "\\probe.exe", url or self.server.url], check=False, timeout=180, cwd=self.work)
        self.assertEqual(done.returncode, 0, done.stderr[-2000:])
        printed = json.loads(done.stdout.strip().splitlines()[-1])
        log_file = unix_path(printed["logFile"])
        with open(log_file, encoding="utf-8", errors="replace") as f:
            log = f.read()
        os.remove(log_file)  # a run within the same second would append to it
        return printed, log, self.server.requests

    def test_reports_arrive_signed_with_their_data_in_name_order(self):
        printed, log, requests = self.send_reports()
        self.assertRegex(printed["guid"], r"^[0-9a-f]{32}$")
        self.assertEqual(len(requests), 2)
        by_kind = {}
        for request in requests:
            self.assertEqual(request["method"], "POST")
            self.assertEqual(request["retflag"], "json")
            self.assertEqual(request["headers"].get("content-length"), "0")
            self.assertEqual(request["headers"].get("content-type"), "")
            self.assertRegex(request["nonce"], r"^[1-9][0-9]{4}$")
            self.assertTrue(request["sign_ok"], request["target"])
            self.assertEqual(request["sign"], report_server.expected_sign(request["nonce"], printed["guid"]))
            data = request["data"]
            names = list(data)
            self.assertEqual(names, sorted(names))
            self.assertEqual((names[0], names[-1]), ("client_version", "type"))
            # Compact: nothing between the members but the separators.
            self.assertNotIn(" ", request["data_text"])
            self.assertEqual(
                {k: data[k] for k in COMMON_MEMBERS if k != "time_t"},
                {"client_version": 5, "guid": printed["guid"], "icommon0": 5, "language": "zh_CN",
                 "strcommon0": "probe-source", "supplyid": 1001, "sys_build": printed["sysBuild"],
                 "sys_major": printed["sysMajor"], "sys_minor": printed["sysMinor"], "type": 2})
            self.assertIsInstance(data["time_t"], int)
            by_kind["click" if "ireserve0" in data else "event"] = data

        click, event = by_kind["click"], by_kind["event"]
        self.assertEqual(set(click) - set(COMMON_MEMBERS), {"ireserve0"})
        self.assertEqual(click["ireserve0"], 4)
        self.assertEqual({k: event[k] for k in ("ireserve1", "ireserve5", "ireserve6", "ireserve7")},
                         {"ireserve1": 202, "ireserve5": 20, "ireserve6": 3, "ireserve7": 0})
        self.assertGreater(printed["sysMajor"], 0)  # the version came from ntdll
        self.assertIsNone(ERROR_LINE.search(log))

    def test_reports_that_fail_log_report_data_error(self):
        gone = report_server.ReportServer()
        gone.stop()  # a loopback port that nobody listens on any more
        cases = [("200 with an empty body", (200, b""), None, 2),
                 ("server error", (500, b"server error"), None, 2),
                 ("not found", (404, b"<html>gone</html>"), None, 2),
                 ("nobody listening", report_server.OK_ANSWER, gone.url, 0)]
        for name, answer, url, arriving in cases:
            with self.subTest(name):
                self.server.clear()
                self.server.answer = answer
                _, log, requests = self.send_reports(url)
                self.assertEqual(len(requests), arriving)
                self.assertEqual(len(ERROR_LINE.findall(log)), 2, log[-3000:])

if __name__ == "__main__":
    DataReportTest.PROGRAMS = {"probe.exe": sys.argv[1]}
    unittest.main(argv=sys.argv[:1])
