#!/usr/bin/env python3
"""The leak checker's exit report, read from the standard output of a test program that leaves
callbacks behind (or not) and exits normally.

Usage: cb_checker_test.py [wine] PROBE   (under Wine it needs WINEPREFIX and DISPLAY)
"""
import os
import subprocess
import sys
import unittest

COMMAND = []

CBCHECKER_LINE = "*** Leaked objects detected: {} instance(s) of class CBChecker"
BINDER_LINE = "*** Leaked objects detected: {} instance(s) of class BinderBase"


def run_probe(mode):
    env = dict(os.environ, WINEDEBUG="-all")
    # The host build runs under AddressSanitizer, whose own leak report is not the one under test.
    env["ASAN_OPTIONS"] = "detect_leaks=0"
    result = subprocess.run(COMMAND + [mode], env=env, capture_output=True, timeout=120)
    if result.returncode != 0:
        raise AssertionError(f"probe {mode} failed ({result.returncode}): {result.stderr[-2000:]!r}")
    return result.stdout.decode("ascii", "replace").replace("\r\n", "\n")


class LeakReportTest(unittest.TestCase):
    def test_exit_report_per_case(self):
        # Reports run in the reverse order of their registration: the binder counter is used
        # first (a bound call exists before the Callback holding it), so its line comes last.
        cases = {
            "leak-one": [CBCHECKER_LINE.format(1)],
            "leak-copies": [CBCHECKER_LINE.format(3), BINDER_LINE.format(1)],
            "clean": [],
            "none": [],
        }
        for mode, report in cases.items():
            with self.subTest(mode=mode):
                expected = "probe done\n" + "".join(line + "\n" for line in report)
                self.assertEqual(run_probe(mode), expected)

    def test_callbacks_queued_in_a_stopped_pool_are_not_reported(self):
        output = run_probe("queued-in-stopped-pool")
        self.assertEqual(output, "queued: 2\nprobe done\n")


if __name__ == "__main__":
    COMMAND = sys.argv[1:]
    unittest.main(argv=sys.argv[:1])
