#!/usr/bin/python3
"""Draws the program's pictures into assets/.

Every picture is drawn here from shapes and the DejaVu font, supersampled and scaled down for
smooth edges. The PNGs are committed, so a build never runs this script; run it again after
changing a drawing:  /usr/bin/python3 scripts/gen-assets.py (Debian python3-pil)
"""
import math
import os
import sys

from PIL import Image, ImageDraw, ImageFont

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "assets")
SS = 4  # supersampling factor

TEAL = (0, 163, 122)
BLUE = (52, 118, 255)
GRAY = (102, 102, 102)
LIGHT = (224, 224, 224)
PALE = (244, 244, 244)
INK = (20, 20, 20)
WHITE = (255, 255, 255)
FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"


def canvas(w, h):
    return Image.new("RGBA", (w * SS, h * SS), (0, 0, 0, 0))


def finish(img, w, h, path, hidpi=True):
    """Saves the drawing at w x h, and at twice that as name@2x.png for high-density screens."""
    os.makedirs(os.path.dirname(path), exist_ok=True)
    img.resize((w, h), Image.LANCZOS).save(path, optimize=True)
    if hidpi:
        img.resize((2 * w, 2 * h), Image.LANCZOS).save(path[:-4] + "@2x.png", optimize=True)


def s(v):
    return v * SS


def lerp(a, b, t):
    return tuple(round(a[i] + (b[i] - a[i]) * t) for i in range(len(a)))


def ease_out(t):
    t = min(max(t, 0.0), 1.0)
    return 1 - (1 - t) ** 3


def ease_back(t):
    t = min(max(t, 0.0), 1.0)
    c = 1.70158
    return 1 + (c + 1) * (t - 1) ** 3 + c * (t - 1) ** 2


def phase(frame, start, end):
    return min(max((frame - start) / float(end - start), 0.0), 1.0)


def gradient_disc(size, box, radius, c1, c2):
    """A rounded square filled with a diagonal gradient from c1 to c2."""
    grad = Image.new("RGBA", size, (0, 0, 0, 0))
    x0, y0, x1, y1 = box
    gd = ImageDraw.Draw(grad)
    steps = 64
    for i in range(steps):
        t = i / (steps - 1)
        col = lerp(c1, c2, t) + (255,)
        # diagonal bands
        off = (x1 - x0 + y1 - y0) * t
        gd.polygon([(x0 + off - (y1 - y0), y1), (x0 + off, y0),
                    (x0 + off + (x1 - x0 + y1 - y0) / steps + 2, y0),
                    (x0 + off + (x1 - x0 + y1 - y0) / steps + 2 - (y1 - y0), y1)], fill=col)
    mask = Image.new("L", size, 0)
    ImageDraw.Draw(mask).rounded_rectangle(box, radius=radius, fill=255)
    out = Image.new("RGBA", size, (0, 0, 0, 0))
    out.paste(grad, (0, 0), mask)
    return out


def draw_mark(img, cx, cy, r, sweep=360.0, dot=1.0, alpha=255):
    """The lens mark: a ring drawn `sweep` degrees from the top and a centre dot scaled by `dot`."""
    d = ImageDraw.Draw(img)
    width = max(1, round(r * 0.22))
    box = (cx - r, cy - r, cx + r, cy + r)
    if sweep >= 359.9:
        d.ellipse(box, outline=TEAL + (alpha,), width=width)
    elif sweep > 0:
        d.arc(box, -90, -90 + sweep, fill=TEAL + (alpha,), width=width)
        # round caps
        for ang in (-90, -90 + sweep):
            a = math.radians(ang)
            rr = r - width / 2
            px, py = cx + rr * math.cos(a), cy + rr * math.sin(a)
            d.ellipse((px - width / 2, py - width / 2, px + width / 2, py + width / 2),
                      fill=TEAL + (alpha,))
    if dot > 0:
        dr = r * 0.36 * dot
        d.ellipse((cx - dr, cy - dr, cx + dr, cy + dr), fill=BLUE + (alpha,))
        hr = dr * 0.32
        hx, hy = cx - dr * 0.35, cy - dr * 0.35
        d.ellipse((hx - hr, hy - hr, hx + hr, hy + hr), fill=WHITE + (alpha,))


