#!/usr/bin/env python3
"""Writes the seed corpus of version_answer_fuzz: version-check answer bodies as the local
service sends them, and the hostile ones the tests refuse.

    python3 fuzz/seeds/version_answer_fuzz.py fuzz/corpus/version_answer_fuzz
"""
import hashlib
import json
import os
import sys

SHA = hashlib.sha256(b"package").hexdigest()


def data(**change):
    d = {"needUpgrade": True, "forceStatus": False, "version": "2.1.0",
         "downLoadUrl": "https://127.0.0.1:8443/pkg/vexhal-2.1.0.bin", "details": "Fixes",
         "packageSize": "12.5 MB", "sha256": SHA}
    for key, value in change.items():
        if value is None:
            d.pop(key)
        else:
            d[key] = value
    return d


def answer(d, code=0, message="success"):
    return json.dumps({"code": code, "message": message, "data": d}).encode()


seeds = {
    "offer": answer(data()),
    "offer-forced": answer(data(forceStatus=True)),
    "offer-upper-sha": answer(data(sha256=SHA.upper())),
    "offer-no-sha": answer(data(sha256=None)),
    "offer-null-sha": answer(data(sha256="")).replace(b'""', b"null", 1),
    "up-to-date": answer({"needUpgrade": False, "forceStatus": False, "version": "",
                          "downLoadUrl": "", "details": "", "packageSize": ""}),
    "no-information": json.dumps({"code": 1, "message": "No update information for this product."}).encode(),
    "service-failure-no-message": b'{"code":4003}',
    "data-as-text": answer("no update"),
    "field-missing": answer(data(packageSize=None)),
    "flag-as-text": answer(data(needUpgrade="true")),
    "sha-not-hex": answer(data(sha256="abc")),
    "code-as-text": json.dumps({"code": "0", "data": data()}).encode(),
    "code-fraction": json.dumps({"code": 0.5, "data": data()}).encode(),
    "code-huge": b'{"code":1e300,"data":{}}',
    "message-as-number": json.dumps({"code": 0, "message": 7, "data": data()}).encode(),
    "unclosed": b'{"code":0',
    "garbage": b"<html>\x01\x02 not what you asked for",
    "array": b"[0,1,2]",
    "unicode": answer(data(details="\u03b2 \u6d4b\u8bd5 \ud83d\ude00")),
}

out = sys.argv[1]
os.makedirs(out, exist_ok=True)
for name, body in seeds.items():
    with open(os.path.join(out, name), "wb") as f:
        f.write(body)
