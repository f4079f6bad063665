#!/usr/bin/env python3
"""The sample components under Wine, run the way the installer runs them (sample_runner: shell
"open", hidden, waiting, in the download folder): packages made with make_sample_package.py
unpack Setwright and end with their exit code, Setwright installs a component into its
InstallPath and writes Version, and the installed Lumaport records its command line.

Usage: samples_test.py SAMPLES_BUILD_DIR   (needs WINEPREFIX and DISPLAY)
"""
import json
import os
import shutil
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import make_sample_package  # noqa: E402

BUILD = None
PREFIX = os.environ.get("WINEPREFIX", "")
DRIVE_C = os.path.join(PREFIX, "drive_c")
WORK = os.path.join(DRIVE_C, "smptest")
PRODUCT_KEY = r"HKEY_LOCAL_MACHINE\Software\Corvel"
KEYS = {7: r"HKEY_LOCAL_MACHINE\Software\Corvel\Zentharo\Lumaport",
        3: r"HKEY_LOCAL_MACHINE\Software\Corvel\Zentharo\VDI_0",
        10: r"HKEY_LOCAL_MACHINE\Software\Corvel\Zentharo\Arbal_Rootfs"}


def wine(args, cwd=WORK, check=True):
    env = dict(os.environ, WINEDEBUG="-all")
    done = subprocess.run(["wine"] + args, cwd=cwd, env=env, capture_output=True, text=True, errors="replace",
                          timeout=120)
    if check and done.returncode != 0:
        raise AssertionError(f"wine {args} failed ({done.returncode}): {done.stderr[-2000:]}")
    return done


def windows_path(unix_path):
    return "C:\\" + os.path.relpath(unix_path, DRIVE_C).replace("/", "\\")


def run(program, parameters=None, cwd=WORK):
    """Runs `program` (a Unix path inside drive_c) through the runner; returns its exit code."""
    args = ["C:\\smptest\\runner.exe", windows_path(program)] + ([parameters] if parameters is not None else [])
    result = json.loads(wine(args, cwd=cwd).stdout.strip().splitlines()[-1])
    assert result["started"], result
    return result["exitCode"]


def reg_value(key, name):
    done = wine(["reg", "query", key, "/v", name, "/reg:32"], check=False)
    for line in done.stdout.splitlines():
        parts = line.split(None, 2)
        if len(parts) >= 2 and parts[0] == name and parts[1].startswith("REG_"):
            return parts[2].strip() if len(parts) == 3 else ""
    return None


class SamplesTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        os.makedirs(WORK, exist_ok=True)
        shutil.copy(os.path.join(BUILD, "sample_runner.exe"), os.path.join(WORK, "runner.exe"))

    @classmethod
    def tearDownClass(cls):
        wine(["reg", "delete", PRODUCT_KEY, "/f", "/reg:32"], check=False)
        shutil.rmtree(WORK, ignore_errors=True)

    def setUp(self):
        wine(["reg", "delete", PRODUCT_KEY, "/f", "/reg:32"], check=False)
        self.download = os.path.join(WORK, "download")
        shutil.rmtree(self.download, ignore_errors=True)
        os.makedirs(self.download)

    def package(self, name, **settings):
        path = os.path.join(self.download, name)
        make_sample_package.make_package(os.path.join(BUILD, "sample_package.exe"), path, settings)
        return path

    def unpack(self, **settings):
        """Makes and runs a package in the download folder; returns its exit code."""
        return run(self.package("package.exe", **settings), cwd=self.download)

    def setup_folder(self, *names):
        return os.path.join(self.download, "Setup", *names)

    def test_package_unpacks_its_installer_and_ends_with_its_exit_code(self):
        cases = [({}, 0, True), ({"exit": 1000}, 1000, True), ({"exit": 7}, 7, True), ({"unpack": 0}, 0, False)]
        for settings, exit_code, unpacked in cases:
            with self.subTest(settings=settings):
                shutil.rmtree(self.setup_folder(), ignore_errors=True)
                self.assertEqual(self.unpack(**settings), exit_code)
                self.assertEqual(os.path.isfile(self.setup_folder("Setwright.exe")), unpacked)
        # Settings change the package's digest, not its behaviour elsewhere.
        a, b = self.package("a.exe", exit=0), self.package("b.exe", exit=1000)
        with open(a, "rb") as fa, open(b, "rb") as fb:
            self.assertNotEqual(fa.read(), fb.read())

    def test_setwright_installs_key_files_and_version_into_install_path(self):
        cases = [
            (7, ["Lumaport.exe", "GF.dll"]),
            (3, ["android_data_disk.vdi", "android_sdcard_disk.vdi", "android_system_disk.vdi"]),
            (10, ["inode"]),
        ]
        for component, files in cases:
            with self.subTest(component=component):
                install = os.path.join(WORK, "install", f"c{component}")
                shutil.rmtree(install, ignore_errors=True)
                wine(["reg", "add", KEYS[component], "/v", "InstallPath", "/t", "REG_SZ", "/d",
                      windows_path(install), "/f", "/reg:32"])
                self.assertEqual(self.unpack(component=component, version="2.1.0"), 0)
                self.assertEqual(run(self.setup_folder("Setwright.exe"), "-nodesktopIcon", cwd=self.download), 0)
                for name in files:
                    self.assertTrue(os.path.isfile(os.path.join(install, name)), name)
                self.assertEqual(reg_value(KEYS[component], "Version"), "2.1.0")
                with open(os.path.join(install, "Setwright.arguments.txt"), encoding="utf-8", newline="") as f:
                    self.assertEqual(f.read(), "-nodesktopIcon\r\n")
        # The launcher it installs is the sample launcher itself.
        with open(os.path.join(WORK, "install", "c7", "Lumaport.exe"), "rb") as installed, \
                open(os.path.join(BUILD, "Lumaport.exe"), "rb") as built:
            self.assertEqual(installed.read(), built.read())

    def test_setwright_failures_install_nothing(self):
        install = os.path.join(WORK, "install", "failing")
        shutil.rmtree(install, ignore_errors=True)
        # No InstallPath in the component key.
        self.assertEqual(self.unpack(component=7), 0)
        self.assertEqual(run(self.setup_folder("Setwright.exe"), cwd=self.download), 4)
        # A chosen failure, with the key in place.
        wine(["reg", "add", KEYS[7], "/v", "InstallPath", "/t", "REG_SZ", "/d", windows_path(install), "/f",
              "/reg:32"])
        self.assertEqual(self.unpack(component=7, setupExit=5), 0)
        self.assertEqual(run(self.setup_folder("Setwright.exe"), cwd=self.download), 5)
        self.assertFalse(os.path.exists(install))
        self.assertIsNone(reg_value(KEYS[7], "Version"))
        # A component the product does not have.
        self.assertEqual(self.unpack(component=4), 0)
        self.assertEqual(run(self.setup_folder("Setwright.exe"), cwd=self.download), 3)

    def test_lumaport_records_each_command_line(self):
        folder = os.path.join(WORK, "launcher")
        os.makedirs(folder, exist_ok=True)
        shutil.copy(os.path.join(BUILD, "Lumaport.exe"), os.path.join(folder, "Lumaport.exe"))
        record = os.path.join(folder, "Lumaport.command_line.txt")
        if os.path.exists(record):
            os.remove(record)
        launches = [" -pkg com.example.game -apksupplyid 100566 -displayname Example ", " -startpkg x  -from DesktopLink"]
        for parameters in launches:
            self.assertEqual(run(os.path.join(folder, "Lumaport.exe"), parameters), 0)
        with open(record, encoding="utf-8", newline="") as f:
            lines = f.read().split("\r\n")
        self.assertEqual(lines[-1], "")
        self.assertEqual(len(lines[:-1]), 2, lines)
        for line, parameters in zip(lines, launches):
            self.assertIn("Lumaport.exe", line)
            self.assertIn(parameters.strip(), line)


if __name__ == "__main__":
    BUILD = sys.argv.pop(1)
    unittest.main(verbosity=2)
