#!/usr/bin/env python3
"""Draws the two program icons and writes res/Kestrova.ico and res/Desktop.ico.

Each .ico holds a 16x16 and a 32x32 image, 32-bit BGRA with an AND mask.
Standard library only; run from anywhere: python3 tools/make-icons.py
"""
import os
import struct

SS = 4  # supersampling per axis for smooth edges


def hex_rgb(s):
    s = s.lstrip("#")
    return tuple(int(s[i:i + 2], 16) / 255.0 for i in (0, 2, 4))


class Canvas:
    """Premultiplied RGBA floats, row 0 at the top."""

    def __init__(self, size):
        self.size = size
        self.px = [[(0.0, 0.0, 0.0, 0.0) for _ in range(size)] for _ in range(size)]

    def _blend(self, x, y, rgb, a):
        if a <= 0.0:
            return
        r, g, b, da = self.px[y][x]
        k = 1.0 - a
        self.px[y][x] = (rgb[0] * a + r * k, rgb[1] * a + g * k, rgb[2] * a + b * k, a + da * k)

    def round_rect(self, x0, y0, x1, y1, radius, color, color2=None):
        """Fills [x0,x1) x [y0,y1) with rounded corners; color2 gives a vertical gradient."""
        c1 = hex_rgb(color)
        c2 = hex_rgb(color2) if color2 else c1
        for py in range(max(0, int(y0)), min(self.size, int(y1 + 0.999))):
            t = 0.0 if y1 - y0 <= 1 else min(1.0, max(0.0, (py + 0.5 - y0) / (y1 - y0)))
            rgb = tuple(c1[i] + (c2[i] - c1[i]) * t for i in range(3))
            for px in range(max(0, int(x0)), min(self.size, int(x1 + 0.999))):
                hits = 0
                for sy in range(SS):
                    fy = py + (sy + 0.5) / SS
                    for sx in range(SS):
                        fx = px + (sx + 0.5) / SS
                        if inside_round_rect(fx, fy, x0, y0, x1, y1, radius):
                            hits += 1
                self._blend(px, py, rgb, hits / (SS * SS))

    def bgra_rows_bottom_up(self):
        rows = []
        for y in range(self.size - 1, -1, -1):
            row = bytearray()
            for x in range(self.size):
                r, g, b, a = self.px[y][x]
                if a > 0.0:
                    r, g, b = r / a, g / a, b / a
                row += bytes((to_byte(b), to_byte(g), to_byte(r), to_byte(a)))
            rows.append(bytes(row))
        return rows

    def alpha(self, x, y):
        return to_byte(self.px[y][x][3])


def to_byte(v):
    return max(0, min(255, int(round(v * 255.0))))


def inside_round_rect(fx, fy, x0, y0, x1, y1, r):
    if fx < x0 or fx >= x1 or fy < y0 or fy >= y1:
        return False
    cx = min(max(fx, x0 + r), x1 - r)
    cy = min(max(fy, y0 + r), y1 - r)
    return (fx - cx) ** 2 + (fy - cy) ** 2 <= r * r


def draw_app(size):
    """A dark screen with a strip of three thumbnails along its bottom edge."""
    c = Canvas(size)
    if size >= 32:
        c.round_rect(1, 1, 31, 31, 6, "#3A4D63", "#1B2532")
        tiles, y0, y1, bar = [(3, 11), (12, 20), (21, 29)], 20, 26, 2
    else:
        c.round_rect(0, 0, 16, 16, 3, "#3A4D63", "#1B2532")
        tiles, y0, y1, bar = [(1, 5), (6, 10), (11, 15)], 10, 14, 1
    for x0, x1 in tiles:
        c.round_rect(x0, y0, x1, y1, 0.6, "#F2F6FA", "#C9D5E2")
        c.round_rect(x0, y0, x1, y0 + bar, 0.6, "#4FA3E8")
    return c


def draw_desktop(size):
    """A monitor on its stand, showing a blue desktop."""
    c = Canvas(size)
    if size >= 32:
        c.round_rect(14, 23, 18, 28, 0, "#7D8793", "#5C6570")
        c.round_rect(8, 27, 24, 30, 1.2, "#8A94A0", "#5C6570")
        c.round_rect(2, 3, 30, 24, 2.5, "#6E7884", "#454D57")
        c.round_rect(4, 5, 28, 22, 0.8, "#6FB4F2", "#2F6DBF")
        c.round_rect(7, 8, 17, 15, 0.5, "#EEF4FA")
        c.round_rect(7, 8, 17, 10, 0.5, "#2B4F7A")
    else:
        c.round_rect(7, 11, 9, 14, 0, "#7D8793", "#5C6570")
        c.round_rect(4, 13, 12, 15, 0.6, "#8A94A0", "#5C6570")
        c.round_rect(0, 1, 16, 12, 1.5, "#6E7884", "#454D57")
        c.round_rect(1, 2, 15, 11, 0.4, "#6FB4F2", "#2F6DBF")
        c.round_rect(3, 4, 9, 8, 0.3, "#EEF4FA")
        c.round_rect(3, 4, 9, 5, 0.3, "#2B4F7A")
    return c


def dib(canvas):
    """BITMAPINFOHEADER, XOR pixels and AND mask of one icon image."""
    n = canvas.size
    xor = b"".join(canvas.bgra_rows_bottom_up())
    stride = ((n + 31) // 32) * 4
    mask = bytearray()
    for y in range(n - 1, -1, -1):
        row = bytearray(stride)
        for x in range(n):
            if canvas.alpha(x, y) < 128:
                row[x // 8] |= 0x80 >> (x % 8)
        mask += row
    header = struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    return header + xor + bytes(mask)


def ico(canvases):
    images = [dib(c) for c in canvases]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for c, data in zip(canvases, images):
        out += struct.pack("<BBBBHHII", c.size % 256, c.size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return out + b"".join(images)


def main():
    res = os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, "res")
    for name, draw in (("Kestrova.ico", draw_app), ("Desktop.ico", draw_desktop)):
        path = os.path.normpath(os.path.join(res, name))
        with open(path, "wb") as f:
            f.write(ico([draw(16), draw(32)]))
        print(path)


if __name__ == "__main__":
    main()
