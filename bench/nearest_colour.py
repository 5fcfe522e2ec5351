#!/usr/bin/python3
"""Which distance picks the nearest entry of a fixed game palette best?

  bench/nearest_colour.py PALETTE.lmp [--last N] [PICTURE...]

For sRGB, weighted sRGB ("redmean"), CIELAB (ΔE76), CIEDE2000 and Oklab, maps saturated colours and
the pictures' pixels (no dithering) onto entries 0..N of the 768-byte palette (N = 223: Quake's
fullbright colours left out, as import does) and reports how far the chosen colours lie from the
wanted ones: ΔE2000 (the closest there is to what a person sees) and PSNR. Needs python3-numpy and
python3-pil (Debian's packages; hence /usr/bin/python3).
"""
import sys

import numpy as np
from PIL import Image

SATURATED = [
    ("red", (255, 0, 0)), ("green", (0, 255, 0)), ("blue", (0, 0, 255)), ("cyan", (0, 255, 255)),
    ("magenta", (255, 0, 255)), ("yellow", (255, 255, 0)), ("orange", (255, 128, 0)),
    ("violet", (128, 0, 255)), ("pink", (255, 105, 180)), ("brown", (139, 69, 19)),
    ("sky", (135, 206, 235)), ("dark red", (128, 0, 0)), ("dark green", (0, 100, 0)),
    ("navy", (0, 0, 128)), ("lime", (128, 255, 0)), ("teal", (0, 128, 128)),
]


def linear(rgb):
    c = rgb / 255.0
    return np.where(c <= 0.04045, c / 12.92, ((c + 0.055) / 1.055) ** 2.4)


def lab(rgb):
    lin = linear(rgb)
    m = np.array([[0.4124564, 0.3575761, 0.1804375], [0.2126729, 0.7151522, 0.0721750],
                  [0.0193339, 0.1191920, 0.9503041]])
    xyz = lin @ m.T / np.array([0.95047, 1.0, 1.08883])
    f = np.where(xyz > (6 / 29) ** 3, np.cbrt(xyz), xyz / (3 * (6 / 29) ** 2) + 4 / 29)
    return np.stack([116 * f[..., 1] - 16, 500 * (f[..., 0] - f[..., 1]), 200 * (f[..., 1] - f[..., 2])], -1)


def oklab(rgb):
    lin = linear(rgb)
    m1 = np.array([[0.4122214708, 0.5363325363, 0.0514459929], [0.2119034982, 0.6806995451, 0.1073969566],
                   [0.0883024619, 0.2817188376, 0.6299787005]])
    m2 = np.array([[0.2104542553, 0.7936177850, -0.0040720468], [1.9779984951, -2.4285922050, 0.4505937099],
                   [0.0259040371, 0.7827717662, -0.8086757660]])
    return np.cbrt(lin @ m1.T) @ m2.T


def de2000(lab1, lab2):
    l1, a1, b1 = lab1[..., 0], lab1[..., 1], lab1[..., 2]
    l2, a2, b2 = lab2[..., 0], lab2[..., 1], lab2[..., 2]
    c1, c2 = np.hypot(a1, b1), np.hypot(a2, b2)
    cm = (c1 + c2) / 2
    g = 0.5 * (1 - np.sqrt(cm ** 7 / (cm ** 7 + 25.0 ** 7)))
    a1p, a2p = (1 + g) * a1, (1 + g) * a2
    c1p, c2p = np.hypot(a1p, b1), np.hypot(a2p, b2)
    h1p = np.degrees(np.arctan2(b1, a1p)) % 360
    h2p = np.degrees(np.arctan2(b2, a2p)) % 360
    dl, dc = l2 - l1, c2p - c1p
    dh = h2p - h1p
    dh = np.where(dh > 180, dh - 360, np.where(dh < -180, dh + 360, dh))
    dh = np.where(c1p * c2p == 0, 0, dh)
    dhh = 2 * np.sqrt(c1p * c2p) * np.sin(np.radians(dh / 2))
    lm, cmp_ = (l1 + l2) / 2, (c1p + c2p) / 2
    hs = h1p + h2p
    hm = np.where(c1p * c2p == 0, hs,
                  np.where(np.abs(h1p - h2p) <= 180, hs / 2, np.where(hs < 360, (hs + 360) / 2, (hs - 360) / 2)))
    t = (1 - 0.17 * np.cos(np.radians(hm - 30)) + 0.24 * np.cos(np.radians(2 * hm)) +
         0.32 * np.cos(np.radians(3 * hm + 6)) - 0.20 * np.cos(np.radians(4 * hm - 63)))
    sl = 1 + 0.015 * (lm - 50) ** 2 / np.sqrt(20 + (lm - 50) ** 2)
    sc, sh = 1 + 0.045 * cmp_, 1 + 0.015 * cmp_ * t
    rt = (-2 * np.sqrt(cmp_ ** 7 / (cmp_ ** 7 + 25.0 ** 7)) *
          np.sin(np.radians(60 * np.exp(-(((hm - 275) / 25) ** 2)))))
    return np.sqrt((dl / sl) ** 2 + (dc / sc) ** 2 + (dhh / sh) ** 2 + rt * (dc / sc) * (dhh / sh))


