#!/usr/bin/python3
"""Import quality against pngquant: PSNR of each picture reduced to 256 colours.

  bench/import_quality.py make DIR                 writes the real-looking pictures (gradients, a
                                                   photo-like landscape, many colours, 309 and 603
                                                   colours) into DIR
  bench/import_quality.py run CLI [--before CLI0] [--speeds 10,3,4] PICTURE...

For each picture and speed, pngquant --speed S --nofs (no dithering, as VEXA's default) and
`vexa-cli import wad3 --speed S` (CLI0: an older vexa-cli without --speed, run as it is) reduce
it; the table gives the PSNR over red, green and blue against the picture, and the number of
palette entries used. VEXA's texture is read back from the WAD3 by a parse of its own. Needs
pngquant and python3-pil (Debian's packages; hence /usr/bin/python3).
"""
import math
import os
import random
import struct
import subprocess
import sys
import tempfile

from PIL import Image


def psnr(a, b):
    total = 0
    for x, y in zip(a, b):
        total += (x - y) * (x - y)
    mse = total / len(a)
    return float("inf") if mse == 0 else 10 * math.log10(255 * 255 / mse)


def rgb_bytes(path):
    return Image.open(path).convert("RGB").tobytes()


def wad3_first_texture(path):
    """Level 0 of the first mip texture of a WAD3 as RGB bytes, and the entries it uses."""
    data = open(path, "rb").read()
    if data[:4] != b"WAD3":
        raise ValueError(path + ": not a WAD3")
    count, directory = struct.unpack_from("<II", data, 4)
    offset = struct.unpack_from("<I", data, directory)[0]
    width, height = struct.unpack_from("<II", data, offset + 16)
    level0, level1, level2, level3 = struct.unpack_from("<IIII", data, offset + 24)
    indices = data[offset + level0 : offset + level0 + width * height]
    tail = offset + level3 + (width >> 3) * (height >> 3)
    palette = data[tail + 2 : tail + 2 + 768]
    out = bytearray()
    for i in indices:
        out += palette[3 * i : 3 * i + 3]
    return bytes(out), len(set(indices))


def pngquant(picture, speed, work):
    out = os.path.join(work, "pq.png")
    subprocess.run(["pngquant", "--speed", str(speed), "--nofs", "--force", "--output", out, "256", picture],
                   check=True)
    image = Image.open(out)
    used = len(set(image.tobytes())) if image.mode == "P" else len(set(image.convert("RGB").getdata()))
    return rgb_bytes(out), used


def vexa(cli, picture, speed, work):
    out = os.path.join(work, "v.wad")
    command = [cli, "import", "wad3", out, picture]
    if speed is not None:
        command += ["--speed", str(speed)]
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL)
    return wad3_first_texture(out)


def make(folder):
    os.makedirs(folder, exist_ok=True)
    side = 256
    rnd = random.Random(28)
    # Smooth gradients in two directions: what banding shows on.
    image = Image.new("RGB", (side, side))
    image.putdata([(x, (x + y) // 2, 255 - y) for y in range(side) for x in range(side)])
    image.save(os.path.join(folder, "gradient.png"))
    # A landscape as a photo has it: sky, hills, light, film grain.
    pixels = []
    for y in range(side):
        for x in range(side):
            hill = 150 + 30 * math.sin(x / 23.0) + 12 * math.sin(x / 7.0 + 1)
            grain = rnd.randint(-6, 6)
            if y < hill:
                t = y / hill
                c = (int(90 + 120 * t), int(140 + 90 * t), int(230 - 20 * t))
            else:
                shade = (y - hill) / (side - hill)
                c = (int(60 + 60 * shade + 20 * math.sin(x / 5.0)), int(110 - 40 * shade), int(40 + 10 * shade))
            pixels.append(tuple(max(0, min(255, v + grain)) for v in c))
    image.putdata(pixels)
    image.save(os.path.join(folder, "photo.png"))
    # Every pixel its own colour.
    image.putdata([(rnd.randrange(256), rnd.randrange(256), rnd.randrange(256)) for _ in range(side * side)])
    image.save(os.path.join(folder, "noise.png"))
    # Exactly n colours in blocks of 8 x 8, spread over the cube.
    for n in (309, 603):
        colours = [(rnd.randrange(256), rnd.randrange(256), rnd.randrange(256)) for _ in range(n)]
        image.putdata([colours[((y // 8) * (side // 8) + x // 8) % n] for y in range(side) for x in range(side)])
        image.save(os.path.join(folder, "colours%d.png" % n))


def run(args):
    cli = args.pop(0)
    before = None
    speeds = [10, 3, 4]
    while args and args[0].startswith("--"):
        flag = args.pop(0)
        if flag == "--before":
            before = args.pop(0)
        elif flag == "--speeds":
            speeds = [int(s) for s in args.pop(0).split(",")]
    header = "| picture | colours |"
    rule = "|---|---|"
    if before:
        header += " before (speed 10) |"
        rule += "---|"
    for s in speeds:
        header += " pngquant %d | VEXA %d | Δ |" % (s, s)
        rule += "---|---|---|"
    print(header)
    print(rule)
    worst = {s: float("inf") for s in speeds}
    with tempfile.TemporaryDirectory() as work:
        for picture in args:
            original = rgb_bytes(picture)
            colours = len(set(zip(original[0::3], original[1::3], original[2::3])))
            line = "| %s | %d |" % (os.path.basename(picture), colours)
            if before:
                got, used = vexa(before, picture, None, work)
                line += " %.2f dB (%d) |" % (psnr(original, got), used)
            for s in speeds:
                pq, pq_used = pngquant(picture, s, work)
                got, used = vexa(cli, picture, s, work)
                a, b = psnr(original, pq), psnr(original, got)
                delta = 0.0 if a == b else b - a  # both exact: inf - inf
                worst[s] = min(worst[s], delta)
                line += " %.2f dB (%d) | %.2f dB (%d) | %+.2f |" % (a, pq_used, b, used, delta)
            print(line, flush=True)
    print()
    for s in speeds:
        print("speed %d: VEXA's worst against pngquant %+.2f dB" % (s, worst[s]))


def main():
    if len(sys.argv) >= 3 and sys.argv[1] == "make":
        make(sys.argv[2])
    elif len(sys.argv) >= 4 and sys.argv[1] == "run":
        run(sys.argv[2:])
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main()
