#!/usr/bin/env bash
# The native plug-in and Chromaline.dll under Wine must give the same
# pictures, byte for byte, for the same photos and settings: each stage
# alone, each tone mode, a host region, and everything together, through
# 24- and 32-bit host bitmaps.
set -uo pipefail
: "${NATIVE_BIN:?}" "${WIN32_BIN:?}" "${WINE_RUN:?}" "${SOURCE_DIR:?}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

declare -A cases=(
  [gamma]="--set GammaAdj=1 --set GammaVal=0.8"
  [gamma-dark]="--set GammaAdj=1 --set GammaVal=-0.45"
  [levels]="--set AutoLevels=1"
  [levels-region]="--set AutoLevels=1 --region 40,30,300,200"
  [contrast]="--set Defog=1 --set DefogVal=40"
  [unsharp]="--set USMEnable=1 --set USMRadius=1.6 --set USMAmount=150 --set USMThreshold=2"
  [unsharp-default]="--set USMEnable=1"
  [gray0]="--set ToneFilter=1 --set FilterParam=0"
  [gray1]="--set ToneFilter=1 --set FilterParam=1"
  [gray2]="--set ToneFilter=1 --set FilterParam=2"
  [gray3]="--set ToneFilter=1 --set FilterParam=3"
  [gray4]="--set ToneFilter=1 --set FilterParam=4"
  [gray5]="--set ToneFilter=1 --set FilterParam=5"
  [sepia]="--set ToneFilter=1 --set FilterParam=16"
  [sepia-red]="--set ToneFilter=1 --set FilterParam=19"
  [all]="--set GammaAdj=1 --set GammaVal=0.3 --set AutoLevels=1 --set Defog=1 --set DefogVal=25 --set USMEnable=1 --set USMRadius=2.5 --set USMAmount=120 --set USMThreshold=3 --set ToneFilter=1 --set FilterParam=18"
)

checked=0
differ=0
for sample in "$SOURCE_DIR"/samples/*.png; do
  name=$(basename "$sample" .png)
  for case in "${!cases[@]}"; do
    bit_depths="24"
    [ "$case" = all ] || [ "$case" = sepia ] && bit_depths="24 32"
    for bits in $bit_depths; do
      native_out=$work/$name-$case-$bits-native.bmp
      windows_out=$work/$name-$case-$bits-windows.bmp
      # shellcheck disable=SC2086
      "$NATIVE_BIN/chromaline-host" filter ${cases[$case]} --bitmap "$bits" "$sample" "$native_out" || exit 1
      # shellcheck disable=SC2086
      "$WINE_RUN" "$WIN32_BIN/chromaline-host.exe" filter ${cases[$case]} --bitmap "$bits" \
        "Z:$sample" "Z:$windows_out" || exit 1
      checked=$((checked + 1))
      if ! "$NATIVE_BIN/chromaline-host" compare "$native_out" "$windows_out"; then
        differ=$((differ + 1))
      fi
    done
  done
done
if [ "$differ" -ne 0 ]; then
  echo "$differ of $checked pictures differ between the native plug-in and Chromaline.dll"
  exit 1
fi
echo "$checked pictures identical between the native plug-in and Chromaline.dll"
