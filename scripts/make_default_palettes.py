#!/usr/bin/env python3
"""Writes the placeholder default palettes of data/Data (768 bytes each, red, green, blue per entry)
for the games with no free palette to ship. The others are real and taken as they are: Doom's is
Freedoom's PLAYPAL, Quake's and Quake II's come from TrenchBroom's resources (data/Data/SOURCES.md).

Each palette is our own: a grey ramp, then 15 colour ramps of 16 shades, dark to light, with its
own hues, saturation and contrast, so the five are told apart at a glance. Entry 0 is black.
Run from the repository root; the files are committed, this only regenerates them.
"""
import colorsys
import pathlib
import sys

# name, hue of the first colour ramp (degrees), saturation, gamma of the shade ramp
GAMES = [
    ("default_dark_forces.pal", 0.0, 0.85, 1.00),
    ("default_jk_bm.pal", 12.0, 0.70, 0.90),
    ("default_jk_mat.pal", 24.0, 0.60, 1.15),
    ("default_duke3d.pal", 60.0, 0.65, 1.05),
]


def palette(first_hue, saturation, gamma):
    out = bytearray()
    for ramp in range(16):
        for shade in range(16):
            value = (shade / 15.0) ** gamma
            if ramp == 0:
                r = g = b = value
            else:
                hue = ((first_hue + (ramp - 1) * 24.0) % 360.0) / 360.0
                r, g, b = colorsys.hsv_to_rgb(hue, saturation, 0.08 + 0.92 * value)
            out += bytes(min(255, int(round(c * 255))) for c in (r, g, b))
    out[0:3] = b"\0\0\0"
    return bytes(out)


def main():
    folder = pathlib.Path("data/Data")
    folder.mkdir(parents=True, exist_ok=True)
    only = set(sys.argv[1:])  # names to write, all by default
    for name, hue, sat, gamma in GAMES:
        if only and name not in only:
            continue
        data = palette(hue, sat, gamma)
        assert len(data) == 768
        (folder / name).write_bytes(data)


if __name__ == "__main__":
    main()
