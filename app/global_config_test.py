#!/usr/bin/env python3
"""Start-up configuration, end to end: the configuration probe program runs under Wine with
channel parameters stamped onto it, registry state set up per case and the user's locale chosen
through LANG; the test checks what it settled, what it wrote to the registry and its log lines.

Usage: global_config_test.py PROBE_EXE STAMP_TOOL   (needs WINEPREFIX and DISPLAY)
"""
import json
import os
import shutil
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "fixtures"))
from wine_prefix import DRIVE_C, only_drive_c, reg_delete, reg_set, reg_value, restore_drives, unix_path, wine  # noqa: E402

PROBE = STAMP = None
WORK = os.path.join(DRIVE_C, "cfgtest")
USER_KEY = r"HKEY_CURRENT_USER\Software\Corvel\Zentharo"
MACHINE_KEY = r"HKEY_LOCAL_MACHINE\Software\Corvel\Zentharo"
DEFAULT_TEMP = "C:\\Temp\\Quilldrop\\Component\\"


def clear_product_keys():
    reg_delete(r"HKEY_CURRENT_USER\Software\Corvel")
    reg_delete(r"HKEY_LOCAL_MACHINE\Software\Corvel")


class GlobalConfigTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        os.makedirs(WORK, exist_ok=True)
        shutil.copy(PROBE, os.path.join(WORK, "probe.exe"))
        # The work drive decides the default folders: leave C: as the only drive, so nothing is
        # written outside the prefix.
        cls.saved_drives = only_drive_c()

    @classmethod
    def tearDownClass(cls):
        restore_drives(cls.saved_drives)
        clear_product_keys()
        shutil.rmtree(WORK, ignore_errors=True)
        shutil.rmtree(os.path.join(DRIVE_C, "Temp"), ignore_errors=True)

    def setUp(self):
        clear_product_keys()
        temp = os.path.join(DRIVE_C, "Temp")
        if os.path.isdir(temp):
            shutil.rmtree(temp)
        elif os.path.lexists(temp):
            os.remove(temp)

    def run_probe(self, params, lang="en_US.UTF-8"):
        """Stamps the probe with `params`, runs it, returns (settled values, GConfig log lines)."""
        exe = os.path.join(WORK, "case.exe")
        subprocess.run([STAMP, "stamp", os.path.join(WORK, "probe.exe"), "-o", exe, "-j", json.dumps(params)],
                       check=True, capture_output=True)
        result = wine(["C:\\cfgtest\\case.exe"], lang=lang)
        settled = json.loads(result.stdout.strip().splitlines()[-1])
        with open(unix_path(settled["logFile"]), encoding="utf-8") as f:
            lines = f.read().splitlines()
        # This run's lines only: runs of the same second share one file.
        gconfig = [line for line in lines[self.run_start(lines):] if "[GConfig]" in line]
        return settled, gconfig

    @staticmethod
    def run_start(lines):
        # Every run's configuration begins with the block scan, which ends with the magic check.
        starts = [i for i, line in enumerate(lines) if "check magic failed or length is zero" in line]
        return starts[-1] if starts else 0

    def texts(self, lines):
        return [line.split("] ", 1)[1] if "] " in line else line for line in lines]

    def test_first_run_writes_every_remembered_value(self):
        settled, log = self.run_probe({"supplyid": 100566, "international": 1})
        self.assertEqual(settled["driveRoot"], "C:\\")
        self.assertEqual(settled["tempDir"], DEFAULT_TEMP)
        self.assertTrue(os.path.isdir(unix_path(DEFAULT_TEMP)))
        self.assertEqual(settled["installDir"], "C:\\Program Files\\Velmora\\")
        self.assertEqual(settled["language"], "en")
        self.assertEqual(reg_value(USER_KEY, "TempPath"), DEFAULT_TEMP)
        self.assertEqual(reg_value(MACHINE_KEY, "SupplyId"), "0x188d6")  # 100566
        self.assertEqual(reg_value(USER_KEY, "UserLanguage"), "en")
        texts = self.texts(log)
        order = ["TempPath reg value read failed. ", "current temp path: [" + DEFAULT_TEMP + "]",
                 "current install path: C:\\Program Files\\Velmora\\", "write supplyid 100566 to register",
                 "runtime supplyid [100566]", "current language: en", "client id: 190912"]
        positions = []
        for wanted in order:
            found = [i for i, t in enumerate(texts) if t.startswith(wanted)]
            self.assertTrue(found, f"missing line {wanted!r} in {texts}")
            positions.append(found[0])
        self.assertEqual(positions, sorted(positions), texts)

    def test_remembered_temp_folder(self):
        kept = "C:\\cfgtest\\mytemp\\"
        os.makedirs(unix_path(kept), exist_ok=True)
        cases = [("C:\\cfgtest\\gone\\", DEFAULT_TEMP), (kept, kept)]
        for stored, expected in cases:
            with self.subTest(stored=stored):
                self.setUp()
                reg_set(USER_KEY, "TempPath", "REG_SZ", stored)
                settled, log = self.run_probe({"international": 1})
                self.assertEqual(settled["tempDir"], expected)
                self.assertEqual(reg_value(USER_KEY, "TempPath"), expected)
                self.assertTrue(os.path.isdir(unix_path(expected)))
                self.assertNotIn("TempPath reg value read failed. ", "\n".join(log))

    def test_stored_supply_id_is_kept(self):
        reg_set(MACHINE_KEY, "SupplyId", "REG_DWORD", "5")
        settled, log = self.run_probe({"supplyid": 100566, "international": 1})
        texts = self.texts(log)
        self.assertIn("read supplyid [5] from register", texts)
        self.assertIn("runtime supplyid [100566]", texts)
        self.assertFalse(any(t.startswith("write supplyid") for t in texts))
        self.assertEqual(reg_value(MACHINE_KEY, "SupplyId"), "0x5")
        self.assertEqual(settled["supplyId"], 100566)

    def test_language_choice(self):
        cases = [
            # (stored UserLanguage, channel parameters, LANG, expected)
            ("fr", {"international": 0}, "en_US.UTF-8", "fr"),
            (None, {"international": 0}, "en_US.UTF-8", "zh_CN"),
            (None, {"international": 1}, "zh_CN.UTF-8", "en"),
            (None, {"international": 1}, "pt_BR.UTF-8", "pt"),
            (None, {"international": 1}, "zh_TW.UTF-8", "zh_TW"),
            (None, {"international": 1, "pkgName": "com.pelto.brawlmoor"}, "en_US.UTF-8", "vi"),
        ]
        for stored, params, lang, expected in cases:
            with self.subTest(stored=stored, params=params, lang=lang):
                self.setUp()
                if stored:
                    reg_set(USER_KEY, "UserLanguage", "REG_SZ", stored)
                settled, log = self.run_probe(params, lang=lang)
                self.assertEqual(settled["language"], expected)
                self.assertIn("current language: " + expected, self.texts(log))
                self.assertEqual(reg_value(USER_KEY, "UserLanguage"), expected)
                pelto = reg_value(MACHINE_KEY, "PeltoVersion")
                self.assertEqual(pelto, "0x1" if "pkgName" in params else None)

    def test_default_temp_folder_that_cannot_be_created(self):
        # A file where the folder should be: the path is still the one used, and the failure logged.
        with open(os.path.join(DRIVE_C, "Temp"), "w") as f:
            f.write("not a folder")
        settled, log = self.run_probe({"international": 1})
        self.assertEqual(settled["tempDir"], DEFAULT_TEMP)
        self.assertIn(f"create temp path [{DEFAULT_TEMP}] failed.", self.texts(log))
        self.assertIn("client id: 190912", self.texts(log))


if __name__ == "__main__":
    PROBE, STAMP = sys.argv[1], sys.argv[2]
    unittest.main(argv=sys.argv[:1], verbosity=2)
