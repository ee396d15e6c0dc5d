#!/usr/bin/env bash
# The release build under qemu-user with processor models that lack what
# this machine has: Haswell-v4 (AVX2, no AVX-512), Haswell-v4 without FMA
# (AVX2 alone: the AVX2 loops need FMA as well, so the SSE2 ones must
# run), Nehalem (no AVX) and qemu64 (nothing past SSE2). Under each model
# the run-time choice of vector loops must take exactly what the model has
# (checked by name), must never run an instruction the model lacks (an
# illegal instruction ends the run), and the pictures must come out byte
# for byte as on the real processor. ASan does not suit qemu-user, hence
# the release build.
#
# What runs under each model (the four in parallel, one log per model):
# only what takes the run-time choice of loops, on small pictures;
# - the filter tests, but for those that never reach a vector loop (the
#   worker team, the thread variable, kernel weights, tables) and those
#   whose pictures are too large for the emulator:
#   PointRows.EveryColourThroughGrayscaleAndSepiaInEveryMode (2^24 colours;
#   natively it checks every form of the loops, AVX2 included, on every
#   colour), UnsharpMaskThreads.* (thread counts, large pictures) and
#   AutoLevels.ARunningCountEqualToTheThresholdIsNotAboveIt (2^23 pixels;
#   the other auto-levels cases take the same loops on small ones);
# - the plug-in tests that filter pictures through the entry point (point
#   stages, sharpening, bitmap transfer, the pipeline), but for the thread
#   counts; under the models other than Haswell-v4 also without
#   SharpeningThroughThePlugin.SamplePhotosMatchTheReference (their
#   sharpening takes the SSE2 loops, which the native tests also check);
# - chromaline-host on two samples, grayscale alone and every stage at
#   once (sepia), compared with the same run on the real processor.
# A new test that filters pictures belongs in these lists unless it is
# about something other than the processor. Never time anything under the
# emulator: it is far slower than the real processor.
set -uo pipefail
: "${RELEASE_BIN:?}" "${SOURCE_DIR:?}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

models="Haswell-v4:avx2 Haswell-v4,-fma:sse2 Nehalem:sse2 qemu64:sse2"
samples="coffee chelsea"
declare -A cases=(
  [gray]="--set ToneFilter=1 --set FilterParam=1"
  [all]="--set GammaAdj=1 --set GammaVal=0.3 --set AutoLevels=1 --set Defog=1 --set DefogVal=25 --set USMEnable=1 --set USMRadius=2.5 --set USMAmount=120 --set USMThreshold=3 --set ToneFilter=1 --set FilterParam=18"
)

# The pictures of the real processor.
for sample in $samples; do
  for case in "${!cases[@]}"; do
    # shellcheck disable=SC2086
    "$RELEASE_BIN/chromaline-host" filter ${cases[$case]} "$SOURCE_DIR/samples/$sample.png" \
      "$work/$sample-$case-native.bmp" || { echo "host failed natively: $sample $case"; exit 1; }
  done
done

filter_skip="PointRows.EveryColourThroughGrayscaleAndSepiaInEveryMode:UnsharpMaskThreads.*"
filter_skip="$filter_skip:AutoLevels.ARunningCountEqualToTheThresholdIsNotAboveIt"
filter_skip="$filter_skip:WorkerTeam.*:ThreadVariable.*:BlurKernel.*:BlurKernelRadius.*:GammaTable.*"
filter_skip="$filter_skip:BuildLevelsTable.*:SepiaPalette.*:HlsToRgb.*"

run_model() {  # model expected-path: every step, into its own log; fails on the first failed step
  local model=$1 path=$2 emulate=(qemu-x86_64 -cpu "$1")
  # The models run side by side: each keeps its settings and remembered
  # files in a folder of its own.
  mkdir -p "$work/$model-home"
  export HOME=$work/$model-home XDG_CONFIG_HOME=$work/$model-home/.config
  local plugin="PointStagesThroughThePlugin.*:SharpeningThroughThePlugin.*:BitmapTransfer.*:FilterPipeline.*"
  [ "$model" = Haswell-v4 ] || plugin="$plugin-SharpeningThroughThePlugin.SamplePhotosMatchTheReference"
  CHROMALINE_TEST_PROCESSOR_PATH=$path "${emulate[@]}" "$RELEASE_BIN/chromaline_filter_tests" \
    --gtest_filter="-$filter_skip" || return 1
  (cd "$RELEASE_BIN" && "${emulate[@]}" ./chromaline_plugin_tests --gtest_filter="$plugin") || return 1
  for sample in $samples; do
    for case in "${!cases[@]}"; do
      local out=$work/$sample-$case-$model.bmp
      # shellcheck disable=SC2086
      "${emulate[@]}" "$RELEASE_BIN/chromaline-host" filter ${cases[$case]} "$SOURCE_DIR/samples/$sample.png" "$out" ||
        return 1
      "$RELEASE_BIN/chromaline-host" compare "$work/$sample-$case-native.bmp" "$out" || {
        echo "$sample $case: the picture differs from the real processor's"
        return 1
      }
    done
  done
  echo "all steps passed"
}

pids=()
for entry in $models; do
  run_model "${entry%%:*}" "${entry#*:}" >"$work/${entry%%:*}.log" 2>&1 &
  pids+=($!)
done
failed=0
i=0
for entry in $models; do
  model=${entry%%:*}
  if wait "${pids[$i]}"; then
    echo "== $model: filter and plug-in tests passed, $(echo "$samples" | wc -w) x ${#cases[@]} pictures identical"
  else
    failed=$((failed + 1))
    echo "== $model: FAILED"
    grep -v -e '^qemu-x86_64: warning' -e 'TCG doesn' "$work/$model.log" | tail -n 40
  fi
  i=$((i + 1))
done
[ "$failed" -eq 0 ] && echo "the release build is right under Haswell-v4, Haswell-v4 without FMA, Nehalem and qemu64"
[ "$failed" -eq 0 ]
