#!/usr/bin/env python3
"""Writes the seed corpus of download_headers_fuzz: package answers as the harness reads them
(head lines, an empty line, the body), the way the local service and its faults send them.

    python3 fuzz/seeds/download_headers_fuzz.py fuzz/corpus/download_headers_fuzz
"""
import hashlib
import os
import sys

BODY = bytes(range(256)) * 4


def answer(heads, body=BODY, settings=()):
    text = "".join(s + "\n" for s in settings)
    for status, headers in heads:
        text += f"HTTP/1.1 {status} X\n" + "".join(f"{n}: {v}\n" for n, v in headers)
    return text.encode() + b"\n" + body


SHA = hashlib.sha256(BODY).hexdigest()
LEN = ("Content-Length", str(len(BODY)))
seeds = {
    "whole": answer([(200, [LEN])], settings=[f"@sha256 {SHA}"]),
    "whole-upper-sha": answer([(200, [LEN])], settings=[f"@sha256 {SHA.upper()}"]),
    "no-length": answer([(200, [])]),
    "short": answer([(200, [("Content-Length", "2000")])]),
    "long": answer([(200, [("Content-Length", "10")])]),
    "huge-length": answer([(200, [("Content-Length", str(600 * 1024 * 1024))])]),
    "too-large": answer([(200, [])], settings=["@max 100"]),
    "sha-mismatch": answer([(200, [LEN])], settings=["@sha256 " + "0" * 64]),
    "deflate": answer([(200, [("Content-Encoding", "deflate")])]),
    "identity": answer([(200, [("Content-Encoding", "Identity"), LEN])]),
    "refused": answer([(404, [("Content-Length", "9")])], b"not found"),
    "server-error": answer([(500, [])], b"internal error\n"),
    "redirect-https": answer([(302, [("Location", "https://127.0.0.1:8443/pkg.bin")]),
                              (200, [LEN])]),
    "redirect-http-remote": answer([(301, [("Location", "http://example.com/pkg.bin")]),
                                    (200, [LEN])]),
    "redirect-loopback": answer([(307, [("Location", "http://127.0.0.1:8080/pkg.bin")]),
                                 (200, [LEN])]),
    "redirect-unfollowed": answer([(302, [])], b"moved"),
    "informational": answer([(100, [])], b""),
    "empty": answer([(200, [("Content-Length", "0")])], b""),
}

out = sys.argv[1]
os.makedirs(out, exist_ok=True)
for name, body in seeds.items():
    with open(os.path.join(out, name), "wb") as f:
        f.write(body)
