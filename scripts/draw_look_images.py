#!/usr/bin/env python3
"""Draws the small glyphs that the looks need: the tick of a ticked check box
or menu item (MARK_*) and the arrow of a drop-down list (ARROW_*), each light
(for dark or coloured grounds), dark (for pale grounds) and grey (disabled).

Qt style sheets can colour an indicator but cannot draw a tick or an arrow
into it; an image is the only way, and Qt reads PNG without any plug-in. The
glyphs are drawn at twice the indicator size, anti-aliased, so they stay sharp
on high-density screens. Python's standard library only.

Usage: draw_look_images.py --out DIR
"""

import argparse
import math
import pathlib
import struct
import sys
import zlib

SIZE = 26  # pixels: twice the 13-pixel indicators
SUBSAMPLES = 4  # per axis, for the edge coverage
# Each glyph is a polyline in a unit square with its stroke width.
GLYPHS = {
    "MARK": ([(0.22, 0.53), (0.42, 0.73), (0.79, 0.29)], 0.15),
    "ARROW": ([(0.26, 0.38), (0.5, 0.63), (0.74, 0.38)], 0.13),
}
COLOURS = {
    "LIGHT": (0xFF, 0xFF, 0xFF),
    "DARK": (0x10, 0x12, 0x14),
    "GREY": (0x8E, 0x95, 0x9D),
}


def distance_to_segment(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)))
    return math.hypot(px - (ax + t * dx), py - (ay + t * dy))


def coverage(x, y, line, stroke):
    """Share of pixel (x, y) that the stroke covers, 0 to 1."""
    inside = 0
    for sy in range(SUBSAMPLES):
        for sx in range(SUBSAMPLES):
            px = (x + (sx + 0.5) / SUBSAMPLES) / SIZE
            py = (y + (sy + 0.5) / SUBSAMPLES) / SIZE
            if any(
                distance_to_segment(px, py, *a, *b) <= stroke / 2 for a, b in zip(line, line[1:])
            ):
                inside += 1
    return inside / (SUBSAMPLES * SUBSAMPLES)


def png(rgb, alpha_rows):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    raw = b"".join(
        b"\x00" + b"".join(bytes(rgb) + bytes([a]) for a in row) for row in alpha_rows
    )
    header = struct.pack(">IIBBBBB", SIZE, SIZE, 8, 6, 0, 0, 0)  # 8-bit RGBA
    return (
        b"\x89PNG\r\n\x1a\n"
        + chunk(b"IHDR", header)
        + chunk(b"IDAT", zlib.compress(raw, 9))
        + chunk(b"IEND", b"")
    )


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--out", type=pathlib.Path, required=True)
    args = parser.parse_args()
    args.out.mkdir(parents=True, exist_ok=True)
    for glyph, (line, stroke) in GLYPHS.items():
        alpha = [[round(255 * coverage(x, y, line, stroke)) for x in range(SIZE)] for y in range(SIZE)]
        for colour, rgb in COLOURS.items():
            content = png(rgb, alpha)
            path = args.out / f"{glyph}_{colour}.PNG"
            # Leave an identical file alone so the build does not redo the resources.
            if not path.is_file() or path.read_bytes() != content:
                path.write_bytes(content)
    return 0


if __name__ == "__main__":
    sys.exit(main())
