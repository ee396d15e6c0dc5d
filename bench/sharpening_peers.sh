#!/usr/bin/env bash
# File: bench/sharpening_peers.sh
#
# The sharpening engine's local contrast blur (182 taps per pass on a
# picture 2880 rows high) beside other libraries' Gaussian blurs of the
# same width on the same picture, in one run, each on 1 and 2 threads:
#   ImageMagick   convert -unsharp 0x45             (MAGICK_THREAD_LIMIT)
#   libvips       vips gaussblur, sigma 45, float   (VIPS_CONCURRENCY)
#   OpenCV 4.6    sepFilter2D and GaussianBlur on float pictures, and
#                 GaussianBlur on 8-bit pictures (fixed point, approximate)
#                 from python3-opencv                (cv2.setNumThreads)
# Decoding is outside every figure: ImageMagick and libvips time against
# a plain pass over their own cached copy, OpenCV times the call alone.
#
# The plug-in itself, message 14 through the reference host on the wall
# clock, as the native module and as Chromaline.dll under Wine
# (sharpening_through_host; the Windows build's directory is the third
# argument, and its row is left out when that build is missing).
#
#   bench/sharpening_peers.sh PICTURE [BUILD_DIR] [WIN32_BUILD_DIR]
set -eu
picture=$1
build=${2:-build/release}
win32=${3:-build/win32}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Best wall time of 2 runs of a command, less the best of a baseline.
best_of() {
  local best=1e9
  for _ in 1 2; do
    local start end
    start=$(date +%s.%N)
    "$@" >/dev/null 2>&1
    end=$(date +%s.%N)
    best=$(echo "$end - $start" | bc | awk -v b="$best" '{print ($1 < b) ? $1 : b}')
  done
  echo "$best"
}

echo "picture: $picture"
echo "machine: $(nproc) logical processors, load $(cut -d' ' -f1-3 /proc/loadavg)"
echo
echo "## Chromaline engine (local contrast, exact)"
"$build/bin/sharpening_threads_timing" "$picture" --repeat 2 --threads 1,2 --local-only | sed -n '/^local contrast/,/^$/p'

echo "## Chromaline plug-in, message 14 (local contrast, best of 2, wall)"
for t in 1 2; do
  echo -n "native, "
  CHROMALINE_THREADS=$t "$build/bin/sharpening_through_host" "$build/bin/chromaline.so" "$picture" --repeat 2 || true
  if [ -x "$win32/bin/sharpening_through_host.exe" ]; then
    echo -n "DLL under Wine, "
    CHROMALINE_THREADS=$t "$(dirname "$0")/../cmake/wine-run.sh" "$win32/bin/sharpening_through_host.exe" \
      "$win32/bin/Chromaline.dll" "$picture" --repeat 2 || true
  fi
done
echo

echo "## ImageMagick $(convert -version | head -1 | cut -d' ' -f3)"
convert "$picture" "$work/p.mpc"
for t in 1 2; do
  base=$(MAGICK_THREAD_LIMIT=$t best_of convert "$work/p.mpc" null:)
  full=$(MAGICK_THREAD_LIMIT=$t best_of convert "$work/p.mpc" -unsharp 0x45 null:)
  echo "threads $t: -unsharp 0x45 $(echo "$full - $base" | bc) s"
done

echo "## libvips $(vips --version)"
vips copy "$picture" "$work/p.v"
for t in 1 2; do
  base=$(VIPS_CONCURRENCY=$t best_of vips copy "$work/p.v" "$work/o.v")
  # min-ampl 0.133: a mask of 181 taps for sigma 45
  full=$(VIPS_CONCURRENCY=$t best_of vips gaussblur "$work/p.v" "$work/o.v" 45 --min-ampl 0.133 --precision float)
  echo "threads $t: gaussblur sigma 45 float $(echo "$full - $base" | bc) s"
done

echo "## OpenCV (python3-opencv)"
/usr/bin/python3 - "$picture" <<'PY'
import sys, time
import cv2, numpy as np
picture = cv2.imread(sys.argv[1])
flt = picture.astype(np.float32)
k = cv2.getGaussianKernel(181, 45.0, cv2.CV_32F)
print("opencv", cv2.__version__, "kernel", k.shape[0], "taps")
def best(f, n=2):
    t = 1e9
    for _ in range(n):
        s = time.perf_counter(); f(); t = min(t, time.perf_counter() - s)
    return t
for threads in (1, 2):
    cv2.setNumThreads(threads)
    a = best(lambda: cv2.sepFilter2D(flt, -1, k, k, borderType=cv2.BORDER_REPLICATE))
    b = best(lambda: cv2.GaussianBlur(flt, (181, 181), 45.0, borderType=cv2.BORDER_REPLICATE))
    c = best(lambda: cv2.GaussianBlur(picture, (181, 181), 45.0, borderType=cv2.BORDER_REPLICATE), 3)
    print(f"threads {threads}: sepFilter2D float {a:.3f} s, GaussianBlur float {b:.3f} s, GaussianBlur 8-bit {c:.3f} s")
PY
