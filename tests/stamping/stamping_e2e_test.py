#!/usr/bin/env python3
"""Signing and stamping end to end.

A test program built for Windows is signed with a throwaway certificate, then stamped with two
channel parameter blocks by orvix-stamp. Under Wine the stamped file must keep the signature
verdict of the signed original, a copy with one code byte changed must fail with a bad digest,
and the program must read both blocks from its own file (the block at the very end winning a
shared key) and write the reading's log lines into its dated log file.

Environment: ORVIX_STAMP (the host tool), ORVIX_TARGET_TESTS (folder with param_probe.exe and
verify_trust.exe from the target build), WINEPREFIX and DISPLAY from scripts/test.sh. Without a
Wine prefix the test exits with 77 (skipped).
"""
import glob
import json
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest

STAMP = os.environ.get("ORVIX_STAMP", "")
TARGET_TESTS = os.environ.get("ORVIX_TARGET_TESTS", "")
TRUST_E_BAD_DIGEST = 0x80096010
TRUST_E_NOSIGNATURE = 0x800B0100

FIRST_BLOCK = {"supplyid": 111, "buildid": 349, "bkgPngNumber": 3, "title": "Orvix \u00fcber", "installUI": True}
LAST_BLOCK = {"supplyid": 222, "sourceid": "e2e-source", "pkgName": "com.example.game"}


def run(args, **kwargs):
    return subprocess.run(args, stdin=subprocess.DEVNULL, capture_output=True, timeout=120, **kwargs)


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def pe_offsets(data):
    """File offsets of the optional header's CheckSum and of the first code byte in .text."""
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    sections, optional_size = struct.unpack_from("<H", data, pe + 6)[0], struct.unpack_from("<H", data, pe + 20)[0]
    code = None
    for i in range(sections):
        entry = pe + 24 + optional_size + 40 * i
        if data[entry:entry + 8].rstrip(b"\0") == b".text":
            code = struct.unpack_from("<I", data, entry + 20)[0]
    return pe + 24 + 64, code


def pe_checksum(data, checksum_offset):
    total = 0
    padded = data + b"\0" * (len(data) % 2)
    for at in range(0, len(padded), 2):
        if at in (checksum_offset, checksum_offset + 2):
            continue
        total += padded[at] | padded[at + 1] << 8
        total = (total & 0xFFFF) + (total >> 16)
    return ((total & 0xFFFF) + (total >> 16) + len(data)) & 0xFFFFFFFF


