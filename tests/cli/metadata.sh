#!/usr/bin/env bash
# Metadata through the command line, as a person meets it, in both builds
# (real files made here with ImageMagick and exiftool):
#   - into JPEG and PNG: the IPTC keywords, the comment, the XMP title, the
#     EXIF camera and GPS tags and the ICC profile arrive, the EXIF and XMP
#     orientations say 1 and the thumbnail of the old pixels is remade from
#     the filtered picture (the Windows build says it cannot); from
#     a PNG's chunks as well; one EXIF block in a PNG
#   - the resolution (JFIF density, PNG pHYs) is kept
#   - a gray JPEG stays one channel (a JPEG's quality and subsampling kept:
#     tests/cli/photo_kinds.sh; Wine's encoder writes its own)
#   - what an output cannot hold: one line per picture on standard error,
#     naming the picture and the blocks left out, and nothing for a
#     picture that has none
#   - the Windows build's CMYK JPEG with a profile: through the profile, or
#     Windows' own rule and a note for that picture
# (Natively the blocks are followed through every format in
# tests/photo/photo_metadata_test.cpp.)
# HOST is the program to run (with a Windows build: "wine-run.sh x.exe");
# HOST_KIND is "native" or "windows". Paths given to the program are
# relative to the work folder, so they mean the same under Wine.
set -uo pipefail
: "${HOST:?}"
HOST_KIND=${HOST_KIND:-native}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
# The program's standard error without the carriage returns of Windows'
# console.
# shellcheck disable=SC2086
host() {
  $HOST "$@" 2>"$work/host.err"
  local rc=$?
  tr -d '\r' <"$work/host.err" >&2
  return $rc
}
tag() { exiftool -s3 -n "-$1" "$2"; }
# A small well-formed ICC display profile: a header and a description.
python3 - profile.icc <<'PY'
import struct, sys
name = b"chromaline test profile\0"
desc = b"desc" + bytes(4) + struct.pack(">I", len(name)) + name + bytes(4 + 4 + 2 + 1 + 67)
desc += bytes(-len(desc) % 4)
size = 128 + 4 + 12 + len(desc)
head = struct.pack(">II", size, 0) + bytes([2, 0x10, 0, 0]) + b"mntrRGB XYZ " + struct.pack(">6H", 2026, 1, 1, 0, 0, 0)
head += b"acsp" + bytes(4 + 4 + 4 + 4 + 8 + 4) + struct.pack(">3I", 63190, 65536, 54061) + bytes(4)
head += bytes(128 - len(head))
open(sys.argv[1], "wb").write(head + struct.pack(">I", 1) + b"desc" + struct.pack(">II", 144, len(desc)) + desc)
PY

convert -size 16x16 xc:orange -define png:exclude-chunk=date,time plain.png
convert -size 32x24 gradient:red-blue camera.jpg
exiftool -q -overwrite_original "-ThumbnailImage<=camera.jpg" camera.jpg
exiftool -q -overwrite_original -n -Model=TestCam -Orientation=6 -GPSLatitude=48.5 -GPSLatitudeRef=N \
  -IPTC:Keywords=alpha -IPTC:Keywords=beta -XMP-dc:Title=title -XMP-tiff:Orientation=6 -Comment=note \
  "-ICC_Profile<=profile.icc" camera.jpg
convert -size 16x8 xc:orange -define png:exclude-chunk=date,time chunks.png
exiftool -q -overwrite_original -n -Model=TestCam -Orientation=6 -GPSLatitude=48.5 -GPSLatitudeRef=N -IPTC:Keywords=alpha \
  -IPTC:Keywords=beta -XMP-dc:Title=title -PNG:Comment=note "-ICC_Profile<=profile.icc" chunks.png 2>/dev/null
[ "$(tag ThumbnailLength camera.jpg)" -gt 0 ] 2>/dev/null || fail "the sample has no thumbnail"
[ "$(tag ProfileDescription chunks.png)" = "chromaline test profile" ] || fail "the sample has no ICC profile"

