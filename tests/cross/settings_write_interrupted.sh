#!/usr/bin/env bash
# A settings file whose rewrite cannot finish keeps its old bytes, in both
# builds: the writer is killed half way (file size limit, default signal),
# or its writes fail (the same limit with the signal ignored). Lifting the
# limit then lets the same write through, so the limit was what stopped it.
set -uo pipefail
: "${NATIVE_BIN:?}" "${WIN32_BIN:?}" "${WINE_RUN:?}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
winpath() { printf 'Z:%s' "${1//\//\\}"; }
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }

# About 290 KB, the plug-in's section last: a cut-off copy would lose it.
{
  printf '[Other]\r\n'
  for i in $(seq 1 8000); do printf 'key%05d=some value that takes room\r\n' "$i"; done
  printf '[ChromalinePlugIn]\r\nUSMAmount=1\r\n'
} >"$work/original"

# run BUILD MODE PATH: the tool's write of USMAmount=2 under a 64 KB limit.
run() {
  local build=$1 mode=$2 path=$3
  (
    [ "$mode" = fail ] && trap '' XFSZ
    [ "$mode" = free ] || ulimit -f 64
    if [ "$build" = native ]; then
      exec "$NATIVE_BIN/settings_tool" write "$path" USMAmount=2
    else
      exec "$WINE_RUN" "$WIN32_BIN/settings_tool.exe" write "$(winpath "$path")" USMAmount=2
    fi
  ) >/dev/null 2>&1
} 2>/dev/null  # the shell's own note of a killed writer

for build in native windows; do
  # A running wine server keeps the limit of the process that started it.
  [ "$build" = windows ] && "$WINE_RUN" "$WIN32_BIN/settings_tool.exe" read "$(winpath "$work/none.jpg")" >/dev/null
  for mode in killed fail; do
    dir=$work/$build-$mode
    mkdir -p "$dir"
    cp "$work/original" "$dir/a.zprop"
    run "$build" "$mode" "$dir/a.jpg"
    cmp -s "$dir/a.zprop" "$work/original" || fail "$build, writer $mode: the old file was changed"
    if [ "$mode" = fail ]; then
      extra=$(find "$dir" -type f ! -name a.zprop | wc -l)
      [ "$extra" -eq 0 ] || fail "$build, writes failing: temporary file left behind"
    fi
  done
  dir=$work/$build-free
  mkdir -p "$dir"
  cp "$work/original" "$dir/a.zprop"
  run "$build" free "$dir/a.jpg"
  grep -q $'^USMAmount=2\r$' "$dir/a.zprop" || fail "$build: the write without a limit did not go through"
  head -n 8001 "$dir/a.zprop" | cmp -s - <(head -n 8001 "$work/original") || fail "$build: the other section changed"
done

if [ "$failures" -ne 0 ]; then
  echo "$failures interrupted-write checks failed"
  exit 1
fi
echo "interrupted settings writes: killed or failing writers leave the old file intact in both builds"