def launch_frames():
    w, h = 320, 240
    font = ImageFont.truetype(FONT, s(26))
    for f in range(120):
        img = canvas(w, h)
        cx, cy, r = s(160), s(96), s(54)
        sweep = 360.0 * ease_out(phase(f, 0, 48))
        dot = ease_back(phase(f, 30, 66))
        draw_mark(img, cx, cy, r, sweep, dot)
        t = ease_out(phase(f, 60, 100))
        if t > 0:
            layer = canvas(w, h)
            ld = ImageDraw.Draw(layer)
            text = "VexhalTools"
            tw = ld.textlength(text, font=font)
            ty = s(176) + (1 - t) * s(14)
            ld.text((s(160) - tw / 2, ty), text, font=font, fill=INK + (round(255 * t),))
            # the underline grows after the wordmark
            u = ease_out(phase(f, 84, 116))
            if u > 0:
                half = s(22) * u
                ld.rounded_rectangle((s(160) - half, s(218), s(160) + half, s(221)), radius=s(1.5),
                                     fill=TEAL + (255,))
            img = Image.alpha_composite(img, layer)
        finish(img, w, h, os.path.join(ROOT, "launch", "launch_%d.png" % f), hidpi=False)


def empty_no_camera():
    w, h = 160, 128
    img = canvas(w, h)
    d = ImageDraw.Draw(img)
    # soft floor shadow
    d.ellipse((s(30), s(108), s(130), s(120)), fill=PALE + (255,))
    # camera body
    d.rounded_rectangle((s(34), s(30), s(126), s(84)), radius=s(14), fill=WHITE + (255,),
                        outline=(200, 200, 200, 255), width=s(3))
    # lens
    d.ellipse((s(62), s(39), s(98), s(75)), fill=PALE + (255,), outline=(180, 180, 180, 255),
              width=s(3))
    d.ellipse((s(72), s(49), s(88), s(65)), fill=(190, 190, 190, 255))
    # status light, off
    d.ellipse((s(108), s(40), s(114), s(46)), fill=(210, 210, 210, 255))
    # stand
    d.rounded_rectangle((s(74), s(84), s(86), s(100)), radius=s(3), fill=(210, 210, 210, 255))
    d.rounded_rectangle((s(58), s(98), s(102), s(106)), radius=s(4), fill=(210, 210, 210, 255))
    # unplugged cable with a gap
    d.line((s(126), s(70), s(140), s(70), s(140), s(86)), fill=(200, 200, 200, 255), width=s(3),
           joint="curve")
    d.line((s(140), s(96), s(140), s(112)), fill=(200, 200, 200, 255), width=s(3))
    d.rectangle((s(136), s(90), s(144), s(96)), fill=TEAL + (255,))
    finish(img, w, h, os.path.join(ROOT, "empty_noCamera.png"))


def grid_icon(name, active):
    """Toggle for the framing guide over the preview: outline when off, filled when on."""
    w = h = 32
    img = canvas(w, h)
    d = ImageDraw.Draw(img)
    col = (TEAL if active else GRAY) + (255,)
    box = (s(4), s(7), s(28), s(25))
    if active:
        d.rounded_rectangle(box, radius=s(3), fill=col)
        line = WHITE + (255,)
    else:
        d.rounded_rectangle(box, radius=s(3), outline=col, width=s(2))
        line = col
    for x in (12, 20):
        d.line((s(x), s(9), s(x), s(23)), fill=line, width=round(s(1.5)))
    for y in (13, 19):
        d.line((s(6), s(y), s(26), s(y)), fill=line, width=round(s(1.5)))
    finish(img, w, h, os.path.join(ROOT, name + ".png"))


def icon_more():
    w = h = 32
    img = canvas(w, h)
    d = ImageDraw.Draw(img)
    for cx in (9, 16, 23):
        d.ellipse((s(cx - 2), s(14), s(cx + 2), s(18)), fill=GRAY + (255,))
    finish(img, w, h, os.path.join(ROOT, "icon_more.png"))


def icon_back():
    w = h = 32
    img = canvas(w, h)
    d = ImageDraw.Draw(img)
    d.line((s(19), s(8), s(11), s(16), s(19), s(24)), fill=GRAY + (255,), width=round(s(2.5)),
           joint="curve")
    for x, y in ((19, 8), (11, 16), (19, 24)):
        d.ellipse((s(x - 1.25), s(y - 1.25), s(x + 1.25), s(y + 1.25)), fill=GRAY + (255,))
    finish(img, w, h, os.path.join(ROOT, "icon_back.png"))


