#!/usr/bin/env python3
"""Writes the seed corpus of control_protocol_fuzz: request lines vexhalctl sends, answer
lines the program sends, and malformed ones of each.

    python3 fuzz/seeds/control_protocol_fuzz.py fuzz/corpus/control_protocol_fuzz
"""
import json
import os
import sys


def line(**fields):
    return json.dumps({"v": 1, **fields}, ensure_ascii=False).encode() + b"\n"


seeds = {
    "list": line(command="list", timeout_ms=5000),
    "get": line(command="get", camera="4C2309A01234", settings=["angle", "hmirror"], timeout_ms=5000),
    "set": line(command="set", camera="/dev/hidraw3", settings=["angle=120", "pickup=2"]),
    "save": line(command="save"),
    "firmware": line(command="firmware", file="/tmp/fw.bin", wait=False, timeout_ms=60000),
    "check-update": line(command="check-update", file="/tmp/pkg.bin"),
    "diagnostics": line(command="diagnostics", file="/tmp/d.zip", mask_serial=True),
    "doctor": line(command="doctor"),
    "preset-apply": line(command="preset", action="apply", name="Meeting room \u03b2"),
    "preset-export-all": line(command="preset", action="export", all=True, file="/tmp/p.json"),
    "demo": line(command="demo", settings=["fault", "slow", "3000"]),
    "bad-version": b'{"v":99,"command":"list"}\n',
    "bad-timeout": line(command="list", timeout_ms=0),
    "bad-wait": line(command="firmware", file="x", wait="yes"),
    "not-object": b'["list"]\n',
    "answers": line(working=True) + line(progress=42) + line(progress=100)
    + line(ok=True, exit=0, result={"angle": 90, "hmirror": False}),
    "answer-failure": line(ok=False, exit=1, code=5, message="The camera refused."),
    "answer-adjusted": line(ok=True, exit=0, adjusted=[{"preset": "A", "control": "zoom",
                                                        "change": "clamped", "from": 900,
                                                        "to": 500, "text": "zoom 900 -> 500"}]),
    "answer-list": line(ok=True, exit=0, result=[{"serial": "4C2309A01234", "version": "1.10.0"}]),
    "answer-bad-progress": line(progress=101) + line(progress=-1) + line(progress=4.5),
    "answer-bad-exit": line(ok=True, exit=9),
}

out = sys.argv[1]
os.makedirs(out, exist_ok=True)
for name, body in seeds.items():
    with open(os.path.join(out, name), "wb") as f:
        f.write(body)
