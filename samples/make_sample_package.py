#!/usr/bin/env python3
"""Makes a sample component package: a copy of the built sample_package.exe with settings
appended (see sample_config.h), so that each package has its own behaviour and digest.

  make_sample_package.py SAMPLE_PACKAGE_EXE OUT.exe [key=value ...]

Keys: exit, unpack, component, version, setupExit (see README.md).
"""
import shutil
import sys

MARKER = b"\n[orvix-sample-package]\n"
KEYS = {"exit", "unpack", "component", "version", "setupExit"}


def make_package(program, output, settings):
    """Writes `output`: `program` followed by the settings block. `settings` maps key to value."""
    unknown = set(settings) - KEYS
    if unknown:
        raise ValueError(f"unknown settings: {sorted(unknown)}")
    for key, value in settings.items():
        text = str(value)
        if not text.isprintable() or "\n" in text or "=" in key:
            raise ValueError(f"setting {key} must be one line of printable text")
    shutil.copyfile(program, output)
    block = MARKER + "".join(f"{k}={v}\n" for k, v in settings.items()).encode("ascii")
    with open(output, "ab") as f:
        f.write(block)


def main(argv):
    if len(argv) < 3:
        sys.exit(__doc__)
    settings = dict(arg.split("=", 1) for arg in argv[3:])
    make_package(argv[1], argv[2], settings)


if __name__ == "__main__":
    main(sys.argv)
