#!/usr/bin/env bash
# File: bench/jpeg_peers.sh
#
# JPEG in, JPEG out: the command line's output size and time beside
# ImageMagick's mogrify and libvips' vips on the same photos, in one run.
# The photos (PNG, default samples/) are first made into quality-75 4:2:0
# JPEGs, as a camera or a web export leaves them (with ImageMagick's
# optimised Huffman tables, or with the standard ones most cameras write
# when CAMERA_TABLES=1); each tool then sharpens
# them lightly and writes JPEG again with its own default quality rule:
#   chromaline-host  filter --set USMEnable=1 (unsharp mask 0.5 / 100 / 4)
#                    -> the source's quality and subsampling
#   chromaline-host  the same with --quality 90 (the former default)
#   mogrify          -unsharp 0x0.5+1.0+0.016 -> the source's quality (its own estimate)
#   vips sharpen     (its defaults, sigma 0.5) -> Q 75, 4:2:0 below Q 90
# and, re-encoding alone, chromaline-host with gamma 0 (no pixel changed)
# beside vips copy.
# Sizes are the outputs' total against the inputs' total; times the best
# wall time of 5 runs of each command (one process for the whole set where
# the tool takes many files, else one per file), as ratios against
# chromaline-host's.
#
#   bench/jpeg_peers.sh [BUILD_DIR [PHOTO_DIR]]   (default build/release, samples;
#                                                 the photos: *.png and *.jpg there)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
photos=${2:-samples}
host=$build/bin/chromaline-host
[ -x "$host" ] || { echo "build $host first (cmake --preset release && cmake --build --preset release)"; exit 1; }
for tool in mogrify vips identify; do
  command -v $tool >/dev/null || { echo "needs $tool (apt-get install imagemagick libvips-tools)"; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/in"
optimize=true tables=optimised
[ "${CAMERA_TABLES:-0}" = 1 ] && optimize=false tables=standard
for p in "$photos"/*.png "$photos"/*.jpg; do
  [ -e "$p" ] && convert "$p" -quality 75 -sampling-factor 2x2 -define jpeg:optimize-coding=$optimize \
    "$work/in/$(basename "${p%.*}").jpg"
done
inputs=("$work"/in/*.jpg)
in_bytes=$(cat "${inputs[@]}" | wc -c)
pixels=$(identify -format '%w %h\n' "${inputs[@]}" | awk '{ p += $1 * $2 } END { print p }')
echo "photos: ${#inputs[@]} from $photos, $(awk -v p="$pixels" 'BEGIN { printf "%.1f", p / 1e6 }') MP in all," \
  "$in_bytes bytes as quality-75 4:2:0 JPEG with $tables Huffman tables"
echo "machine: $(nproc) logical processors, load $(cut -d' ' -f1-3 /proc/loadavg)"

# best NAME COMMAND...: runs the command 5 times into a fresh out/NAME and
# prints the best wall time in seconds.
best() {
  local name=$1 best=1e9 start end
  shift
  for _ in 1 2 3 4 5; do
    rm -rf "${work:?}/out/$name"
    mkdir -p "$work/out/$name"
    start=$(date +%s.%N)
    "$@" >/dev/null 2>"$work/$name.err" || { echo "$name failed: $(cat "$work/$name.err")" >&2; exit 1; }
    end=$(date +%s.%N)
    best=$(awk -v s="$start" -v e="$end" -v b="$best" 'BEGIN { t = e - s; print (t < b) ? t : b }')
  done
  echo "$best"
}
each() {  # each NAME vips OPERATION: one vips process per photo
  local name=$1 op=$2 f
  for f in "${inputs[@]}"; do vips "$op" "$f" "$work/out/$name/$(basename "$f")[Q=75]"; done
}
row() {  # row NAME SECONDS BASE_SECONDS
  local bytes kind
  bytes=$(cat "$work/out/$1"/*.jpg | wc -c)
  kind=$(identify -format '%Q %[jpeg:sampling-factor]\n' "$work/out/$1"/*.jpg | sort -u | paste -sd';')
  printf '| %s | %d | %.2f | %.3f s | %.2f | %s |\n' "$1" "$bytes" \
    "$(awk -v a="$bytes" -v b="$in_bytes" 'BEGIN { print a / b }')" "$2" \
    "$(awk -v a="$2" -v b="$3" 'BEGIN { print a / b }')" "$kind"
}

sharpen=(--set Enabled=1 --set USMEnable=1)
t_ours=$(best chromaline "$host" filter "${sharpen[@]}" -o "$work/out/chromaline" "${inputs[@]}")
t_q90=$(best chromaline-q90 "$host" filter "${sharpen[@]}" --quality 90 -o "$work/out/chromaline-q90" "${inputs[@]}")
t_mogrify=$(best mogrify mogrify -path "$work/out/mogrify" -unsharp 0x0.5+1.0+0.016 "${inputs[@]}")
t_vips=$(best vips-sharpen each vips-sharpen sharpen)
# A run with no stage on is refused; gamma 0 changes no pixel.
t_copy_ours=$(best chromaline-gamma0 "$host" filter --set GammaAdj=1 --set GammaVal=0 -o "$work/out/chromaline-gamma0" \
  "${inputs[@]}")
t_copy_vips=$(best vips-copy each vips-copy copy)

echo
echo "| run | bytes | / input | time | / chromaline-host | quality, sampling of the outputs |"
echo "|---|---|---|---|---|---|"
row chromaline "$t_ours" "$t_ours"
row chromaline-q90 "$t_q90" "$t_ours"
row mogrify "$t_mogrify" "$t_ours"
row vips-sharpen "$t_vips" "$t_ours"
row chromaline-gamma0 "$t_copy_ours" "$t_copy_ours"
row vips-copy "$t_copy_vips" "$t_copy_ours"
