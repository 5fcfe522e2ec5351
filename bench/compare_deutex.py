#!/usr/bin/env python3
"""Compares the pictures `vexa-cli extract WAD OUT --convert` wrote with those DeuTex wrote of the same
WAD (`deutex -png -doom2 DIR -extract`): for every lump both turned into a PNG (sprites, patches,
graphics, flats), the same size, the same colour at every opaque pixel, the same see-through pixels
and the same offsets. Prints how many match, and each one that does not.

    python3 bench/compare_deutex.py VEXA_OUT DEUTEX_OUT
"""
import os
import struct
import sys
import zlib


def read_png(path):
    """(width, height, rgba rows as bytes, grAb offsets or None)."""
    data = open(path, "rb").read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n", path
    at, chunks, idat = 8, {}, b""
    while at < len(data):
        length, kind = struct.unpack(">I4s", data[at : at + 8])
        body = data[at + 8 : at + 8 + length]
        if kind == b"IDAT":
            idat += body
        else:
            chunks[kind] = body
        at += 12 + length
    width, height, depth, colour = struct.unpack(">IIBB", chunks[b"IHDR"][:10])
    assert depth == 8, (path, depth)
    channels = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}[colour]
    stride = width * channels
    raw = zlib.decompress(idat)
    rows, previous, at = [], bytearray(stride), 0
    for _ in range(height):
        kind = raw[at]
        line = bytearray(raw[at + 1 : at + 1 + stride])
        at += 1 + stride
        for i in range(stride):
            left = line[i - channels] if i >= channels else 0
            up = previous[i]
            corner = previous[i - channels] if i >= channels else 0
            if kind == 1:
                line[i] = (line[i] + left) & 255
            elif kind == 2:
                line[i] = (line[i] + up) & 255
            elif kind == 3:
                line[i] = (line[i] + (left + up) // 2) & 255
            elif kind == 4:
                p = left + up - corner
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - corner)
                line[i] = (line[i] + (left if pa <= pb and pa <= pc else up if pb <= pc else corner)) & 255
        rows.append(bytes(line))
        previous = line
    palette = chunks.get(b"PLTE", b"")
    alphas = chunks.get(b"tRNS", b"")
    rgba = bytearray()
    for line in rows:
        for x in range(width):
            if colour == 3:
                index = line[x]
                r, g, b = palette[3 * index : 3 * index + 3]
                a = alphas[index] if index < len(alphas) else 255
            elif colour == 2:
                r, g, b = line[3 * x : 3 * x + 3]
                a = 255
            elif colour == 6:
                r, g, b, a = line[4 * x : 4 * x + 4]
            else:
                r = g = b = line[channels * x]
                a = line[channels * x + 1] if colour == 4 else 255
            rgba += bytes((r, g, b, a))
    grab = struct.unpack(">ii", chunks[b"grAb"]) if b"grAb" in chunks else None
    return width, height, bytes(rgba), grab


def pngs(folder):
    """Lower-case file name -> path, for the PNGs right below folder and its first-level folders."""
    found = {}
    for root, _, files in os.walk(folder):
        for name in files:
            if name.lower().endswith(".png"):
                found.setdefault(name.lower(), os.path.join(root, name))
    return found


def same_pixels(a, b):
    wa, ha, pa, _ = a
    wb, hb, pb, _ = b
    if (wa, ha) != (wb, hb):
        return f"size {wa} x {ha} against {wb} x {hb}"
    for i in range(0, len(pa), 4):
        opaque_a, opaque_b = pa[i + 3] >= 128, pb[i + 3] >= 128
        if opaque_a != opaque_b or (opaque_a and pa[i : i + 3] != pb[i : i + 3]):
            p = i // 4
            return f"pixel ({p % wa}, {p // wa}): {pa[i:i + 4].hex()} against {pb[i:i + 4].hex()}"
    return None


def main():
    ours, theirs = pngs(sys.argv[1]), pngs(sys.argv[2])
    # DeuTex writes the flats and the WAD's graphics under their lump names, as VEXA does; a texture
    # list it writes as text, so the composed textures have nothing to be compared with.
    both = sorted(set(ours) & set(theirs))
    differing, offsets, unwritten = [], [], 0
    for name in both:
        a, b = read_png(ours[name]), read_png(theirs[name])
        problem = same_pixels(a, b)
        if problem:
            differing.append((name, problem))
        elif (a[3] or (0, 0)) != (b[3] or (0, 0)):
            # DeuTex writes no grAb chunk for the graphics outside sprites and patches.
            if b[3] is None:
                unwritten += 1
            else:
                offsets.append((name, f"offsets {a[3]} against {b[3]}"))
    print(f"{len(both)} pictures both wrote: {len(both) - len(differing)} with the same pixels, "
          f"{len(differing)} not")
    print(f"offsets: {len(both) - len(differing) - len(offsets) - unwritten} the same, {unwritten} that DeuTex "
          f"leaves out (no grAb), {len(offsets)} different")
    print(f"{len(set(ours) - set(theirs))} only VEXA wrote (composed textures, palettes, colour maps...), "
          f"{len(set(theirs) - set(ours))} only DeuTex wrote")
    for name, problem in (differing + offsets)[:20]:
        print(f"  {name}: {problem}")
    return 1 if differing or offsets else 0


if __name__ == "__main__":
    sys.exit(main())
