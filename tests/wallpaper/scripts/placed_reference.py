#!/usr/bin/env python3
# The screen a scaled wallpaper placement should give, computed apart from Vorlane's own scaler: Pillow
# resizes the picture (Lanczos, antialiased when shrinking) and pastes it where the placement puts it.
#   placed_reference.py PICTURE WIDTH HEIGHT fill|fit|stretch|span MONITORS OUT
# MONITORS is "x,y,w,h;x,y,w,h..." (empty: the whole screen); OUT receives WIDTH*HEIGHT RGB triples.
import sys

from PIL import Image


def rounded(value):
    return int(value + 0.5)  # half away from zero, as the program rounds


def place(placement, width, height, area):
    ax, ay, aw, ah = area
    w, h = aw, ah
    if placement != "stretch":
        across, down = aw / width, ah / height
        cover = placement in ("fill", "span")
        if (across > down) == cover:
            h = max(1, rounded(height * across))
        else:
            w = max(1, rounded(width * down))
    # Integer halves of the difference, truncated towards zero.
    return ax + int((aw - w) / 2), ay + int((ah - h) / 2), w, h


def main():
    picture, width, height, placement, monitors, out = sys.argv[1:]
    width, height = int(width), int(height)
    source = Image.open(picture).convert("RGB")
    areas = [tuple(int(v) for v in m.split(",")) for m in monitors.split(";") if m] or [(0, 0, width, height)]
    if placement == "span":
        left = min(a[0] for a in areas)
        top = min(a[1] for a in areas)
        right = max(a[0] + a[2] for a in areas)
        bottom = max(a[1] + a[3] for a in areas)
        areas = [(left, top, right - left, bottom - top)]
    screen = Image.new("RGB", (width, height), (0, 0, 0))
    for area in areas:
        x, y, w, h = place(placement, source.width, source.height, area)
        scaled = source.resize((w, h), Image.LANCZOS)
        x0, y0 = max(0, area[0], x), max(0, area[1], y)
        x1 = min(width, area[0] + area[2], x + w)
        y1 = min(height, area[1] + area[3], y + h)
        if x0 < x1 and y0 < y1:
            screen.paste(scaled.crop((x0 - x, y0 - y, x1 - x, y1 - y)), (x0, y0))
    with open(out, "wb") as f:
        f.write(screen.tobytes())


main()
