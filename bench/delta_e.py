#!/usr/bin/python3
# Colour difference of two 8-bit sRGB pictures of one size: the mean and
# the largest CIEDE2000 over their pixels, and the mean difference of each
# channel in levels (second minus first). Used to compare chromaline-host's
# conversion of a CMYK picture with ImageMagick's and libvips'.
#
#   bench/delta_e.py A.png B.png     ->  "mean 0.31 max 2.07 dR +0.4 dG -0.1 dB +0.2"
#
# Needs numpy and OpenCV for /usr/bin/python3 (python3-numpy, python3-opencv).
import sys

import cv2
import numpy as np


def srgb_to_lab(bgr):
    rgb = bgr[..., ::-1].astype(np.float64) / 255.0
    linear = np.where(rgb <= 0.04045, rgb / 12.92, ((rgb + 0.055) / 1.055) ** 2.4)
    # sRGB's primaries to XYZ, white D65, then Lab against D65.
    m = np.array([[0.4124564, 0.3575761, 0.1804375],
                  [0.2126729, 0.7151522, 0.0721750],
                  [0.0193339, 0.1191920, 0.9503041]])
    xyz = linear @ m.T / np.array([0.95047, 1.0, 1.08883])
    e = 216.0 / 24389.0
    k = 24389.0 / 27.0
    f = np.where(xyz > e, np.cbrt(xyz), (k * xyz + 16.0) / 116.0)
    return np.stack([116.0 * f[..., 1] - 16.0, 500.0 * (f[..., 0] - f[..., 1]), 200.0 * (f[..., 1] - f[..., 2])], -1)


def ciede2000(lab1, lab2):
    l1, a1, b1 = lab1[..., 0], lab1[..., 1], lab1[..., 2]
    l2, a2, b2 = lab2[..., 0], lab2[..., 1], lab2[..., 2]
    c_mean = (np.hypot(a1, b1) + np.hypot(a2, b2)) / 2.0
    g = 0.5 * (1.0 - np.sqrt(c_mean ** 7 / (c_mean ** 7 + 25.0 ** 7)))
    a1p, a2p = (1.0 + g) * a1, (1.0 + g) * a2
    c1p, c2p = np.hypot(a1p, b1), np.hypot(a2p, b2)
    h1p = np.degrees(np.arctan2(b1, a1p)) % 360.0
    h2p = np.degrees(np.arctan2(b2, a2p)) % 360.0
    dl = l2 - l1
    dc = c2p - c1p
    dh = h2p - h1p
    dh = np.where(dh > 180.0, dh - 360.0, np.where(dh < -180.0, dh + 360.0, dh))
    dh = np.where(c1p * c2p == 0, 0.0, dh)
    dH = 2.0 * np.sqrt(c1p * c2p) * np.sin(np.radians(dh) / 2.0)
    lp = (l1 + l2) / 2.0
    cp = (c1p + c2p) / 2.0
    hsum = h1p + h2p
    hp = np.where(np.abs(h1p - h2p) > 180.0, np.where(hsum < 360.0, hsum + 360.0, hsum - 360.0), hsum) / 2.0
    hp = np.where(c1p * c2p == 0, hsum, hp)
    t = (1.0 - 0.17 * np.cos(np.radians(hp - 30.0)) + 0.24 * np.cos(np.radians(2.0 * hp)) +
         0.32 * np.cos(np.radians(3.0 * hp + 6.0)) - 0.20 * np.cos(np.radians(4.0 * hp - 63.0)))
    sl = 1.0 + 0.015 * (lp - 50.0) ** 2 / np.sqrt(20.0 + (lp - 50.0) ** 2)
    sc = 1.0 + 0.045 * cp
    sh = 1.0 + 0.015 * cp * t
    rt = (-2.0 * np.sqrt(cp ** 7 / (cp ** 7 + 25.0 ** 7)) *
          np.sin(np.radians(60.0 * np.exp(-(((hp - 275.0) / 25.0) ** 2)))))
    return np.sqrt((dl / sl) ** 2 + (dc / sc) ** 2 + (dH / sh) ** 2 + rt * (dc / sc) * (dH / sh))


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: delta_e.py A B")
    a = cv2.imread(sys.argv[1], cv2.IMREAD_COLOR)
    b = cv2.imread(sys.argv[2], cv2.IMREAD_COLOR)
    for path, picture in ((sys.argv[1], a), (sys.argv[2], b)):
        if picture is None:
            sys.exit(f"delta_e.py: {path}: cannot be read")
    if a.shape != b.shape:
        sys.exit(f"delta_e.py: {sys.argv[1]} is {a.shape[1]}x{a.shape[0]}, {sys.argv[2]} {b.shape[1]}x{b.shape[0]}")
    d = ciede2000(srgb_to_lab(a), srgb_to_lab(b))
    levels = (b.astype(np.float64) - a.astype(np.float64)).reshape(-1, 3).mean(0)
    print(f"mean {d.mean():.2f} max {d.max():.2f} dR {levels[2]:+.1f} dG {levels[1]:+.1f} dB {levels[0]:+.1f}")


if __name__ == "__main__":
    main()