# Into JPEG and PNG, every block arrives; the picture was turned upright.
for pair in camera.jpg:camera-out.jpg camera.jpg:camera-out.png chunks.png:chunks-out.jpg; do
  in=${pair%%:*} out=${pair##*:}
  host filter --set ToneFilter=1 "$in" "$out" 2>err.txt || { fail "$in -> $out: $(cat err.txt)"; continue; }
  # (exiftool keeps a PNG's Model as text, which has no XMP place.)
  grep "left out" err.txt | grep -vq "chunks.png -> chunks-out.jpg: .*: PNG text Model$" &&
    fail "$in -> $out: something said left out: $(cat err.txt)"
  [ "$(tag IPTC:Keywords "$out")" = "alpha, beta" ] || fail "$in -> $out: IPTC keywords '$(tag IPTC:Keywords "$out")'"
  [ "$(tag Comment "$out")" = note ] || fail "$in -> $out: comment '$(tag Comment "$out")'"
  [ "$(tag XMP-dc:Title "$out")" = title ] || fail "$in -> $out: XMP title '$(tag XMP-dc:Title "$out")'"
  [ "$(tag EXIF:Model "$out")" = TestCam ] || fail "$in -> $out: EXIF camera '$(tag EXIF:Model "$out")'"
  [ "$(tag EXIF:GPSLatitude "$out")" = 48.5 ] || fail "$in -> $out: EXIF GPS latitude '$(tag EXIF:GPSLatitude "$out")'"
  [ "$(tag EXIF:Orientation "$out")" = 1 ] || fail "$in -> $out: EXIF orientation '$(tag EXIF:Orientation "$out")'"
  [ "$(tag ProfileDescription "$out")" = "chromaline test profile" ] ||
    fail "$in -> $out: ICC profile '$(tag ProfileDescription "$out")'"
done
# The thumbnail is remade from the filtered, upright picture (gray here,
# portrait) about the old one's size; the Windows build says it cannot.
saturation() { convert "$1" -colorspace HSL -channel G -separate +channel -format '%[fx:maxima]' info:; }
if [ "$HOST_KIND" = windows ]; then
  host filter --set ToneFilter=1 camera.jpg camera-again.jpg 2>thumb.err
  [ -z "$(tag ThumbnailLength camera-again.jpg)" ] && grep -q "camera.jpg: its EXIF thumbnail .*cannot remake it" thumb.err ||
    fail "the Windows build kept the old thumbnail or did not say it is not remade: $(cat thumb.err)"
else
  for out in camera-out.jpg camera-out.png; do
    exiftool -b -ThumbnailImage "$out" >thumb.jpg
    [ "$(identify -format '%w %h' thumb.jpg 2>&1)" = "24 32" ] && [ "$(saturation thumb.jpg | cut -c1-3)" = "0" -o "$(saturation thumb.jpg | cut -c1-3)" = "0.0" ] ||
      fail "$out: the thumbnail is not the filtered upright picture: $(identify -format '%w %h' thumb.jpg 2>&1), saturation $(saturation thumb.jpg)"
  done
  # From a picture many times its size (averaged in blocks first): it looks
  # like the output, each colour in its corner.
  convert -size 960x1280 xc: -sparse-color bilinear '0,0 red 959,0 lime 0,1279 blue 959,1279 yellow' big.jpg
  convert big.jpg -resize 120x160 big-thumb.jpg
  exiftool -q -overwrite_original "-ThumbnailImage<=big-thumb.jpg" big.jpg
  host filter --set GammaAdj=1 --set GammaVal=0.4 big.jpg big-out.jpg 2>/dev/null
  exiftool -b -ThumbnailImage big-out.jpg >thumb.jpg
  convert big-out.jpg -resize '120x160!' big-small.png
  error=$(compare -metric RMSE thumb.jpg big-small.png null: 2>&1 | sed 's/.*(\(.*\))/\1/')
  [ "$(identify -format '%w %h' thumb.jpg 2>&1)" = "120 160" ] && awk -v e="$error" 'BEGIN { exit !(e < 0.03) }' ||
    fail "big.jpg: the thumbnail is not the filtered picture made small: $(identify -format '%w %h' thumb.jpg 2>&1), RMSE $error"
  # Its mean level is the output's, within a fifth of a level: blocks
  # averaged with rounding, not rounded down (half a level darker).
  levels=$(convert thumb.jpg big-out.jpg -format '%[fx:mean] ' info:)
  awk -v l="$levels" 'BEGIN { split(l, m, " "); d = m[1] - m[2]; exit !(d < 0.0008 && d > -0.0008) }' ||
    fail "big.jpg: the thumbnail's mean level $levels is not the output's"
fi
# One EXIF block in the PNG: a second would be read as a loop of directories.
exif_chunks=$(python3 -c 'import sys; print(open(sys.argv[1], "rb").read().count(b"eXIf"))' camera-out.png)
[ "$exif_chunks" -le 1 ] && ! exiftool -validate -warning -a camera-out.png | grep -q "previous IFD0" ||
  fail "camera-out.png: $exif_chunks eXIf chunks: $(exiftool -validate -warning -a camera-out.png)"
[ "$(identify -format %wx%h camera-out.jpg)" = 24x32 ] || fail "camera.jpg was not turned upright"
for out in camera-out.jpg camera-out.png; do
  [ "$(tag XMP-tiff:Orientation $out)" = 1 ] || fail "$out: XMP orientation '$(tag XMP-tiff:Orientation $out)'"
done
[ "$(identify -format %wx%h chunks-out.jpg)" = 8x16 ] || fail "chunks.png was not turned upright"

# The resolution is kept: a 72 dpi JPEG and a 300 dpi PNG into both formats.
convert -size 16x12 xc:orange -units PixelsPerInch -density 72 dense.jpg
convert -size 16x12 xc:orange -units PixelsPerInch -density 300 dense.png
for pair in dense.jpg:72 dense.png:300; do
  in=${pair%%:*} dpi=${pair##*:}
  for ext in jpg png; do
    out=out-${in%.*}-${in#*.}.$ext
    host filter --set ToneFilter=1 "$in" "$out" 2>err.txt || fail "$in -> $out: $(cat err.txt)"
    seen=$(identify -units PixelsPerInch -format '%x %y' "$out")
    [ "$(printf '%.0f %.0f' $seen)" = "$dpi $dpi" ] || fail "$in -> $out: resolution $seen, not $dpi dpi"
  done
done

# A gray JPEG stays gray.
convert -size 32x24 gradient:white-black -colorspace Gray gray.jpg
host filter --set ToneFilter=1 gray.jpg gray-out.jpg 2>err.txt || fail "gray.jpg: $(cat err.txt)"
[ "$(identify -format %[channels] gray-out.jpg)" = gray ] ||
  fail "gray.jpg came out as $(identify -format %[channels] gray-out.jpg)"

# Into BMP, which holds none of it.
convert -size 16x16 xc:orange a.jpg
exiftool -q -overwrite_original -Model=TestCam -IPTC:Keywords=alpha -XMP-dc:Title=title -Comment=note a.jpg
cp a.jpg b.jpg
host filter --set ToneFilter=1 --format bmp -o out a.jpg b.jpg plain.png 2>bmp.err
rc=$?
[ $rc -eq 0 ] || fail "into BMP: exit $rc: $(cat bmp.err)"
for name in a b; do
  count=$(grep -c "$name\.jpg -> out[/\\]$name\.bmp: left out, .* bmp file: EXIF, IPTC, XMP, comment$" bmp.err)
  [ "$count" -eq 1 ] || fail "$name.jpg into BMP: $count notices instead of one: $(cat bmp.err)"
done
grep -q "plain\.png ->.*left out" bmp.err && fail "plain.png has no metadata but got a notice: $(cat bmp.err)"

# Into TIFF: natively the EXIF block takes its one image description first,
# so the comment is left out; the Windows build writes no metadata there
# but the ICC profile.
exiftool -q -overwrite_original -ImageDescription=description a.jpg
host filter --set ToneFilter=1 a.jpg a.tif 2>tiff.err
if [ "$HOST_KIND" = windows ]; then
  grep -q "a\.jpg -> a\.tif: left out, .* tiff file: EXIF, IPTC, XMP, comment$" tiff.err ||
    fail "into TIFF: no notice of the blocks: $(cat tiff.err)"
else
  grep -q "a\.jpg -> a\.tif: left out, .* tiff file: comment$" tiff.err || fail "into TIFF: no notice of the comment: $(cat tiff.err)"
  [ "$(exiftool -s3 -ImageDescription a.tif)" = description ] || fail "into TIFF: the EXIF description was not kept"
fi

# A CMYK JPEG with its profile: the Windows build converts it through the
# profile where Windows' colour transform does, and otherwise (Wine, or a
# profile Windows refuses) turns it into RGB by its own rule and says, for
# that picture, that the profile was not used; never a mix of the two.
if [ "$HOST_KIND" = windows ]; then
  convert "$(dirname "$0")/../../samples/chelsea.png" -resize 160x -profile /usr/share/color/icc/sRGB.icc \
    -profile /usr/share/color/icc/ghostscript/default_cmyk.icc -quality 95 swop.jpg
  host filter --set GammaAdj=1 --set GammaVal=0 swop.jpg swop-out.png 2>swop.err || fail "CMYK: exit $?: $(cat swop.err)"
  if grep -q "swop.jpg: its CMYK colour profile is not used" swop.err; then
    convert swop.jpg -colorspace sRGB swop-want.png  # ImageMagick's plain inversion, the profile left aside
    limit=0.005
  else
    convert swop.jpg -profile /usr/share/color/icc/sRGB.icc swop-want.png
    limit=0.03
  fi
  rmse=$(compare -metric RMSE swop-out.png swop-want.png null: 2>&1 | sed -n 's/.*(\(.*\))$/\1/p')
  awk -v r="${rmse:-1}" -v l="$limit" 'BEGIN { exit !(r <= l) }' ||
    fail "CMYK with a profile: RMSE ${rmse:-?} from the conversion its notes name (at most $limit): $(cat swop.err)"

  python3 - cmyk.icc <<'PY'
import struct, sys
head = struct.pack(">II", 128 + 4, 0) + bytes([2, 0x10, 0, 0]) + b"prtrCMYKLab " + struct.pack(">6H", 2026, 1, 1, 0, 0, 0)
head += b"acsp" + bytes(128 - len(head) - 4)
open(sys.argv[1], "wb").write(head + struct.pack(">I", 0))
PY
  convert -size 16x12 xc:orange -colorspace CMYK cmyk.jpg
  exiftool -q -overwrite_original "-ICC_Profile<=cmyk.icc" cmyk.jpg
  host filter --set ToneFilter=1 cmyk.jpg cmyk-out.png 2>cmyk.err
  grep -q "cmyk.jpg: its CMYK colour profile is not used" cmyk.err || fail "CMYK with a profile: no note: $(cat cmyk.err)"
fi

# From TIFF: the Windows build reads no metadata of a TIFF file but its ICC
# profile, and says so for each such picture.
convert -size 16x16 xc:teal -depth 8 m.tif
exiftool -q -overwrite_original -Model=TestCam -IPTC:Keywords=alpha -XMP-dc:Title=title m.tif
host filter --set ToneFilter=1 m.tif m-out.png 2>m.err || fail "from TIFF: exit $?: $(cat m.err)"
if [ "$HOST_KIND" = windows ]; then
  grep -q "m\.tif: its EXIF, IPTC, XMP cannot be read .*: left out$" m.err || fail "from TIFF: no notice: $(cat m.err)"
else
  [ "$(exiftool -s3 -Model -Keywords m-out.png | tr '\n' ' ')" = "TestCam alpha " ] ||
    fail "from TIFF: EXIF or IPTC lost: $(exiftool -s3 -Model -Keywords m-out.png)"
fi

# A PNG's chunks: --in-place keeps every text chunk byte for byte (any
# keyword, tEXt, zTXt, iTXt with its language) and the colour chunks; the
# XMP packet is one uncompressed iTXt chunk. Into JPEG and TIFF the
# standard keywords take their XMP and EXIF places and the rest is named.
# A chunk each line: its type and a digest of its bytes, for the chunks
# carried as they are (and the XMP chunk's type, keyword and compression).
png_chunks() {
  python3 - "$1" <<'PY'
import hashlib, struct, sys
d = open(sys.argv[1], "rb").read()
at = 8
while at + 12 <= len(d):
    n, = struct.unpack(">I", d[at:at + 4]); t = d[at + 4:at + 8]; body = d[at + 8:at + 8 + n]
    if body.startswith(b"XML:com.adobe.xmp\0"):
        print("xmp", t.decode(), body[18])
    elif t in (b"tEXt", b"zTXt", b"iTXt", b"gAMA", b"cHRM", b"sRGB"):
        print(t.decode(), body.split(b"\0")[0].decode("latin-1"), hashlib.sha1(d[at:at + 12 + n]).hexdigest())
    at += 12 + n
PY
}
convert -size 16x8 xc:orange -depth 8 -define png:color-type=2 -set gamma 0.5 -set date:create 2026-12-01T10:00:00+00:00 texts.png
exiftool -q -overwrite_original -PNG:Title=Hello "-PNG:Author=Ann Ó" -PNG:Copyright=cc -PNG:Software=paint \
  "-PNG:CreationTime=2026:12:08 10:11:12" -XMP-dc:Subject=kept texts.png 2>/dev/null
python3 - texts.png <<'PY'
import struct, sys, zlib
# A zTXt description and an iTXt note in French, before the image data.
def chunk(t, body):
    return struct.pack(">I", len(body)) + t + body + struct.pack(">I", zlib.crc32(t + body))
d = open(sys.argv[1], "rb").read()
at = d.index(b"IDAT") - 4
extra = chunk(b"zTXt", b"Description\0\0" + zlib.compress(b"a zipped description"))
extra += chunk(b"iTXt", b"Note\0\0\0fr\0Remarque\0une note")
open(sys.argv[1], "wb").write(d[:at] + extra + d[at:])
PY
png_chunks texts.png | grep -v '^xmp' | sort >texts.before
[ "$(grep -c . texts.before)" -ge 9 ] || fail "the PNG sample lacks its chunks: $(cat texts.before)"
host filter --in-place --set ToneFilter=1 texts.png 2>texts.err || fail "texts.png --in-place: $(cat texts.err)"
png_chunks texts.png | grep -v '^xmp' | sort >texts.after
diff texts.before texts.after >texts.diff || fail "texts.png --in-place changed its chunks: $(cat texts.diff)"
[ "$(png_chunks texts.png | grep '^xmp')" = "xmp iTXt 0" ] || fail "texts.png: the XMP chunk is $(png_chunks texts.png | grep '^xmp')"
[ "$(tag XMP-dc:Subject texts.png)" = kept ] || fail "texts.png: the XMP packet was lost"
grep -q "left out" texts.err && fail "texts.png --in-place said something was left out: $(cat texts.err)"
for out in texts-out.jpg texts-out.tif; do
  host filter --set ToneFilter=1 texts.png "$out" 2>err.txt || { fail "texts.png -> $out: $(cat err.txt)"; continue; }
  if [ "$HOST_KIND" = windows ] && [ "$out" = texts-out.tif ]; then
    grep -q "texts.png -> texts-out.tif: left out, .* tiff file: XMP, PNG text .*Author, .*Title, Description, Note$" err.txt ||
      fail "texts.png -> $out: the PNG text left out is not named: $(cat err.txt)"
    continue
  fi
  got=$(exiftool -s3 -XMP-dc:Title -XMP-dc:Creator -XMP-dc:Rights -XMP-dc:Description -XMP-xmp:CreatorTool \
    -XMP-xmp:CreateDate -EXIF:Software -XMP-dc:Subject "$out" | tr '\n' '|')
  [ "$got" = "Hello|Ann Ó|cc|a zipped description|paint|2026:12:08 10:11:12|paint|kept|" ] ||
    fail "texts.png -> $out: the PNG text in XMP and EXIF: $got"
  grep -q "texts.png -> $out: left out, no place for it in a .* file: PNG text date:create, date:modify, Note$" err.txt ||
    fail "texts.png -> $out: the other keywords are not named: $(cat err.txt)"
done

# A TIFF keeps its compression; the Windows build's TIFF is valid (its rows
# per strip given) and a TIFF whose EXIF it cannot read is left as it is by
# --in-place.
for kind in LZW Zip None; do
  convert -size 16x12 gradient:red-blue -depth 8 -compress $kind "c-$kind.tif"
  host filter --set ToneFilter=1 "c-$kind.tif" "c-$kind-out.tif" 2>err.txt || fail "c-$kind.tif: $(cat err.txt)"
  # (Wine's encoder writes every TIFF uncompressed, and each picture says so.)
  [ "$(identify -format %C "c-$kind-out.tif")" = "$(identify -format %C "c-$kind.tif")" ] ||
    { [ "$HOST_KIND" = windows ] && [ $kind != None ] &&
      grep -q "c-$kind.tif -> c-$kind-out.tif: the encoder did not do all that was asked: compression none where" err.txt; } ||
    fail "c-$kind.tif written $(identify -format %C "c-$kind-out.tif"), not $(identify -format %C "c-$kind.tif"): $(cat err.txt)"
  # (exiftool counts Adobe's Deflate, 8, as no baseline compression.)
  [ "$HOST_KIND" = native ] && grep -q "did not do all" err.txt && fail "c-$kind.tif: $(cat err.txt)"
  warnings=$(exiftool -validate -warning -a "c-$kind-out.tif" | grep -v "Validate *: \|0x0103 Compression")
  [ -z "$warnings" ] || fail "c-$kind-out.tif: $warnings"
done
convert -size 16x12 xc:teal -depth 8 -compress LZW c8.tif
exiftool -q -overwrite_original -Artist=Ann -Copyright=cc -Make=Cam c8.tif
cp c8.tif c8-before.tif
host filter --in-place --set ToneFilter=1 c8.tif 2>c8.err
rc=$?
if [ "$HOST_KIND" = windows ]; then
  [ $rc -ne 0 ] && cmp -s c8.tif c8-before.tif &&
    grep -q "c8\.tif: its EXIF cannot be read by this build and would be lost; --in-place leaves it as it is" c8.err ||
    fail "c8.tif --in-place (Windows): exit $rc, the file $(cmp -s c8.tif c8-before.tif && echo kept || echo replaced): $(cat c8.err)"
else
  [ $rc -eq 0 ] && [ "$(exiftool -s3 -Artist -Copyright -Make c8.tif | tr '\n' ' ')" = "Ann cc Cam " ] &&
    [ "$(identify -format %C c8.tif)" = LZW ] ||
    fail "c8.tif --in-place: exit $rc, $(exiftool -s3 -Artist -Copyright -Make c8.tif), $(identify -format %C c8.tif): $(cat c8.err)"
fi

[ $failures -eq 0 ] && echo "metadata through the command line ($HOST_KIND): all checks passed"
exit $((failures != 0))
