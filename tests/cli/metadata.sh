#!/usr/bin/env bash
# What the command line says of metadata an output cannot hold: one line
# per picture on standard error, naming the picture and the blocks left
# out, and nothing for a picture that has none. (The blocks themselves are
# followed through every format in tests/photo/photo_metadata_test.cpp.)
# HOST is the program to run; native builds only (the Windows codecs read
# no metadata but the ICC profile).
set -uo pipefail
: "${HOST:?}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
# shellcheck disable=SC2086
host() { $HOST "$@"; }

convert -size 16x16 xc:orange plain.png
convert -size 16x16 xc:orange a.jpg
exiftool -q -overwrite_original -Model=TestCam -IPTC:Keywords=alpha -XMP-dc:Title=title -Comment=note a.jpg
cp a.jpg b.jpg

# Into BMP, which holds none of it.
host filter --set ToneFilter=1 --format bmp -o out a.jpg b.jpg plain.png 2>bmp.err
rc=$?
[ $rc -eq 0 ] || fail "into BMP: exit $rc: $(cat bmp.err)"
for name in a b; do
  count=$(grep -c "$name\.jpg -> out/$name\.bmp: left out, .* bmp file: EXIF, IPTC, XMP, comment$" bmp.err)
  [ "$count" -eq 1 ] || fail "$name.jpg into BMP: $count notices instead of one: $(cat bmp.err)"
done
grep -q "plain\.png ->.*left out" bmp.err && fail "plain.png has no metadata but got a notice: $(cat bmp.err)"

# Into TIFF, whose one image description the EXIF block takes first.
exiftool -q -overwrite_original -ImageDescription=description a.jpg
host filter --set ToneFilter=1 a.jpg a.tif 2>tiff.err
grep -q "a\.jpg -> a\.tif: left out, .* tiff file: comment$" tiff.err || fail "into TIFF: no notice of the comment: $(cat tiff.err)"
[ "$(exiftool -s3 -ImageDescription a.tif)" = description ] || fail "into TIFF: the EXIF description was not kept"

[ $failures -eq 0 ] && echo "metadata notices: all checks passed"
exit $((failures != 0))
