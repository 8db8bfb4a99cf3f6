#!/usr/bin/env python3
"""Draws the window's icons and band pictures as PNG files in icons/ (no dependencies beyond
the standard library). Run from this folder; the PNGs are committed and compiled in with the Qt
resource system.

  app.png (128)       the application icon: an equalizer curve over band sliders
  convert.png (138)   "Convert File": a waveform and an arrow
  cancel.png (139)    Cancel: a red cross
  ok.png (140)        OK: a green tick
  bell.png (132)      a bell (peaking) response
  highpass.png (133)  a high-pass response
  lowpass.png (134)   a low-pass response
  lowshelf.png        a low-shelf response
  highshelf.png       a high-shelf response
  notch.png           a notch response
"""
import math
import struct
import zlib


def png(path, width, height, pixels):
    rows = b"".join(b"\0" + bytes(sum((list(p) for p in pixels[y * width:(y + 1) * width]), []))
                    for y in range(height))
    def chunk(tag, data):
        return struct.pack(">I", len(data)) + tag + data + struct.pack(">I", zlib.crc32(tag + data))
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(rows, 9)))
        f.write(chunk(b"IEND", b""))


class Canvas:
    def __init__(self, w, h, background=(0, 0, 0, 0)):
        """A w x h picture in logical pixels, stored at SCALE device pixels per logical one."""
        self.s = SCALE
        self.w, self.h = w * self.s, h * self.s
        self.px = [background] * (self.w * self.h)

    def blend(self, x, y, color, alpha):
        if not (0 <= x < self.w and 0 <= y < self.h) or alpha <= 0:
            return
        alpha = min(alpha, 1.0) * color[3] / 255
        r, g, b, a = self.px[y * self.w + x]
        out_a = alpha + a / 255 * (1 - alpha)
        if out_a <= 0:
            return
        mix = lambda c, d: int(round((c * alpha + d * a / 255 * (1 - alpha)) / out_a))
        self.px[y * self.w + x] = (mix(color[0], r), mix(color[1], g), mix(color[2], b), int(round(out_a * 255)))

    def shape(self, inside, color):
        """Fills where inside(x, y) gives a signed distance below 0, anti-aliased."""
        for y in range(self.h):
            for x in range(self.w):
                d = inside((x + 0.5) / self.s, (y + 0.5) / self.s) * self.s
                self.blend(x, y, color, 0.5 - d)

    def polyline(self, points, width, color):
        def dist(x, y):
            best = 1e9
            for (x0, y0), (x1, y1) in zip(points, points[1:]):
                dx, dy = x1 - x0, y1 - y0
                t = max(0, min(1, ((x - x0) * dx + (y - y0) * dy) / (dx * dx + dy * dy or 1)))
                best = min(best, math.hypot(x - x0 - t * dx, y - y0 - t * dy))
            return best - width / 2
        self.shape(dist, color)

    def rounded_rect(self, x0, y0, x1, y1, r, color):
        def dist(x, y):
            qx = max(abs(x - (x0 + x1) / 2) - ((x1 - x0) / 2 - r), 0)
            qy = max(abs(y - (y0 + y1) / 2) - ((y1 - y0) / 2 - r), 0)
            return math.hypot(qx, qy) - r
        self.shape(dist, color)

    def save(self, path):
        png(path, self.w, self.h, self.px)


def curve(fn, x0, x1, steps=60):
    return [(x0 + (x1 - x0) * i / steps, fn(i / steps)) for i in range(steps + 1)]


SCALE = 1  # device pixels per logical pixel of the pictures being drawn
WHITE = (255, 255, 255, 255)
INK = (30, 40, 60, 255)


def draw_all(suffix):
    # The application icon, 64 x 64.
    app = Canvas(64, 64)
    app.rounded_rect(2, 2, 62, 62, 12, (24, 52, 96, 255))
    for i, level in enumerate([0.55, 0.35, 0.5, 0.25, 0.45]):
        x = 13 + i * 9.5
        app.polyline([(x, 52), (x, 14)], 2, (90, 130, 190, 255))
        app.rounded_rect(x - 4, 14 + level * 38 - 2.5, x + 4, 14 + level * 38 + 2.5, 1.5, (200, 215, 235, 255))
    app.polyline(curve(lambda t: 40 - 22 * math.exp(-((t - 0.55) / 0.16) ** 2) + 10 * (1 - t) ** 6, 8, 56), 3.2,
                 (255, 214, 90, 255))
    app.save("icons/app" + suffix + ".png")

    # Button glyphs, 16 x 16.
    convert = Canvas(16, 16)
    convert.polyline(curve(lambda t: 8 - 4 * math.sin(t * 4 * math.pi) * (1 - t * 0.5), 1, 9, 40), 1.4, (40, 90, 170, 255))
    convert.polyline([(9, 8), (15, 8)], 1.6, (30, 140, 60, 255))
    convert.polyline([(12, 5), (15, 8), (12, 11)], 1.6, (30, 140, 60, 255))
    convert.save("icons/convert" + suffix + ".png")

    cancel = Canvas(16, 16)
    cancel.polyline([(3.5, 3.5), (12.5, 12.5)], 2.4, (200, 40, 40, 255))
    cancel.polyline([(12.5, 3.5), (3.5, 12.5)], 2.4, (200, 40, 40, 255))
    cancel.save("icons/cancel" + suffix + ".png")

    ok = Canvas(16, 16)
    ok.polyline([(2.5, 8.5), (6.5, 12.5), (13.5, 3.5)], 2.4, (30, 150, 60, 255))
    ok.save("icons/ok" + suffix + ".png")

    # Band pictures, 42 x 12 (28 x 8 dialog units), dark ink on transparent.
    def picture(fn, name):
        c = Canvas(42, 12)
        c.polyline(curve(fn, 1, 41), 1.5, INK)
        c.save("icons/" + name.replace(".png", suffix + ".png"))

    picture(lambda t: 9 - 7 * math.exp(-((t - 0.5) / 0.13) ** 2), "bell.png")
    picture(lambda t: 3 + 8 / (1 + (t / 0.35) ** 6), "highpass.png")
    picture(lambda t: 3 + 8 / (1 + ((1 - t) / 0.35) ** 6), "lowpass.png")
    picture(lambda t: 8 - 5 / (1 + (t / 0.4) ** 4), "lowshelf.png")
    picture(lambda t: 8 - 5 / (1 + ((1 - t) / 0.4) ** 4), "highshelf.png")
    picture(lambda t: 3 + 8 * math.exp(-((t - 0.5) / 0.035) ** 2), "notch.png")


# Each picture at 1x and, for screens of device-pixel ratio 2, at 2x ("@2x", which Qt picks).
if __name__ == "__main__":
    for SCALE, suffix in ((1, ""), (2, "@2x")):
        draw_all(suffix)
