#!/usr/bin/env bash
# Makes the small photo files the codec tests read in both builds (kept in
# the tree: the Windows build has no libvips or exiftool to make them).
#   oriented.jpg  40x24 blocks of colour, EXIF orientation 1 (the tests
#                 patch the orientation value to each of 1..8)
#   palette.png   the same blocks as an 8-bit palette PNG, no transparency
#   palette-transparent.png  the same with the first block transparent
#   cmyk.jpg      the same blocks in CMYK, orientation 1, with a CMYK printer
#                 profile of a header and no tags (made here, no one's
#                 profile: the tests' stand-in colour transform reads none)
# Needs python3, libvips' command line (libvips-tools) or ImageMagick, and exiftool.
set -euo pipefail
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
python3 - "$tmp/blocks.ppm" <<'PY'
import sys
w, h = 40, 24
rows = bytearray()
for y in range(h):
    for x in range(w):
        b = (y // 8) * 5 + x // 8
        rows += bytes((b * 255 // 15, 30 + 70 * ((b // 4) % 3), 40 + 50 * (b % 4)))
open(sys.argv[1], "wb").write(b"P6\n%d %d\n255\n" % (w, h) + rows)
PY
convert "$tmp/blocks.ppm" -quality 95 -sampling-factor 1x1 "$tmp/oriented.jpg"
exiftool -q -n -overwrite_original -Orientation=1 -ImageDescription="chromaline oriented sample" "$tmp/oriented.jpg"
cp "$tmp/oriented.jpg" oriented.jpg
convert "$tmp/blocks.ppm" PNG8:palette.png
convert "$tmp/blocks.ppm" -transparent 'rgb(0,30,40)' PNG8:palette-transparent.png
python3 - "$tmp/cmyk.icc" <<'PY'
import struct, sys
head = struct.pack(">II", 128 + 4, 0) + bytes([2, 0x10, 0, 0]) + b"prtrCMYKLab " + struct.pack(">6H", 2026, 1, 1, 0, 0, 0)
head += b"acsp" + bytes(128 - len(head) - 4)
open(sys.argv[1], "wb").write(head + struct.pack(">I", 0))
PY
convert "$tmp/blocks.ppm" -colorspace CMYK -quality 95 -sampling-factor 1x1 "$tmp/cmyk.jpg"
exiftool -q -n -overwrite_original -Orientation=1 "-ICC_Profile<=$tmp/cmyk.icc" "$tmp/cmyk.jpg"
cp "$tmp/cmyk.jpg" cmyk.jpg
