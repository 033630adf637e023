#!/usr/bin/python3
"""Draws the program's icon into packaging/icons/ as a hicolor icon theme tree.

The PNG sizes come from the same drawing as assets/app_icon.png (scripts/gen-assets.py); the
scalable SVG traces the same shapes with the same colours. The files are committed, so a build
never runs this script; run it again after changing the drawing:
  /usr/bin/python3 packaging/gen-icons.py   (Debian python3-pil)
"""
import importlib.util
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
APP_ID = "org.example.vexhal.VexhalTools"
SIZES = (16, 22, 24, 32, 48, 64, 128, 256, 512)


def load_assets():
    spec = importlib.util.spec_from_file_location(
        "gen_assets", os.path.join(HERE, "..", "scripts", "gen-assets.py"))
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
    return module


def svg(assets):
    # Geometry of draw_app_icon() on its 256-unit grid.
    r = 66
    ring = round(r * 0.24)
    hexc = lambda c: "#%02x%02x%02x" % c
    return """<?xml version="1.0" encoding="UTF-8"?>
<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" viewBox="0 0 256 256">
  <defs>
    <linearGradient id="face" x1="16" y1="16" x2="240" y2="240" gradientUnits="userSpaceOnUse">
      <stop offset="0" stop-color="{c1}"/>
      <stop offset="1" stop-color="{c2}"/>
    </linearGradient>
  </defs>
  <rect x="16" y="16" width="224" height="224" rx="56" ry="56" fill="url(#face)"/>
  <circle cx="128" cy="128" r="{ring_r}" fill="none" stroke="#ffffff" stroke-width="{ring}"/>
  <circle cx="128" cy="128" r="{dot}" fill="#ffffff"/>
</svg>
""".format(c1=hexc(assets.TEAL), c2=hexc(assets.BLUE), ring=ring,
           ring_r="%g" % (r - ring / 2.0), dot="%g" % round(r * 0.38, 2))


def main():
    assets = load_assets()
    root = os.path.join(HERE, "icons", "hicolor")
    for size in SIZES:
        folder = os.path.join(root, "%dx%d" % (size, size), "apps")
        path = os.path.join(folder, APP_ID + ".png")
        assets.finish(assets.draw_app_icon(size), size, size, path, hidpi=False)
    folder = os.path.join(root, "scalable", "apps")
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, APP_ID + ".svg"), "w") as out:
        out.write(svg(assets))
    return 0


if __name__ == "__main__":
    sys.exit(main())
