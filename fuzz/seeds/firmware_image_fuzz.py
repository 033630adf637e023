#!/usr/bin/env python3
"""Writes the seed corpus of firmware_image_fuzz: virtual-camera firmware images ("VXFW", the
version's three bytes, a zero byte, the payload length, the payload, the CRC-32 of all that),
valid ones of several sizes and damaged ones (magic, length, checksum, cut short).

    python3 fuzz/seeds/firmware_image_fuzz.py fuzz/corpus/firmware_image_fuzz
"""
import os
import struct
import sys
import zlib


def image(version, payload, spare=0):
    head = b"VXFW" + bytes(version) + bytes([spare]) + struct.pack("<I", len(payload))
    body = head + payload
    return body + struct.pack("<I", zlib.crc32(body))


def main(folder):
    os.makedirs(folder, exist_ok=True)
    good = image((1, 2, 3), bytes(range(256)) * 4)
    seeds = {
        "empty-payload": image((0, 0, 0), b""),
        "small": image((1, 0, 7), b"firmware"),
        "kib": good,
        "high-version": image((255, 128, 200), bytes(100)),
        "spare-byte-set": image((2, 1, 0), b"abc", spare=9),
        "bad-magic": b"VXFX" + good[4:],
        "bad-length": good[:8] + struct.pack("<I", 1023) + good[12:],
        "bad-checksum": good[:-1] + bytes([good[-1] ^ 1]),
        "cut-short": good[:600],
        "header-only": good[:12],
    }
    for name, data in seeds.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main(sys.argv[1])