def icon_close():
    w = h = 32
    img = canvas(w, h)
    d = ImageDraw.Draw(img)
    col = (153, 153, 153, 255)
    d.line((s(10), s(10), s(22), s(22)), fill=col, width=s(2))
    d.line((s(22), s(10), s(10), s(22)), fill=col, width=s(2))
    for x, y in ((10, 10), (22, 22), (22, 10), (10, 22)):
        d.ellipse((s(x - 1), s(y - 1), s(x + 1), s(y + 1)), fill=col)
    finish(img, w, h, os.path.join(ROOT, "icon_close.png"))


def draw_app_icon(size):
    """The program's icon at size x size, drawn supersampled: a rounded square with the lens ring."""
    w = h = size
    img = canvas(w, h)
    unit = size / 256.0
    pad = s(16 * unit)
    img = Image.alpha_composite(img, gradient_disc(img.size, (pad, pad, s(w) - pad, s(h) - pad),
                                                   s(56 * unit), TEAL, BLUE))
    d = ImageDraw.Draw(img)
    cx, cy, r = s(w) / 2, s(h) / 2, s(66 * unit)
    width = round(r * 0.24)
    d.ellipse((cx - r, cy - r, cx + r, cy + r), outline=WHITE + (255,), width=width)
    dr = r * 0.38
    d.ellipse((cx - dr, cy - dr, cx + dr, cy + dr), fill=WHITE + (255,))
    return img


def app_icon():
    for size in (256, 64, 32):
        name = "app_icon.png" if size == 256 else "app_icon_%d.png" % size
        finish(draw_app_icon(size), size, size, os.path.join(ROOT, name), hidpi=False)


def logo_small():
    """The mark alone, for the header of the root screen."""
    w = h = 28
    img = canvas(w, h)
    draw_mark(img, s(14), s(14), s(11))
    finish(img, w, h, os.path.join(ROOT, "logo_small.png"))


def upgrade_frames():
    """The installation overlay's spinner: a teal arc turning once over 14 frames around the
    lens dot, drawn to sit on the dark overlay."""
    w = h = 64
    for f in range(14):
        img = canvas(w, h)
        d = ImageDraw.Draw(img)
        cx = cy = s(32)
        r = s(26)
        width = s(5)
        box = (cx - r, cy - r, cx + r, cy + r)
        d.ellipse(box, outline=WHITE + (60,), width=width)
        start = -90 + 360.0 * f / 14
        d.arc(box, start, start + 100, fill=TEAL + (255,), width=width)
        for ang in (start, start + 100):
            a = math.radians(ang)
            rr = r - width / 2
            px, py = cx + rr * math.cos(a), cy + rr * math.sin(a)
            d.ellipse((px - width / 2, py - width / 2, px + width / 2, py + width / 2),
                      fill=TEAL + (255,))
        dr = s(9)
        d.ellipse((cx - dr, cy - dr, cx + dr, cy + dr), fill=BLUE + (255,))
        hr = dr * 0.32
        hx, hy = cx - dr * 0.35, cy - dr * 0.35
        d.ellipse((hx - hr, hy - hr, hx + hr, hy + hr), fill=WHITE + (255,))
        finish(img, w, h, os.path.join(ROOT, "upgrade_%d.png" % f))


def write_qrc():
    """Lists every picture for the Qt resource compiler."""
    names = []
    for folder, _, files in os.walk(ROOT):
        for f in files:
            if f.endswith(".png"):
                names.append(os.path.relpath(os.path.join(folder, f), ROOT))
    key = lambda n: [(0, int(p), "") if p.isdigit() else (1, 0, p) for p in n.replace(".", "_").split("_")]
    lines = ['<!DOCTYPE RCC>', '<RCC version="1.0">', '<qresource prefix="/assets">']
    lines += ['  <file>%s</file>' % n for n in sorted(names, key=key)]
    lines += ['</qresource>', '</RCC>', '']
    with open(os.path.join(ROOT, "assets.qrc"), "w") as out:
        out.write("\n".join(lines))


def main():
    launch_frames()
    empty_no_camera()
    grid_icon("control_open", active=False)
    grid_icon("control_close", active=True)
    icon_more()
    icon_back()
    icon_close()
    app_icon()
    logo_small()
    upgrade_frames()
    write_qrc()
    return 0


if __name__ == "__main__":
    sys.exit(main())
