#!/usr/bin/env bash
# The command line's batch, its time and its memory: the 12 photos of
# bench/batch_photos.sh (5120 x 2880 JPEG, run that script once first to
# make them) filtered with the crisp preset into JPEG quality 90, with -j 1
# and with the default job count (the processors), beside ImageMagick's
# mogrify and libvips' vips doing the nearest thing (an unsharp mask of
# crisp's radius 1.2, amount 180 % and threshold 2, mapped as
# bench/jpeg_peers.sh maps the default one: mogrify -unsharp 0x1.2+1.8+0.0078;
# vips sharpen --sigma 1.2, one process per photo as its command line
# works). Each run's wall time, the largest resident total of its processes
# at once and the largest peak of one process (bench/peak_memory.py),
# against the bound of a job: 4 x the largest picture's pixels x 3 bytes
# + 64 MB.
#
#   bench/batch_memory.sh [BUILD_DIR [ROUNDS]]   (default build/release, 2)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
rounds=${2:-2}
host=$build/bin/chromaline-host
photos=${CHROMALINE_BENCH_PHOTOS:-$build/bench-photos}
[ -x "$host" ] || { echo "build $host first (cmake --preset release && cmake --build --preset release)"; exit 1; }
[ "$(ls "$photos"/*.jpg 2>/dev/null | wc -l)" -ge 12 ] || { echo "make the photos first: bench/batch_photos.sh"; exit 1; }
for tool in mogrify vips identify python3; do
  command -v $tool >/dev/null || { echo "needs $tool (apt-get install imagemagick libvips-tools python3)"; exit 1; }
done
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
largest=$(identify -format '%w %h\n' "$photos"/*.jpg | awk '{ p = $1 * $2; if (p > m) m = p } END { print m }')
bound=$(awk -v p="$largest" 'BEGIN { printf "%.1f", (4 * p * 3 + 64e6) / 1048576 }')
echo "photos: $(ls "$photos"/*.jpg | wc -l), largest $largest pixels; bound of one job $bound MiB"
echo "machine: $(nproc) processors, load $(cut -d' ' -f1-3 /proc/loadavg), $(date +%H:%M)"
vips_each() {
  for f in "$photos"/*.jpg; do vips sharpen "$f" "$1/$(basename "$f")[Q=90]" --sigma 1.2; done
}
export -f vips_each
export photos
runs=(
  "chromaline-host -j 1|$host filter --preset crisp --format jpeg --quality 90 -q -j 1 -o OUT $photos"
  "chromaline-host (default: -j $(nproc))|$host filter --preset crisp --format jpeg --quality 90 -q -o OUT $photos"
  "mogrify|mogrify -path OUT -unsharp 0x1.2+1.8+0.0078 -quality 90 $photos/*.jpg"
  "vips sharpen|bash -c 'vips_each OUT'"
)
echo "| round | run | wall | resident, all processes at once | largest process | processes |"
echo "|---|---|---|---|---|---|"
for round in $(seq 1 "$rounds"); do
  for row in "${runs[@]}"; do
    name=${row%%|*} command=${row#*|}
    rm -rf "$out/o" && mkdir -p "$out/o"
    read -r seconds total one processes < <(eval "bench/peak_memory.py ${command//OUT/$out/o}")
    printf '| %s | %s | %s s | %s MiB | %s MiB | %s |\n' "$round" "$name" "$seconds" "$total" "$one" "$processes"
  done
done
