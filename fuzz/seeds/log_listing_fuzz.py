#!/usr/bin/env python3
"""Writes the seed corpus of log_listing_fuzz: a display name, a slice and stamp digits, then
file names separated by newlines for the listing.

    python3 fuzz/seeds/log_listing_fuzz.py fuzz/corpus/log_listing_fuzz
"""
import os
import struct
import sys


def names(display, slice_, digits, files):
    """Byte 0, the display name's length, also picks the order: odd is newest first."""
    display = display.encode()
    head = bytes([len(display)]) + display + struct.pack("<q", slice_) + bytes(digits)
    return head + b"\n".join(f.encode() for f in files)


STAMP = [2, 0, 2, 6, 1, 2, 0, 9, 0, 3, 4, 5, 0, 1]


def main(folder):
    os.makedirs(folder, exist_ok=True)
    seeds = {
        "app": names("app", 0, STAMP, ["app_2026-12-09 03:45:01_0.log",
                                       "app_2026-12-09 03:45:01_1.log", "notes.txt"]),
        "spaces": names("My App", 12, STAMP, ["My App_2026-12-09 03:45:01_12.log"]),
        "underscores": names("a_b_c", 7, [9] * 14, ["a_b_c_9999-99-99 99:99:99_7.log", "a_b_c.log"]),
        "negative-slice": names("x", -3, STAMP, ["x_2026-12-09 03:45:01_-3.log"]),
        "largest-slice": names("ab", 2**63 - 1, STAMP, []),
        "smallest-slice": names("ab", -2**63, STAMP, []),
        "dotted-name": names("v1.2", 5, STAMP, ["v1.2_2026-12-09 03:45:01_5.log", ".hidden"]),
        "slashed-name": names("dir/app", 1, STAMP, ["app.log", "app_+1.log", "app_x.log"]),
        "empty-name": names("", 3, STAMP, ["_2026-12-09 03:45:01_3.log", "", "..", "."]),
    }
    for name, data in seeds.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main(sys.argv[1])
