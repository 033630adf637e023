#!/usr/bin/env python3
"""Writes the seed corpus of usb_identity_fuzz: sysfs attribute sets of USB devices (idVendor,
idProduct, busnum, devpath, serial), each file as a length byte (255: missing) and its text.

    python3 fuzz/seeds/usb_identity_fuzz.py fuzz/corpus/usb_identity_fuzz
"""
import os
import sys

MISSING = None


def attributes(*values):
    out = b""
    for value in values:
        if value is MISSING:
            out += b"\xff"
        else:
            out += bytes([len(value)]) + value
    return out


def main(folder):
    os.makedirs(folder, exist_ok=True)
    seeds = {
        "camera": attributes(b"b206\n", b"b215\n", b"3\n", b"1.4.2\n", b"SN0001\n"),
        "no-serial": attributes(b"b206\n", b"b215\n", b"1\n", b"2\n", MISSING),
        "wide-port": attributes(b"1d6b\n", b"0003\n", b"2\n", b"17.2\n", b"\n"),
        "deep-path": attributes(b"0bda\n", b"5411\n", b"4\n", b"1.2.3.4.5.6\n", b"x\n"),
        "too-deep": attributes(b"0bda\n", b"5411\n", b"4\n", b"1.2.3.4.5.6.7\n", b"x\n"),
        "high-bus": attributes(b"ffff\n", b"ffff\n", b"255\n", b"15\n", b"A B \r\n"),
        "bad-vendor": attributes(b"xyz\n", b"b215\n", b"3\n", b"1\n", b"s\n"),
        "big-vendor": attributes(b"10000\n", b"b215\n", b"3\n", b"1\n", b"s\n"),
        "no-devpath": attributes(b"b206\n", b"b215\n", b"3\n", MISSING, b"s\n"),
        "empty-bus": attributes(b"b206\n", b"b215\n", b"\n", b"1\n", b"s\n"),
        "two-lines": attributes(b"b206\nb215\n", b"b215", b"3", b"1\n2", b"a\nb"),
    }
    for name, data in seeds.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main(sys.argv[1])
