#!/usr/bin/env python3
"""Draws the application icon for the desktop (no dependencies beyond the standard library):
tonvale.png at the hicolor icon theme's sizes, 16 to 256 pixels, and tonvale.svg, in icons/.
Run from this folder; the files are committed and installed into share/icons/hicolor.

The design is the window's icon, ../icons/app.png (drawn by ../make-icons.py): an equalizer
curve over five band sliders on a rounded square, on a 64 x 64 grid. At 64 pixels the PNG is
that file byte for byte. Below 32 pixels the sliders would blur into the square, so only the
square and a bolder curve are drawn.
"""
import importlib.util
import math
import os

SQUARE = (24, 52, 96, 255)
SLIDER = (90, 130, 190, 255)
KNOB = (200, 215, 235, 255)
CURVE = (255, 214, 90, 255)
LEVELS = [0.55, 0.35, 0.5, 0.25, 0.45]
SIZES = (16, 22, 24, 32, 48, 64, 128, 256)


# The PNG writer and the anti-aliased canvas of the window's icons.
_spec = importlib.util.spec_from_file_location(
    "make_icons", os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "make-icons.py"))
_icons = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(_icons)
png, Canvas = _icons.png, _icons.Canvas


def curve_points():
    fn = lambda t: 40 - 22 * math.exp(-((t - 0.55) / 0.16) ** 2) + 10 * (1 - t) ** 6
    return [(8 + 48 * i / 60, fn(i / 60)) for i in range(61)]


def slider_x(i):
    return 13 + i * 9.5


def draw_png(size, path):
    k = size / 64  # pixels per grid unit
    c = Canvas(size, size)
    c.rounded_rect(2 * k, 2 * k, 62 * k, 62 * k, 12 * k, SQUARE)
    if size >= 32:
        for i, level in enumerate(LEVELS):
            x = slider_x(i)
            c.polyline([(x * k, 52 * k), (x * k, 14 * k)], 2 * k, SLIDER)
            c.rounded_rect((x - 4) * k, (14 + level * 38 - 2.5) * k, (x + 4) * k,
                           (14 + level * 38 + 2.5) * k, 1.5 * k, KNOB)
    c.polyline([(x * k, y * k) for x, y in curve_points()], max(3.2 * k, 1.6), CURVE)
    png(path, size, size, c.px)


def draw_svg(path):
    rgb = lambda color: "#%02x%02x%02x" % color[:3]
    lines = ['<svg xmlns="http://www.w3.org/2000/svg" width="64" height="64" viewBox="0 0 64 64">',
             '  <rect x="2" y="2" width="60" height="60" rx="12" fill="%s"/>' % rgb(SQUARE)]
    for i, level in enumerate(LEVELS):
        x = slider_x(i)
        lines.append('  <line x1="%g" y1="52" x2="%g" y2="14" stroke="%s" stroke-width="2" '
                     'stroke-linecap="round"/>' % (x, x, rgb(SLIDER)))
        lines.append('  <rect x="%g" y="%g" width="8" height="5" rx="1.5" fill="%s"/>'
                     % (x - 4, round(14 + level * 38 - 2.5, 3), rgb(KNOB)))
    points = " ".join("%.2f,%.2f" % p for p in curve_points())
    lines.append('  <polyline points="%s" fill="none" stroke="%s" stroke-width="3.2" '
                 'stroke-linecap="round" stroke-linejoin="round"/>' % (points, rgb(CURVE)))
    lines.append("</svg>")
    with open(path, "w") as f:
        f.write("\n".join(lines) + "\n")


for size in SIZES:
    folder = "icons/%dx%d/apps" % (size, size)
    os.makedirs(folder, exist_ok=True)
    draw_png(size, folder + "/tonvale.png")
os.makedirs("icons/scalable/apps", exist_ok=True)
draw_svg("icons/scalable/apps/tonvale.svg")