class StampedSignedProgram(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp(prefix="orvix-stamping-")
        cls.tag = re.sub(r"[^a-z0-9]", "", os.path.basename(cls.work).lower())
        w = lambda name: os.path.join(cls.work, name)
        key, cert = w("key.pem"), w("cert.pem")
        made = run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", cert,
                    "-days", "2", "-subj", "/CN=Orvix stamping test"])
        assert made.returncode == 0, made.stderr
        cls.cert = cert
        cls.unsigned = w("probe.exe")
        shutil.copy(os.path.join(TARGET_TESTS, "param_probe.exe"), cls.unsigned)
        cls.signed = w(f"signedprobe{cls.tag}.exe")
        signed = run(["osslsigncode", "sign", "-certs", cert, "-key", key, "-n", "Orvix stamping test",
                      "-in", cls.unsigned, "-out", cls.signed])
        assert signed.returncode == 0, signed.stdout + signed.stderr

        with open(w("last.json"), "w", encoding="utf-8") as f:
            json.dump(LAST_BLOCK, f, indent=2)  # stored as written, newlines and all
        cls.stamped = w(f"stampedprobe{cls.tag}.exe")
        cls.stamping = run([STAMP, "stamp", cls.signed, "-o", cls.stamped,
                            "-j", json.dumps(FIRST_BLOCK), "-f", w("last.json")], text=True)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work, ignore_errors=True)

    @classmethod
    def verdicts(cls):
        """WinVerifyTrust on the four files, in one Wine process (each verification is slow)."""
        if not hasattr(cls, "_verdicts"):
            with open(cls.stamped, "rb") as f:
                data = bytearray(f.read())
            _, code = pe_offsets(bytes(data))
            data[code + 64] ^= 0xFF
            tampered = os.path.join(cls.work, "tampered.exe")
            with open(tampered, "wb") as f:
                f.write(data)
            files = {"unsigned": cls.unsigned, "signed": cls.signed, "stamped": cls.stamped, "tampered": tampered}
            result = run(["wine", os.path.join(TARGET_TESTS, "verify_trust.exe"),
                          *(windows_path(p) for p in files.values())], text=True)
            assert result.returncode == 0, result.stderr
            cls._verdicts = dict(zip(files, (int(v, 16) for v in result.stdout.split())))
        return cls._verdicts

    def run_probe(self, path):
        """Runs a probe program; returns its printed fields and the GConfig lines of its log file."""
        result = run(["wine", path], cwd=self.work)
        self.assertEqual(result.returncode, 0, result.stderr)
        fields = dict(line.split("=", 1) for line in result.stdout.decode("utf-8").splitlines() if "=" in line)
        name = os.path.splitext(os.path.basename(path))[0]
        users = os.path.join(os.environ["WINEPREFIX"], "drive_c", "users")
        logs = glob.glob(os.path.join(users, "*", "**", "GameDownloadLog", f"{name}_*.log"), recursive=True)
        self.assertEqual(len(logs), 1, f"one dated log file for {name}: {logs}")
        self.assertRegex(os.path.basename(logs[0]), rf"^{name}_\d{{8}}_\d{{6}}\.log$")
        with open(logs[0], encoding="utf-8") as f:
            lines = [(m.group(1), m.group(2)) for m in
                     (re.search(r"\]\[(Info|Warn|Error)\]\[GConfig\]\[[^\]]*\]\[[^\]]*\] (.*)$", l.rstrip("\r\n"))
                      for l in f) if m]
        masked = [(level, re.sub(r"0x[0-9A-F]{8}$", "<loc>", text)) for level, text in lines]
        return fields, masked

    def test_blocks_lie_inside_the_grown_certificate_table(self):
        self.assertEqual(self.stamping.returncode, 0, self.stamping.stderr)
        self.assertIn("certificate table grown from", self.stamping.stdout)
        with open(self.signed, "rb") as f:
            signed = f.read()
        with open(self.stamped, "rb") as f:
            stamped = bytearray(f.read())
        checksum_at, _ = pe_offsets(signed)
        security_at = checksum_at - 64 + 96 + 4 * 8  # PE32: data directories at 96, security is entry 4
        table, size = struct.unpack_from("<II", signed, security_at)
        self.assertEqual(table + size, len(signed))
        self.assertEqual(struct.unpack_from("<II", stamped, security_at), (table, size + len(stamped) - len(signed)))
        self.assertEqual(stamped[table:table + 4], signed[table:table + 4], "WIN_CERTIFICATE length must stay")
        self.assertEqual(struct.unpack_from("<I", stamped, checksum_at)[0], pe_checksum(bytes(stamped), checksum_at))
        # Apart from the table size and the checksum, the signed file is untouched.
        head = stamped[:len(signed)]
        head[security_at + 4:security_at + 8] = signed[security_at + 4:security_at + 8]
        head[checksum_at:checksum_at + 4] = signed[checksum_at:checksum_at + 4]
        self.assertEqual(bytes(head), signed)

    def test_original_signature_verifies(self):
        verified = run(["osslsigncode", "verify", "-CAfile", self.cert, self.signed], text=True)
        self.assertEqual(verified.returncode, 0, verified.stdout + verified.stderr)

    def test_stamped_file_keeps_the_signed_verdict(self):
        verdicts = self.verdicts()
        self.assertNotIn(verdicts["signed"], (TRUST_E_NOSIGNATURE, TRUST_E_BAD_DIGEST))
        self.assertEqual(verdicts["stamped"], verdicts["signed"])
        self.assertEqual(verdicts["unsigned"], TRUST_E_NOSIGNATURE)

    def test_changed_code_byte_is_a_bad_digest(self):
        self.assertEqual(self.verdicts()["tampered"], TRUST_E_BAD_DIGEST)

    def test_program_reads_both_blocks_and_the_last_one_wins(self):
        fields, lines = self.run_probe(self.stamped)
        self.assertEqual(fields["supplyid"], "222")
        self.assertEqual(fields["buildid"], "349")
        self.assertEqual(fields["bkgPngNumber"], "3")
        self.assertEqual(fields["title"], "Orvix \u00fcber")
        self.assertEqual(fields["installUI"], "1")
        self.assertEqual(fields["installMarket"], "1")
        self.assertEqual(fields["sourceid"], "e2e-source")
        self.assertEqual(lines, [
            ("Info", "find the inject data: <loc>"),
            ("Info", "find the inject data: <loc>"),
            ("Warn", "check magic failed or length is zero"),
            ("Info", "need install pkg [com.example.game]"),
            ("Info", "OrvixDownloader inner SupplyId [222]"),
            ("Info", "OrvixDownloader inner buildid [349]"),
            ("Info", "OrvixDownloader inner appid [e2e-source]"),
            ("Info", "Background png number: 3"),
        ])

    def test_program_without_blocks_keeps_its_defaults(self):
        fields, lines = self.run_probe(self.signed)
        self.assertEqual((fields["supplyid"], fields["buildid"], fields["installMarket"]), ("0", "0", "1"))
        self.assertEqual(lines[0], ("Warn", "check magic failed or length is zero"))
        self.assertEqual(len(lines), 6)

    def test_tool_lists_blocks_in_applying_order(self):
        listed = run([STAMP, "list", self.stamped], text=True)
        self.assertEqual(listed.returncode, 0, listed.stderr)
        blocks = re.findall(r"^block (\d+): offset \d+, \d+ bytes: ", listed.stdout, re.M)
        self.assertEqual(blocks, ["1", "2"])
        first, last = listed.stdout.split("block 2:")
        self.assertIn('"supplyid": 111', first)
        self.assertIn('"supplyid": 222', last)
        self.assertIn("\n  \"sourceid\"", last)  # the file's text, as written


