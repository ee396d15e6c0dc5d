#!/usr/bin/env bash
# The command line's batch on real photos: 12 JPEG photos of 5120 x 2880
# (14.7 MP) made from Debian's plasma-workspace-wallpapers, each with what a
# camera and a photo manager write (EXIF with a thumbnail, IPTC, XMP, a
# comment, an ICC profile), filtered with the crisp preset into JPEG
# (quality 90) and into PNG, the metadata carried along. The whole batch is
# set against the filtering alone (batch_filter_alone: the same pictures
# read beforehand, only message 14 timed), measured in the same run; the
# ratio shows how well reading and writing hide behind the filtering (the
# goal is at most 1.3). The tool's own summary adds its time of filtering
# inside the batch, where the codecs' threads compete with it.
#
#   bench/batch_photos.sh [BUILD_DIR]     (default build/release)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
host=$build/bin/chromaline-host
[ -x "$host" ] || { echo "build $host first (cmake --preset release && cmake --build --preset release)"; exit 1; }
photos=${CHROMALINE_BENCH_PHOTOS:-$build/bench-photos}
mkdir -p "$photos"
if [ "$(ls "$photos"/*.jpg 2>/dev/null | wc -l)" -lt 12 ] ||
   [ -z "$(exiftool -s3 -IPTC:Keywords "$photos/photo12.jpg" 2>/dev/null)" ]; then
  mapfile -t sources < <(find /usr/share/wallpapers -name '5120x2880.*' | sort | head -12)
  [ ${#sources[@]} -eq 12 ] || { echo "needs 12 wallpapers of 5120x2880 (apt-get install plasma-workspace-wallpapers)"; exit 1; }
  made=$(mktemp -d)
  trap 'rm -rf "$made"' EXIT
  for s in "${sources[@]}"; do
    exiftool -b -ICC_Profile "$s" >"$made/profile.icc" 2>/dev/null
    [ -s "$made/profile.icc" ] && break
  done
  i=0
  for s in "${sources[@]}"; do
    i=$((i + 1))
    photo=$photos/photo$(printf %02d $i).jpg
    convert "$s" -resize '5120x2880!' -quality 92 "$photo"
    convert "$photo" -resize 160x90 "$made/thumbnail.jpg"
    exiftool -q -overwrite_original -Make=Acme -Model="TestCam $i" -DateTimeOriginal="2024:06:0$((i % 9 + 1)) 10:00:00" \
      -GPSLatitude=48.8583 -GPSLatitudeRef=N -GPSLongitude=2.2945 -GPSLongitudeRef=E "-ThumbnailImage<=$made/thumbnail.jpg" \
      -IPTC:Keywords=wallpaper -IPTC:Keywords=bench -IPTC:Caption-Abstract="Photo $i" -IPTC:By-line=Chromaline \
      -XMP-dc:Title="Photo $i" -Comment="bench photo $i" "-ICC_Profile<=$made/profile.icc" "$photo"
  done
fi
alone=$("$build/bin/batch_filter_alone" "$build/bin/chromaline.so" presets/crisp.store "$photos"/*.jpg)
echo "filtering alone: $alone"
alone_s=${alone%% s*}
out=$(mktemp -d)
trap 'rm -rf "$out" "${made:-}"' EXIT
# The help text is read once: grep -q leaving a pipe early would kill the
# writer, and pipefail would take that for "cannot write it".
help=$("$host" --help)
for format in ${CHROMALINE_BENCH_FORMATS:-jpeg png}; do
  if ! grep -q "writable here:.* $format\b" <<<"$help" || grep -q "$format (not in this build)" <<<"$help"; then
    echo "$format: this build cannot write it"; continue
  fi
  summary=$("$host" filter --preset presets/crisp.store --format "$format" --quality 90 -o "$out/$format" \
    "$photos" 2>&1 >/dev/null | tail -1)
  filtering=$(sed -n 's/.*filtering \([0-9.]*\) s.*/\1/p' <<<"$summary")
  all=$(sed -n 's/.*, \([0-9.]*\) s in all.*/\1/p' <<<"$summary")
  printf '%-5s %s\n      whole batch / filtering alone = %s (/ filtering inside the batch = %s)\n' "$format" \
    "$summary" "$(awk -v a="$all" -v f="$alone_s" 'BEGIN { printf "%.2f", a / f }')" \
    "$(awk -v a="$all" -v f="$filtering" 'BEGIN { printf "%.2f", a / f }')"
done