def redmean(c, p):
    rm = (c[:, None, 0] + p[None, :, 0]) / 2
    d = c[:, None, :] - p[None, :, :]
    return (2 + rm / 256) * d[..., 0] ** 2 + 4 * d[..., 1] ** 2 + (2 + (255 - rm) / 256) * d[..., 2] ** 2


def nearest(colours, palette):
    """For each metric, the index of the nearest entry of palette for each colour (N x 3, float)."""
    out = {}
    d = colours[:, None, :] - palette[None, :, :]
    out["sRGB"] = np.argmin((d ** 2).sum(-1), 1)
    out["redmean"] = np.argmin(redmean(colours, palette), 1)
    lc, lp = lab(colours), lab(palette)
    out["CIELAB ΔE76"] = np.argmin(((lc[:, None] - lp[None]) ** 2).sum(-1), 1)
    out["CIEDE2000"] = np.argmin(de2000(lc[:, None], lp[None]), 1)
    oc, op = oklab(colours), oklab(palette)
    out["Oklab"] = np.argmin(((oc[:, None] - op[None]) ** 2).sum(-1), 1)
    return out


def main():
    args = sys.argv[1:]
    if not args:
        sys.exit(__doc__)
    palette = np.frombuffer(open(args.pop(0), "rb").read(768), np.uint8).reshape(256, 3).astype(float)
    last = 223
    if args and args[0] == "--last":
        args.pop(0)
        last = int(args.pop(0))
    palette = palette[: last + 1]
    wanted = np.array([c for _, c in SATURATED], float)
    picks = nearest(wanted, palette)
    print("| colour (ΔE2000 / ΔE76 of the entry chosen) | " + " | ".join(picks) + " |")
    print("|---|" + "---|" * len(picks))
    for i, (name, c) in enumerate(SATURATED):
        cells = []
        for metric, idx in picks.items():
            got = palette[idx[i]]
            e = de2000(lab(wanted[i]), lab(got))
            e76 = np.linalg.norm(lab(wanted[i]) - lab(got))
            cells.append("(%d, %d, %d) %.1f / %.1f" % (*got.astype(int), e, e76))
        print("| %s %s | %s |" % (name, c, " | ".join(cells)))
    means = {m: np.mean(de2000(lab(wanted), lab(palette[idx]))) for m, idx in picks.items()}
    means76 = {m: np.mean(np.linalg.norm(lab(wanted) - lab(palette[idx]), axis=-1)) for m, idx in picks.items()}
    print("| mean | " + " | ".join("%.2f / %.2f" % (means[m], means76[m]) for m in picks) + " |")
    if not args:
        return
    print()
    print("| pictures (%d) | " % len(args) + " | ".join(picks) + " |")
    print("|---|" + "---|" * len(picks))
    sums = {m: [0.0, 0.0, 0] for m in picks}
    for path in args:
        rgb = np.asarray(Image.open(path).convert("RGB"), float).reshape(-1, 3)
        unique, inverse = np.unique(rgb, axis=0, return_inverse=True)
        chosen = {}
        for start in range(0, len(unique), 2048):
            part = nearest(unique[start : start + 2048], palette)
            for m, idx in part.items():
                chosen.setdefault(m, []).append(idx)
        for m, parts in chosen.items():
            mapped = palette[np.concatenate(parts)][inverse.reshape(-1)]
            mse = np.mean((mapped - rgb) ** 2)
            sums[m][0] += np.mean(de2000(lab(rgb), lab(mapped)))
            sums[m][1] += 10 * np.log10(255 ** 2 / mse) if mse else 99
            sums[m][2] += 1
    print("| mean ΔE2000 | " + " | ".join("%.2f" % (sums[m][0] / sums[m][2]) for m in picks) + " |")
    print("| mean PSNR | " + " | ".join("%.2f dB" % (sums[m][1] / sums[m][2]) for m in picks) + " |")


if __name__ == "__main__":
    main()
