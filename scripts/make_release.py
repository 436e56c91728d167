#!/usr/bin/env python3
"""Packs kardum2.exe and the Spanish user guide into a zip that is the same,
byte for byte, whenever the inputs are: fixed dates, order and attributes.

    make_release.py OUTPUT.zip KARDUM2_EXE GUIDE_UTF8_TXT
"""
import sys
import zipfile

FIXED_DATE = (1980, 1, 1, 0, 0, 0)


def add(archive, name, data):
    info = zipfile.ZipInfo(name, FIXED_DATE)
    info.compress_type = zipfile.ZIP_DEFLATED
    info.external_attr = 0o644 << 16
    info.create_system = 0  # MS-DOS, as Windows' own archives
    archive.writestr(info, data, compresslevel=9)


def main(output, exe, guide):
    with open(exe, "rb") as f:
        program = f.read()
    with open(guide, encoding="utf-8") as f:
        # Notepad on older Windows wants the ANSI code page and CR LF.
        text = f.read().replace("\r\n", "\n").replace("\n", "\r\n").encode("cp1252")
    with zipfile.ZipFile(output, "w") as archive:
        add(archive, "kardum2.exe", program)
        add(archive, "LEEME.txt", text)


if __name__ == "__main__":
    main(*sys.argv[1:])