class StampingToolRefusals(unittest.TestCase):
    """Refused stamping leaves the file byte for byte as it was."""

    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="orvix-stamp-refuse-")
        self.addCleanup(shutil.rmtree, self.work, True)

    def refuse(self, content, *json_args, message):
        path = os.path.join(self.work, "program.exe")
        with open(path, "wb") as f:
            f.write(content)
        result = run([STAMP, "stamp", path, *json_args], text=True)
        self.assertEqual(result.returncode, 1, result.stdout + result.stderr)
        self.assertIn(message, result.stderr)
        with open(path, "rb") as f:
            self.assertEqual(f.read(), content)
        self.assertEqual(os.listdir(self.work), ["program.exe"], "no temporary file left behind")

    def test_refusals(self):
        with open(os.path.join(TARGET_TESTS, "param_probe.exe"), "rb") as f:
            program = f.read()
        self.refuse(b"#!/bin/sh\necho not a program\n", "-j", "{}", message="not a Windows program")
        self.refuse(program, "-j", '{"supplyid": 1,}', message="does not parse")
        self.refuse(program, "-j", "{}", "-j", '{"supplyid": "100566"}',
                    message="block 2: the program would stop reading this block: "
                            "[json.exception.type_error.302] type must be number, but is string")


if __name__ == "__main__":
    if not STAMP or not TARGET_TESTS:
        sys.exit("ORVIX_STAMP and ORVIX_TARGET_TESTS must be set")
    for needed in ("param_probe.exe", "verify_trust.exe"):
        if not os.path.exists(os.path.join(TARGET_TESTS, needed)):
            sys.exit(f"{needed} is missing in {TARGET_TESTS}: build the target build first")
    if not os.environ.get("WINEPREFIX") or not os.path.isdir(os.environ["WINEPREFIX"]):
        print("skipped: no WINEPREFIX (scripts/test.sh provides one)")
        sys.exit(77)
    unittest.main()
