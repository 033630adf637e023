#!/usr/bin/env python3
"""Writes the seed corpus of settings_record_fuzz: settings files (INI) holding the image
settings of camera 4C2309A01234 and the presets of model b206-b215, whole and damaged.

    python3 fuzz/seeds/settings_record_fuzz.py fuzz/corpus/settings_record_fuzz
"""
import json
import os
import sys

SERIAL = "4C2309A01234"
FUNCTIONS = {"autoFraming": True, "autoFramingMode": 0, "frameMaster": False, "angle": 90,
             "mirror": False, "pickup": 50}


def control_lines(prefix, controls):
    lines = []
    for key, (value, minimum, maximum, step, default) in controls.items():
        for field, number in (("value", value), ("minimum", minimum), ("maximum", maximum),
                              ("step", step), ("default", default)):
            lines.append(f"{prefix}\\controls\\{key}\\{field}={number}")
    return lines


def record(mode=1, values=(140, 128, 120, 100), controls=None, extra=()):
    lines = ["[UVCParams]", f"{SERIAL}\\mode={mode}"]
    for name, value in zip(("brightness", "contrast", "saturation", "sharpness"), values):
        lines.append(f"{SERIAL}\\{name}={value}")
    lines += control_lines(SERIAL, controls or {})
    lines += extra
    return "\n".join(lines) + "\n"


def quoted(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


def group(name):
    out = ""
    for c in name:
        if c.isascii() and (c.isalnum() or c in "-."):
            out += c
        elif ord(c) < 256:
            out += f"_{ord(c):02X}"
        else:
            out += f"_u{ord(c):04X}"
    return out or "_"


def presets(*names, key=None):
    lines = ["[Presets]"]
    for name in names:
        text = json.dumps({"format": "vexhal-preset", "version": 1, "presets": [
            {"name": name, "functions": FUNCTIONS,
             "controls": {"gain": {"value": 40, "minimum": 0, "maximum": 100, "step": 1,
                                   "default": 50}}}]})
        lines.append(f"b206-b215\\{key or group(name)}={quoted(text)}")
    return "\n".join(lines) + "\n"


GAIN = {"gain": (40, 0, 100, 1, 50), "white-balance-temperature": (4600, 2800, 6500, 100, 4600)}
seeds = {
    "record": record(),
    "record-custom": record(mode=3, controls=GAIN),
    "record-mode-out-of-range": record(mode=9),
    "record-text-values": record(values=("abc", "1e3", "-5", "99999999999999999999")),
    "record-control-partial": record(extra=[f"{SERIAL}\\controls\\gain\\value=3"]),
    "record-control-bad-key": record(controls={"Gain%20X": (1, 0, 2, 1, 1)}),
    "record-list-value": record(extra=[f"{SERIAL}\\brightness=1,2,3"]),
    "presets": presets("Board room", "Huddle", "\u03b2 room"),
    "preset-under-other-key": presets("Board room", key="Other"),
    "preset-damaged": presets("A")[:-20] + "\n",
    "both": record(controls=GAIN) + presets("Board room"),
    "garbage": "[UVCParams\n=\n\\\\\\\n[\n%U\n",
}

out = sys.argv[1]
os.makedirs(out, exist_ok=True)
for name, body in seeds.items():
    with open(os.path.join(out, name), "wb") as f:
        f.write(body.encode())
