#!/usr/bin/env python3
"""Writes the seed corpus of preset_file_fuzz: valid one-preset and many-preset files, and one
file for each way a preset file is refused.

    python3 fuzz/seeds/preset_file_fuzz.py fuzz/corpus/preset_file_fuzz
"""
import json
import os
import sys

FUNCTIONS = {"autoFraming": True, "autoFramingMode": 0, "frameMaster": False, "angle": 90,
             "mirror": False, "pickup": 50}


def control(value=40, minimum=0, maximum=100, step=1, default=50):
    return {"value": value, "minimum": minimum, "maximum": maximum, "step": step,
            "default": default}


def preset(name="Board room", functions=None, controls=None):
    return {"name": name, "functions": dict(FUNCTIONS, **(functions or {})),
            "controls": controls if controls is not None else {"gain": control()}}


def file(presets, **top):
    return json.dumps({"format": "vexhal-preset", "version": 1, "presets": presets, **top},
                      ensure_ascii=False).encode()


seeds = {
    "one": file([preset()]),
    "many": file([preset(f"Room {i}", {"angle": [60, 90, 120][i % 3], "pickup": [30, 50, 80][i % 3]},
                         {"brightness": control(i), "white-balance-temperature":
                          control(4600, 2800, 6500, 100, 4600)}) for i in range(6)]),
    "unknown-fields": file([dict(preset(), note="kept aside")], comment="ignored"),
    "no-controls": file([preset(controls={})]),
    "newer-version": file([preset()], version=2),
    "unknown-version": file([preset()], version=0),
    "wrong-format": file([preset()], format="something-else"),
    "no-presets": json.dumps({"format": "vexhal-preset", "version": 1}).encode(),
    "no-name": file([preset(name="")]),
    "long-name": file([preset(name="x" * 65)]),
    "control-character": file([preset(name="a\tb")]),
    "twice": file([preset(), preset()]),
    "no-functions": file([{"name": "A", "controls": {}}]),
    "fraction": file([preset(functions={"angle": 90.5})]),
    "huge-number": file([preset(controls={"gain": control(2 ** 31)})]),
    "flag-as-number": file([preset(functions={"mirror": 1})]),
    "bad-control-name": file([preset(controls={"Gain Value": control()})]),
    "control-not-object": file([preset(controls={"gain": 5})]),
    "bad-range": file([preset(controls={"gain": control(minimum=10, maximum=0)})]),
    "negative-step": file([preset(controls={"gain": control(step=-1)})]),
    "too-many-presets": file([preset(f"P{i}", controls={}) for i in range(101)]),
    "too-deep": b'{"format":"vexhal-preset","version":1,"presets":[[[[[[[[[[1]]]]]]]]]]}',
    "damaged": file([preset()])[:-7],
    "preset-not-object": file([7]),
}

out = sys.argv[1]
os.makedirs(out, exist_ok=True)
for name, body in seeds.items():
    with open(os.path.join(out, name), "wb") as f:
        f.write(body)
