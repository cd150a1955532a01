#!/usr/bin/env python3
"""Writes a Windows icon file holding the given PNG images as they are (PNG entries,
which Windows Vista and later read): make-ico.py OUT.ico IMAGE.png..."""
import struct
import sys


def png_size(data):
    if data[:8] != b"\x89PNG\r\n\x1a\n" or data[12:16] != b"IHDR":
        raise SystemExit("make-ico: not a PNG image")
    return struct.unpack(">II", data[16:24])


def main():
    out, images = sys.argv[1], [open(path, "rb").read() for path in sys.argv[2:]]
    header = struct.pack("<HHH", 0, 1, len(images))
    entries, offset = b"", 6 + 16 * len(images)
    for data in images:
        width, height = png_size(data)
        if width > 256 or height > 256:
            raise SystemExit("make-ico: an icon image is at most 256 pixels wide")
        # 256 is written as 0.
        entries += struct.pack("<BBBBHHII", width % 256, height % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(out, "wb") as ico:
        ico.write(header + entries + b"".join(images))


main()
