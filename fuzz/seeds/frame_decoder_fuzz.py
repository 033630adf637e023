#!/usr/bin/env python3
"""Writes the seed corpus of frame_decoder_fuzz: small MJPEG (baseline, progressive, each chroma
subsampling, grayscale, truncated, wrong declared size), YUYV and NV12 frames, each behind the
nine-byte header the target reads (format and flags, declared width and height, wanted size).

    /usr/bin/python3 fuzz/seeds/frame_decoder_fuzz.py fuzz/corpus/frame_decoder_fuzz
"""
import io
import os
import struct
import sys

from PIL import Image

MJPEG, YUYV, NV12, OTHER = 0, 1, 2, 3


def header(fmt, width, height, wanted=None, own_size=False):
    flags = fmt | (4 if wanted else 0) | (8 if own_size else 0)
    ww, wh = wanted or (0, 0)
    return struct.pack("<BHHHH", flags, width, height, ww, wh)


def picture(width, height, mode="RGB"):
    image = Image.new("RGB", (width, height))
    image.putdata([((x * 37) % 256, (y * 53) % 256, ((x + y) * 11) % 256)
                   for y in range(height) for x in range(width)])
    return image.convert(mode)


def jpeg(width, height, mode="RGB", **options):
    out = io.BytesIO()
    picture(width, height, mode).save(out, "JPEG", quality=70, **options)
    return out.getvalue()


def main(folder):
    os.makedirs(folder, exist_ok=True)
    seeds = {
        "mjpeg-420": header(MJPEG, 32, 24) + jpeg(32, 24, subsampling=2),
        "mjpeg-422": header(MJPEG, 33, 17) + jpeg(33, 17, subsampling=1),
        "mjpeg-444": header(MJPEG, 16, 16) + jpeg(16, 16, subsampling=0),
        "mjpeg-gray": header(MJPEG, 24, 8) + jpeg(24, 8, mode="L"),
        "mjpeg-progressive": header(MJPEG, 40, 30) + jpeg(40, 30, progressive=True),
        "mjpeg-scaled": header(MJPEG, 64, 48, (16, 12)) + jpeg(64, 48),
        "mjpeg-own-size": header(MJPEG, 0, 0, own_size=True) + jpeg(48, 40, subsampling=1),
        "mjpeg-own-size-scaled": header(MJPEG, 0, 0, (10, 10), True) + jpeg(80, 16, mode="L"),
        "mjpeg-padded": header(MJPEG, 16, 16) + jpeg(16, 16) + bytes(7),
        "mjpeg-truncated": header(MJPEG, 32, 24) + jpeg(32, 24)[:-40],
        "mjpeg-wrong-size": header(MJPEG, 30, 24) + jpeg(32, 24),
        "yuyv-exact": header(YUYV, 8, 4) + bytes(range(64)),
        "yuyv-odd": header(YUYV, 7, 3) + bytes(range(48)),
        "yuyv-short": header(YUYV, 8, 4) + bytes(63),
        "yuyv-long": header(YUYV, 4, 2) + bytes(range(40)),
        "nv12-exact": header(NV12, 8, 4) + bytes(range(48)),
        "nv12-odd": header(NV12, 5, 3) + bytes(range(27)),
        "nv12-short": header(NV12, 8, 4) + bytes(47),
        "nv12-long": header(NV12, 4, 2) + bytes(range(20)),
        "oversized": header(NV12, 9000, 2) + bytes(16),
        "other-format": header(OTHER, 4, 4) + bytes(64),
    }
    for name, data in seeds.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main(sys.argv[1])
