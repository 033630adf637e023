#!/usr/bin/env python3
"""Writes the seed corpus of hid_reply_fuzz: camera replies as the fuzz target reads them, each
report preceded by its length in two little-endian bytes.

    python3 fuzz/seeds/hid_reply_fuzz.py fuzz/corpus/hid_reply_fuzz
"""
import os
import struct
import sys

TABLE = []
for n in range(256):
    value = n
    for _ in range(8):
        value = (value >> 1) ^ 0x1021 if value & 1 else value >> 1
    TABLE.append(value)


def checksum(data, crc):
    for byte in data:
        crc = (crc >> 8) ^ TABLE[(crc ^ byte) & 0xFF]
    return crc


def report(cmd, result=0, data=b"", status=0, magic=0x5A5A, damage_crc=False):
    head = struct.pack("<BHHBHI", 1, magic, cmd, status, len(data), result)
    crc = checksum(data, checksum(head, 0xFFFF))
    if damage_crc:
        crc ^= 0x0101
    body = head + struct.pack("<H", crc) + data
    return body + bytes(1024 - len(body))


def framed(*reports):
    return b"".join(struct.pack("<H", len(r)) + r for r in reports)


GETS = {0x5000: struct.pack("<I", 1), 0x5001: b"1.10.0\0", 0x5010: b"4C2309A01234\0",
        0x5020: b"\1", 0x5030: struct.pack("<I", 1), 0x5040: b"\1", 0x5070: struct.pack("<I", 2),
        0x5080: b"\1", 0x5090: b"\0", 0x50A0: struct.pack("<I", 90)}
SETS = [0x5031, 0x5041, 0x5071, 0x5081, 0x5091, 0x50A1, 0x5100]

seeds = {}
for cmd, data in GETS.items():
    seeds[f"get-{cmd:04x}"] = framed(report(cmd, data=data, status=1))
for cmd in SETS:
    seeds[f"set-{cmd:04x}"] = framed(report(cmd))
seeds["upgrade-whole"] = framed(report(0x4000), report(0x4200), report(0x4200), report(0x4200),
                                report(0x4300))
seeds["upgrade-refused"] = framed(report(0x4000), report(0x4200, result=5))
seeds["short-report"] = framed(report(0x5000)[:20])
seeds["bad-checksum"] = framed(report(0x50A0, data=struct.pack("<I", 120), status=1,
                                      damage_crc=True))
seeds["bad-magic"] = framed(report(0x5000, magic=0x1234))
seeds["overlong-length"] = framed(report(0x5001, data=b"x" * 1010, status=1))

out = sys.argv[1]
os.makedirs(out, exist_ok=True)
for name, data in seeds.items():
    with open(os.path.join(out, name), "wb") as f:
        f.write(data)
