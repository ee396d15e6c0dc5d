#!/usr/bin/env bash
# The command line writes a JPEG like the JPEG it came from, as a person
# meets it (native build, real files made here with ImageMagick):
#   - without --quality: the source's quality and chroma subsampling, and a
#     camera-like photo lightly sharpened within 20 % of its size
#   - --quality N: that quality; never less colour resolution than the
#     source (4:2:2 written 4:4:4)
#   - from a PNG: quality 90 at 4:4:4 by default, 4:2:0 below quality 90
#   - a CMYK JPEG without a profile: one line on standard error, naming the
#     file and the rule used
# HOST is the program to run, SOURCE_DIR the source tree.
set -uo pipefail
: "${HOST:?}" "${SOURCE_DIR:?}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
sharpen="--set USMEnable=1"  # the unsharp mask's defaults: a light sharpening
kind() { identify -format '%Q %[jpeg:sampling-factor]' "$1"; }

convert "$SOURCE_DIR/samples/coffee.png" -quality 75 -sampling-factor 2x2 photo.jpg
"$HOST" filter $sharpen photo.jpg kept.jpg 2>err.txt || fail "photo.jpg: $(cat err.txt)"
[ "$(kind kept.jpg)" = "75 2x2,1x1,1x1" ] || fail "no --quality: $(kind kept.jpg), not the source's 75 2x2,1x1,1x1"
in=$(stat -c %s photo.jpg) out=$(stat -c %s kept.jpg)
[ $((out * 100)) -ge $((in * 80)) ] && [ $((out * 100)) -le $((in * 120)) ] ||
  fail "lightly sharpened: $out bytes from $in, more than 20 % apart"

"$HOST" filter $sharpen --quality 60 photo.jpg given.jpg 2>err.txt || fail "--quality 60: $(cat err.txt)"
[ "$(identify -format %Q given.jpg)" = 60 ] || fail "--quality 60 wrote quality $(identify -format %Q given.jpg)"

convert "$SOURCE_DIR/samples/coffee.png" -quality 90 -sampling-factor 2x1 wide.jpg
for q in "" "--quality 70"; do
  "$HOST" filter $sharpen $q wide.jpg wide-out.jpg 2>err.txt || fail "wide.jpg $q: $(cat err.txt)"
  [ "$(identify -format %[jpeg:sampling-factor] wide-out.jpg)" = "1x1,1x1,1x1" ] ||
    fail "4:2:2 source $q: written $(identify -format %[jpeg:sampling-factor] wide-out.jpg), not 4:4:4"
  rm -f wide-out.jpg
done

# From another format: quality 90 at full colour resolution unless asked;
# colour at half resolution below 90.
for row in "|90 1x1,1x1,1x1" "--quality 89|89 2x2,1x1,1x1" "--quality 90|90 1x1,1x1,1x1"; do
  IFS='|' read -r q want <<<"$row"
  "$HOST" filter $sharpen $q "$SOURCE_DIR/samples/coffee.png" png.jpg 2>err.txt || fail "coffee.png $q: $(cat err.txt)"
  [ "$(kind png.jpg)" = "$want" ] || fail "a PNG into JPEG $q: $(kind png.jpg), not $want"
  rm -f png.jpg
done

convert "$SOURCE_DIR/samples/coffee.png" -colorspace CMYK cmyk.jpg
"$HOST" filter $sharpen cmyk.jpg cmyk.png 2>err.txt || fail "cmyk.jpg: $(cat err.txt)"
[ "$(grep -c 'cmyk.jpg: CMYK without a colour profile: converted to RGB by plain inversion' err.txt)" = 1 ] ||
  fail "a CMYK JPEG without a profile is not reported once: $(cat err.txt)"

if [ "$failures" -ne 0 ]; then
  echo "$failures failures"
  exit 1
fi
echo "JPEG kinds kept on the command line"
