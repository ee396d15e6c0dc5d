#!/usr/bin/env bash
# The command line's safety rules, each the way a person would meet it,
# with real files in a temporary folder and the real program as a child:
#   - a picture named like a temporary file, and an unrelated *.part.png
#   - a full disk (a small tmpfs when this runs as root; otherwise the
#     file size limit with SIGXFSZ ignored, which fails the writes the same
#     way with "File too large")
#   - a read-only folder (as the user nobody when this runs as root), as
#     the output's folder and as the input's
#   - a folder where the output should be
#   - the output naming the input: same path, another spelling, a hard
#     link, a symbolic link; --in-place, which refuses what it would lower
#     (read-only, 16-bit, CMYK) and filters a picture named twice once
#   - an existing output left alone, --overwrite
#   - the settings store read only unless --save-store
#   - settings refused before any picture is read, as a table (presets by
#     name among them: an unknown name, writing back a shipped preset)
#   - a run that would change nothing is refused; values out of the
#     dialog's ranges in files are used with a warning
#   - Ctrl+C as a real SIGINT, sent when the first picture of a batch is
#     reported written: exit 130, whole outputs only, no temporary file
#   - an interrupted batch resumed
#   - the order of the system calls: the temporary file flushed, renamed
#     onto the output, then the folder flushed (strace natively, Wine's
#     relay trace for the Windows build)
#   - an output that is a symbolic link leading nowhere
#   - outputs that cannot be written found before filtering; IN FOLDER
#   - temporaries a killed run left: named, removed when provably stale
#   - accented and CJK names given and found in folders; a picture whose
#     name the plug-in can only be given in short form
#   - -j N: the bytes of -j 1, the lines in order, Ctrl+C and a killed
#     parent with workers
#   - every output read back against what was asked (quality, colour
#     resolution): a note where the encoder did less, and --in-place
#     never replaces a picture with one of clearly lower quality
#   - a picture no stage changes is never encoded again: left untouched
#     in place, copied byte for byte to another name of its format
#   - every path given or walked gets its output (hard links too); "-" as
#     standard input and output; options the run ignores named; "IN OUT"
#     onto an existing OUT fails; -n makes nothing; --keep-time; the folder
#     test leaves nothing behind; Windows: wildcards and one separator
# HOST is the program to run (with a Windows build: "wine-run.sh x.exe");
# HOST_KIND is "native" or "windows" (what the platform cannot do is
# skipped with a line saying so). Paths given to the program are relative
# to the work folder, so they mean the same under Wine.
set -uo pipefail
: "${HOST:?}" "${SOURCE_DIR:?}"
HOST_KIND=${HOST_KIND:-native}
# A program named relative to the caller's folder still runs from the work folder.
read -r host_program host_arguments <<<"$HOST"
if [ "${host_program#/}" = "$host_program" ] && [ -e "$host_program" ]; then
  HOST="$PWD/$host_program${host_arguments:+ $host_arguments}"
fi
. "$SOURCE_DIR/tests/cli/make_bmp.sh"
. "$SOURCE_DIR/tests/cli/write_order.sh"
work=$(mktemp -d)
mounts=()
cleanup() {
  for m in "${mounts[@]}"; do umount "$m" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT
cd "$work" || exit 1
failures=0
checks=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
check() { checks=$((checks + 1)); }
# shellcheck disable=SC2086
host() { $HOST "$@"; }
leftovers() { find "${1:-.}" -name '.*.tmp' | head -1; }
# interrupt_at_first_written LOG ARGS...: runs the program with its progress
# on a pipe and sends it SIGINT the moment it reports its first picture
# written ("[1/N] IN -> OUT"); returns its exit status, its standard error
# in LOG. Nothing is timed: the signal follows what the program says.
interrupt_at_first_written() {
  local log=$1 pipe line pid
  shift
  pipe=$(mktemp -u "$work/progress.XXXXXX")
  mkfifo "$pipe"
  $HOST "$@" 2>"$pipe" &
  pid=$!
  exec 3<"$pipe"
  : >"$log"
  while IFS= read -r line <&3; do
    printf '%s\n' "$line" >>"$log"
    case $line in "[1/"*) kill -INT "$pid"; break ;; esac
  done
  cat <&3 >>"$log"
  exec 3<&-
  rm -f "$pipe"
  wait "$pid"
}
sample=$SOURCE_DIR/samples/coffee.png
small=small.png  # for the cases where the picture's size does not matter
convert "$sample" -resize 60x40 "$small"
tone="--set ToneFilter=1"

# 1. A picture named like the old temporary name is still there.
mkdir t1 && cp "$sample" t1/pic.part.png
host filter $tone t1/pic.part.png t1/pic.png 2>t1.err; rc=$?; check
[ $rc -eq 0 ] || fail "pic.part.png into pic.png: exit $rc: $(cat t1.err)"
cmp -s "$sample" t1/pic.part.png || fail "the input pic.part.png was lost or changed"
[ -s t1/pic.png ] || fail "pic.png was not written"

# 2. An unrelated holiday.part.png in the folder is kept.
mkdir t2 && cp "$sample" t2/coffee.png && echo "not ours" >t2/holiday.part.png
host filter $tone t2/coffee.png t2/holiday.png 2>/dev/null; check
[ "$(cat t2/holiday.part.png 2>/dev/null)" = "not ours" ] || fail "holiday.part.png was deleted or changed"
[ -z "$(leftovers t2)" ] || fail "a temporary file was left: $(leftovers t2)"

# 3. A full disk: the good keep.png and keep.bmp stay, the exit status says
#    so, the message names the file and the system's reason.
make_bmp 1200 900 big.bmp
full_disk() {  # full_disk FOLDER: a 4 MB tmpfs, or nothing (then a file size limit)
  if [ "$(id -u)" -eq 0 ] && mkdir -p "$1" && mount -t tmpfs -o size=4m tmpfs "$1" 2>/dev/null; then
    mounts+=("$work/$1"); return 0
  fi
  mkdir -p "$1"; return 1
}
if full_disk t3; then limit=""; reason="no space left\|not enough space\|disk full\|disk is full"; else
  limit=1024; reason="file too large\|not enough space\|disk full\|disk is full"; echo "note: no tmpfs could be mounted; the disk is full by a 1 MB file size limit"
fi
cp "$sample" t3/keep.png
host filter $tone big.bmp t3/keep.bmp 2>/dev/null  # 3.2 MB
cp t3/keep.png keep.png.before; cp t3/keep.bmp keep.bmp.before
[ -z "$limit" ] && head -c $((600 * 1024)) /dev/zero >t3/filler 2>/dev/null
for target in keep.png keep.bmp new.png; do
  ( [ -n "$limit" ] && { trap '' XFSZ; ulimit -f "$limit"; }
    replace=--overwrite; [ "$target" = new.png ] && replace=""
    exec $HOST filter $tone --set Defog=1 $replace big.bmp "t3/$target" ) 2>t3.err
  rc=$?; check
  [ $rc -ne 0 ] || fail "full disk, $target: exit 0"
  if [ "$target" = new.png ]; then
    [ -e t3/new.png ] && fail "full disk: a partial new.png was left ($(stat -c %s t3/new.png) bytes)"
  else
    cmp -s "t3/$target" "$target.before" || fail "full disk: the old $target was replaced or damaged"
  fi
  grep -q "t3[/\\\\]$target" t3.err || fail "full disk: the message does not name t3/$target: $(cat t3.err)"
  grep -qi "$reason" t3.err || fail "full disk: the message gives no system reason: $(cat t3.err)"
  ! grep -q '\.tmp' t3.err || fail "full disk: the message names the temporary file: $(cat t3.err)"
  [ -z "$(leftovers t3)" ] || fail "full disk: a temporary file was left: $(leftovers t3)"
done

# 4. A read-only folder: refused with the reason, nothing left behind. As
#    root, the native build runs as the user nobody in a folder without
#    write permission; the Windows build gets a tmpfs remounted read-only.
mkdir t4 && cp "$sample" t4/old.png && chmod 555 t4
as_user=()
if [ "$(id -u)" -eq 0 ]; then
  as_user=(skip)
  if [ "$HOST_KIND" = native ] && setpriv --reuid=nobody --regid=nogroup --clear-groups true 2>/dev/null; then
    chmod 755 "$work"; as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
  elif mkdir t4ro && mount -t tmpfs -o size=1m tmpfs t4ro 2>/dev/null; then
    mounts+=("$work/t4ro"); cp t4/old.png t4ro/old.png
    mount -o remount,ro t4ro && { chmod 755 t4; rm -rf t4; ln -s t4ro t4; as_user=(); }
  fi
fi
if [ "${as_user[0]:-}" = skip ]; then
  echo "skipped: read-only folder (root ignores permissions, and neither another user nor a read-only mount is available)"
else
  "${as_user[@]}" $HOST filter $tone --overwrite "$sample" t4/old.png 2>t4.err; rc=$?; check
  [ $rc -eq 3 ] || fail "read-only folder: exit $rc, expected 3"
  cmp -s "$sample" t4/old.png || fail "read-only folder: old.png changed"
  grep -q "t4[/\\\\]old.png" t4.err && grep -qi "permission denied\|access denied\|read-only\|protected" t4.err ||
    fail "read-only folder: the message lacks the file or the reason: $(cat t4.err)"
  # A read-only folder of pictures into a writable -o folder works.
  mkdir -p t4rw/out && chmod 777 t4rw/out
  "${as_user[@]}" $HOST filter $tone -o t4rw/out t4/old.png 2>t4.err; rc=$?; check
  [ $rc -eq 0 ] && [ -s t4rw/out/old.png ] ||
    fail "a read-only folder of pictures into a writable -o folder: exit $rc: $(cat t4.err)"
  # A batch from a writable folder into the read-only one is refused
  # before any picture is read: a broken picture among them is never
  # opened, every output is named.
  mkdir t4in && chmod 777 t4in && cp "$sample" t4in/good.png && echo "not a picture" >t4in/broken.png
  "${as_user[@]}" $HOST filter $tone -o t4 t4in/good.png t4in/broken.png 2>t4.err; rc=$?; check
  # (Windows names the outputs under -o with its own separator.)
  [ $rc -eq 4 ] && grep "t4[/\\]good.png" t4.err | grep -qi "permission denied\|access denied\|read-only\|protected" &&
    grep -q "t4[/\\]broken.png" t4.err && ! grep -v "t4[/\\]broken.png" t4.err | grep -q "broken.png" ||
    fail "read-only output folder: not refused before filtering, output by output: exit $rc: $(cat t4.err)"
fi
chmod 755 t4 2>/dev/null

# 5. A folder where the output file should be: in a batch refused, the
#    folder untouched; "IN FOLDER" writes into it, as cp does.
mkdir -p t5/out.png/inside t5/a_x.png/inside && cp "$sample" t5/a.png
host filter $tone --suffix _x t5/a.png 2>t5.err; rc=$?; check
[ $rc -eq 4 ] || fail "output is a folder: exit $rc, expected 4"
[ -d t5/a_x.png/inside ] || fail "output is a folder: the folder was touched"
grep "t5[/\\]a_x.png" t5.err | grep -q "folder" || fail "output is a folder: no reason given: $(cat t5.err)"
host filter $tone "$sample" t5/out.png 2>t5.err; rc=$?; check
[ $rc -eq 0 ] && [ -d t5/out.png/inside ] && [ -s t5/out.png/coffee.png ] ||
  fail "IN FOLDER: exit $rc, not written into the folder: $(cat t5.err)"

# 6. The output names the input: refused without --in-place, whatever the
#    spelling or link; with --in-place replaced whole, mode kept.
mkdir -p t6/sub && cp "$sample" t6/pic.png && chmod 640 t6/pic.png
ln t6/pic.png t6/hard.png
ln -s pic.png t6/soft.png
# (--overwrite is for other files; it never makes the input an output.)
for given in "" --overwrite; do
  for out in t6/pic.png t6/sub/../pic.png ./t6/pic.png t6/hard.png t6/soft.png; do
    host filter $tone $given t6/pic.png "$out" 2>t6.err; rc=$?; check
    [ $rc -eq 3 ] || fail "$given output $out names the input: exit $rc, expected 3"
    cmp -s "$sample" t6/pic.png || fail "$given output $out named the input and the input changed"
    grep -q -- "--in-place" t6.err || fail "$given output $out: the refusal does not name --in-place: $(cat t6.err)"
  done
done
[ -L t6/soft.png ] || fail "the symbolic link was replaced"
host filter $tone --in-place t6/pic.png 2>/dev/null; rc=$?; check
[ $rc -eq 0 ] || fail "--in-place: exit $rc"
cmp -s "$sample" t6/pic.png && fail "--in-place: the picture was not filtered"
[ "$HOST_KIND" = windows ] || [ "$(stat -c %a t6/pic.png)" = 640 ] || fail "--in-place: mode $(stat -c %a t6/pic.png), expected 640"
host compare t6/pic.png t6/pic.png >/dev/null || fail "--in-place: the result does not read back"

# 6b. --in-place never lowers what it replaces: a read-only picture, a
#     16-bit PNG or TIFF, a CMYK JPEG and a palette PNG are refused and left as they were
#     (exit 4), the rest of the batch goes on; a picture named twice, once
#     through a symbolic link, is filtered once.
mkdir t6b && cp "$sample" t6b/plain.png && cp "$sample" t6b/locked.png && chmod 444 t6b/locked.png
convert -size 16x12 gradient:red-blue -depth 16 t6b/deep.png
convert -size 16x12 gradient:red-blue -depth 16 -compress none t6b/deep.tif
convert -size 16x12 gradient:red-blue -colorspace CMYK t6b/cmyk.jpg
convert -size 16x12 xc:red -fill blue -draw "rectangle 0,0 7,5" -type Palette PNG8:t6b/palette.png
kept=(locked.png deep.png deep.tif cmyk.jpg palette.png)
for f in "${kept[@]}"; do cp "t6b/$f" "t6b/$f.orig"; done
host filter $tone --in-place t6b/locked.png t6b/deep.png t6b/deep.tif t6b/cmyk.jpg t6b/palette.png t6b/plain.png 2>t6b.err; rc=$?; check
[ $rc -eq 4 ] || fail "--in-place of pictures it would lower: exit $rc, expected 4: $(cat t6b.err)"
for f in "${kept[@]}"; do
  cmp -s "t6b/$f" "t6b/$f.orig" && grep -q "t6b[/\\\\]$f" t6b.err ||
    fail "--in-place of $f: replaced or not named: $(cat t6b.err)"
done
cmp -s "$sample" t6b/plain.png && fail "--in-place: the plain picture after the refused ones was not filtered"
# Every picture counted is shown at its place, refused or written: 1..N.
counted=$(grep -o '\[[0-9]*/5\]' t6b.err | sort -u | tr -d '\n')
[ "$counted" = "[1/5][2/5][3/5][4/5][5/5]" ] || fail "--in-place: the count skips pictures: $counted: $(cat t6b.err)"
sharpen="--set USMEnable=1 --set USMAmount=300 --set USMRadius=2"
# Three pictures between the two names: the first is written back before
# the link is read (at most two writes stay in flight behind one read ahead).
cp "$sample" t6b/twice.png && ln -s twice.png t6b/link.png
for f in a b c; do cp "$sample" "t6b/$f.png"; done
host filter $sharpen "$sample" t6b/once.png 2>/dev/null
host filter $sharpen --in-place t6b/twice.png t6b/a.png t6b/b.png t6b/c.png t6b/link.png 2>t6b.err; rc=$?; check
[ $rc -eq 0 ] && host compare t6b/once.png t6b/twice.png >/dev/null ||
  fail "--in-place of one picture named twice (once through a link): exit $rc, not filtered exactly once"

# 7. An existing output of a batch is left alone with a note (IN OUT: 27);
#    --overwrite replaces it.
mkdir t7 && echo "old bytes" >t7/out.png && echo "old bytes" >t7/coffee.png
host filter $tone -o t7 "$sample" 2>t7.err; rc=$?; check
[ $rc -eq 0 ] || fail "existing output: exit $rc"
[ "$(cat t7/coffee.png)" = "old bytes" ] || fail "existing output replaced without --overwrite"
grep -q "overwrite" t7.err || fail "existing output: no note: $(cat t7.err)"
host filter $tone --overwrite "$sample" t7/out.png 2>/dev/null; check
[ "$(head -c 4 t7/out.png | tail -c 3)" = "PNG" ] || fail "--overwrite did not replace the output"

# 8. The settings store is read only unless --save-store.
mkdir t8 && cp "$SOURCE_DIR/presets/crisp.store" t8/p.store
host filter --store t8/p.store --set GammaAdj=1 "$sample" t8/a.png 2>/dev/null; check
cmp -s "$SOURCE_DIR/presets/crisp.store" t8/p.store || fail "--store without --save-store changed the store"
host filter --store t8/p.store --set Bogus=7 "$sample" t8/b.png 2>/dev/null; check
grep -q Bogus t8/p.store && fail "a misspelt key went into the store"
host filter --store t8/p.store --set GammaAdj=1 --save-store "$sample" t8/c.png 2>/dev/null; check
grep -q "GammaAdj	i	1" t8/p.store || fail "--save-store did not write GammaAdj"
[ -z "$(leftovers t8)" ] || fail "store: a temporary file was left"
host filter --store t8/missing.store "$sample" t8/d.png 2>t8.err; rc=$?; check
[ $rc -eq 3 ] && grep -q "t8/missing.store" t8.err || fail "a missing store: exit $rc: $(cat t8.err)"
# A missing store is made by --save-store.
host filter --store t8/new.store --set Defog=1 --save-store "$small" t8/e.png 2>t8.err; rc=$?; check
[ $rc -eq 0 ] && grep -q "Defog	i	1" t8/new.store || fail "--save-store of a missing store: exit $rc: $(cat t8.err)"
# A --preset value with a "." or a "/" is a store's path, never a preset's
# name: read like --store, and written back by --save-store.
printf 'ChromalinePlugIn\tToneFilter\ti\t1\n' >mine.store
host filter --preset mine.store "$small" t8/mine.png 2>t8.err; rc=$?; check
host filter --store mine.store "$small" t8/store.png 2>/dev/null
[ $rc -eq 0 ] && host compare t8/mine.png t8/store.png >/dev/null ||
  fail "--preset mine.store: exit $rc, not the store mine.store: $(cat t8.err)"
host filter --preset ./mine.store --set Defog=1 --save-store "$small" t8/saved.png 2>t8.err; rc=$?; check
[ $rc -eq 0 ] && grep -q "Defog	i	1" mine.store ||
  fail "--preset ./mine.store --save-store: exit $rc, the store not written back: $(cat t8.err)"

# 9. Settings refused before any picture is read: exit 2, the key, value
#    and accepted range named, nothing written.
refusals=(
  "--set Sharpen=1|Sharpen"
  "--set Defog=yes|yes"
  "--set USMRadius=2,5|decimal point"
  "--set USMAmount=99999999999|1 to 500"
  "--set USMAmount=501|1 to 500"
  "--set DefogVal=0|1 to 100"
  "--set GammaVal=2.5|-1 to 2"
  "--set GammaVal=nan|nan"
  "--set USMRadius=0.05|0.1 to 120"
  "--set USMThreshold=256|0 to 255"
  "--set FilterParam=6|16 to 21"
  "--set ToneFilter=2|0 (off) or 1"
  "--set HotKey=70000|65535"
  "--set Defog|KEY=VALUE"
  "--set USMAmount=1.5|integer"
  "--region abc|L,T,R,B"
  "--region 0,0,600,400junk|L,T,R,B"
  "--region 0,0,600|L,T,R,B"
  "--quality 0|1 to 100"
  "--quality 101|1 to 100"
  "--format gif|png, jpeg"
  "--bogus|unknown option"
  "--qualty 90|did you mean --quality?"
  "--preset nosuch|the presets are crisp, haze, mono, vintage"
  "--preset crisp --save-store|--store FILE"
)
mkdir t9
for row in "${refusals[@]}"; do
  args=${row%%|*} expect=${row#*|}
  # shellcheck disable=SC2086
  host filter $args "$sample" t9/out.png >t9.out 2>t9.err; rc=$?; check
  [ $rc -eq 2 ] || fail "$args: exit $rc, expected 2"
  grep -qF -- "$expect" t9.err || fail "$args: the message lacks \"$expect\": $(head -1 t9.err)"
  [ -e t9/out.png ] && { fail "$args: a picture was written"; rm -f t9/out.png; }
done
host filter --set ToneFilter=1 "$sample" t9/x.xyz 2>t9.err; rc=$?; check
[ $rc -eq 2 ] && [ ! -e t9/x.xyz ] || fail "an output type nobody writes: exit $rc, expected 2 before filtering"
# The presets are found beside the program, never in the current folder,
# and hold the stages the manual names.
mkdir presets && printf 'ChromalinePlugIn\tToneFilter\ti\t1\n' >presets/crisp.store
host filter --preset crisp "$small" t9/crisp.png 2>/dev/null; check
host filter --store "$SOURCE_DIR/presets/crisp.store" "$small" t9/crisp-store.png 2>/dev/null
host compare t9/crisp.png t9/crisp-store.png >/dev/null || fail "--preset crisp read ./presets/crisp.store"
shipped=(
  "crisp|unsharp mask (radius 1.2, amount 180 %, threshold 2)"
  "haze|auto-levels, local contrast (35 %)"
  "mono|auto-levels, unsharp mask (radius 0.5, amount 100 %, threshold 4), grayscale (BT709)"
  "vintage|gamma (offset 0.25), sepia (Standard)"
)
for row in "${shipped[@]}"; do
  IFS='|' read -r preset stages <<<"$row"
  host filter -v --preset "$preset" "$small" "t9/$preset.bmp" 2>t9.err; rc=$?; check
  [ $rc -eq 0 ] && grep -qF "small.png: $stages [from" t9.err || fail "--preset $preset: exit $rc, not $stages: $(cat t9.err)"
done
# Names in any case (keys and presets), the store's spelling wins; the same picture as exact names.
host filter --preset CRISP "$sample" t9/upper.png 2>t9.err; rc=$?; check
[ $rc -eq 0 ] && [ -s t9/upper.png ] || fail "--preset CRISP: exit $rc, not crisp in another case: $(cat t9.err)"
host filter --set defog=1 --set DEFOGVAL=40 "$sample" t9/lower.png 2>/dev/null; check
host filter --set Defog=1 --set DefogVal=40 "$sample" t9/exact.png 2>/dev/null
host compare t9/lower.png t9/exact.png >/dev/null || fail "defog=1 is not Defog=1"
host compare "$sample" t9/exact.png >/dev/null && fail "Defog=1 left the picture unchanged"

# 10. A run that would change nothing is refused before any picture is
#     read (exit 2, nothing written, the switches named): no stage on
#     anywhere, settings without their switch, or the plug-in switched off
#     (Enabled=0 by --set or in the store, one message).
#     A local settings file that switches a stage on is enough. Values out
#     of the dialog's ranges in a store or a local file are used, with one
#     warning per file naming the key, the value and the range.
mkdir t10 && cp "$sample" t10/pic.png
printf 'ChromalinePlugIn\tUSMRadius\td\t2.0\n' >t10/radius.store
printf 'ChromalinePlugIn\tEnabled\ti\t0\nChromalinePlugIn\tToneFilter\ti\t1\n' >t10/off.store
printf 'ChromalinePlugIn\tEnabled\td\t0\nChromalinePlugIn\tToneFilter\ti\t1\n' >t10/off-real.store
do_nothing=(
  ""
  "--set USMRadius=2 --set USMAmount=200"
  "--store t10/radius.store"
  "$tone --set Enabled=0"
  "--store t10/off.store"
  "--store t10/off-real.store"
)
for args in "${do_nothing[@]}"; do
  # shellcheck disable=SC2086
  host filter $args t10/pic.png t10/out.png 2>t10.err; rc=$?; check
  [ $rc -eq 2 ] && grep -q "USMEnable" t10.err && [ ! -e t10/out.png ] ||
    fail "a run that changes nothing ($args): exit $rc, expected 2 naming the switches, nothing written: $(cat t10.err)"
  rm -f t10/out.png
done
# Enabled held as a real: 1 filters as an integer 1 does.
printf 'ChromalinePlugIn\tEnabled\td\t1\nChromalinePlugIn\tToneFilter\ti\t1\n' >t10/on-real.store
host filter --store t10/on-real.store "$small" t10/on-real.png 2>t10.err; rc=$?; check
[ $rc -eq 0 ] && [ -s t10/on-real.png ] || fail "a store holding Enabled d 1: exit $rc, not filtered: $(cat t10.err)"
mkdir t10/own && cp "$sample" t10/own/pic.png
printf '[ChromalinePlugIn]\r\nUSMEnable=1\r\nUSMAmount=9999\r\nUSMRadius=-5.00\r\n' >t10/own/pic.zprop
host filter t10/own/pic.png t10/own/out.png 2>t10.err; rc=$?; check
[ $rc -eq 0 ] && [ -s t10/own/out.png ] || fail "a .zprop switching a stage on: exit $rc: $(cat t10.err)"
grep "pic.zprop" t10.err | grep "USMAmount 9999" | grep -q "500" && grep -q "USMRadius -5" t10.err ||
  fail "a .zprop out of the dialog's ranges: no warning naming file, key, value and range: $(cat t10.err)"
printf 'ChromalinePlugIn\tToneFilter\ti\t1\nChromalinePlugIn\tFilterParam\ti\t99\n' >t10/wide.store
host filter --store t10/wide.store --suffix _w t10/pic.png t10/own/pic.png 2>t10.err; rc=$?; check
[ $rc -eq 0 ] && [ "$(grep -c "wide.store: FilterParam 99" t10.err)" = 1 ] ||
  fail "a store out of the dialog's ranges: exit $rc, expected one warning naming FilterParam 99: $(cat t10.err)"
# A local file that sets nothing out of range is not blamed for the store's value.
mkdir t10/z && cp "$sample" t10/z/p.png && printf '[ChromalinePlugIn]\r\nUSMEnable=1\r\n' >t10/z/p.zprop
host filter --store t10/wide.store --suffix _w t10/z/p.png 2>t10.err; rc=$?; check
[ $rc -eq 0 ] && [ "$(grep -c "FilterParam 99" t10.err)" = 1 ] && grep -q "wide.store: FilterParam 99" t10.err &&
  ! grep -q "p.zprop" t10.err || fail "a store's FilterParam 99 under a p.zprop of USMEnable=1: exit $rc, not one warning naming the store alone: $(cat t10.err)"
# Two folders' zprop.ini, each holding the value for two pictures: one
# warning per file, not per picture, nor one for the run.
mkdir -p t10/walk/sub
for f in t10/walk/a.png t10/walk/b.png t10/walk/sub/c.png t10/walk/sub/d.png; do cp "$small" "$f"; done
for d in t10/walk t10/walk/sub; do printf '[ChromalinePlugIn]\r\nUSMEnable=1\r\nUSMAmount=9999\r\n' >"$d/zprop.ini"; done
host filter -r --suffix _w t10/walk 2>t10.err; rc=$?; check
[ $rc -eq 0 ] && [ "$(grep -c "USMAmount 9999" t10.err)" = 2 ] && grep -Eq "walk[/\\]zprop.ini: USMAmount 9999" t10.err &&
  grep -Eq "sub[/\\]zprop.ini: USMAmount 9999" t10.err ||
  fail "two zprop.ini out of range, two pictures each: exit $rc, not one warning per file: $(cat t10.err)"

# 11. --help on standard output with exit 0, the keys listed; --version.
host --help >help.out 2>/dev/null; rc=$?; check
[ $rc -eq 0 ] && grep -q USMThreshold help.out && grep -q "130" help.out || fail "--help: exit $rc or no key list"
host --version >version.out 2>&1; rc=$?; check
[ $rc -eq 0 ] && grep -q "chromaline-host 2" version.out && grep -q "Chromaline v2" version.out ||
  fail "--version: exit $rc: $(cat version.out)"
grep -q "writable here: png jpeg bmp tiff" help.out || fail "--help does not list the formats this build writes"
host filter $tone missing.png t11.png 2>t11.err; rc=$?; check
[ $rc -eq 3 ] && grep -q "missing.png" t11.err && grep -qi "no such file\|cannot find" t11.err &&
  ! grep -q "GDI+" t11.err || fail "a missing picture: exit $rc: $(cat t11.err)"
# -q: no progress and no notes (an existing output left alone), errors still.
host filter $tone -q -o t7 "$sample" 2>t11.err; rc=$?; check
[ $rc -eq 0 ] && [ ! -s t11.err ] || fail "-q: exit $rc, something said: $(cat t11.err)"
host filter $tone -q missing.png t11.png 2>t11.err; rc=$?; check
[ $rc -eq 3 ] && grep -q "missing.png" t11.err || fail "-q: exit $rc, an error not shown: $(cat t11.err)"
# compare: exit 1 when the pixels differ.
host compare "$sample" t9/exact.png >/dev/null 2>&1; rc=$?; check
[ $rc -eq 1 ] || fail "compare of two different pictures: exit $rc, expected 1"
# --plugin is the plug-in loaded; --bitmap 32 and ddb give the pixels 24 gives.
host filter $tone --plugin nowhere/none.so "$small" t11.png 2>t11.err; rc=$?; check
[ $rc -eq 3 ] && grep -q "nowhere.none.so" t11.err && [ ! -e t11.png ] ||
  fail "--plugin nowhere/none.so: exit $rc, not refused naming it: $(cat t11.err)"
host filter $sharpen "$small" t11-24.png 2>/dev/null
for kind in 32 ddb; do
  host filter $sharpen --bitmap $kind "$small" "t11-$kind.png" 2>t11.err; rc=$?; check
  [ $rc -eq 0 ] && host compare t11-24.png "t11-$kind.png" >/dev/null || fail "--bitmap $kind: exit $rc, not the pixels of 24: $(cat t11.err)"
done

# 12. Ctrl+C: a real SIGINT to a real child, sent when it reports its first
#     picture written. Eight big pictures (copies of one) leave it five or
#     more still to filter then, so it cannot finish first: exit 130, what
#     was written is the whole picture, the rest is not, no temporary file.
if [ "$HOST_KIND" = windows ]; then
  echo "skipped: Ctrl+C (a signal does not reach the program through the Wine wrapper)"
else
  mkdir -p t12/in && make_bmp 2000 1500 t12/in/p1.bmp
  for i in 2 3 4 5 6 7 8; do cp t12/in/p1.bmp "t12/in/p$i.bmp"; done
  $HOST filter --set Defog=1 t12/in/p1.bmp t12/whole.bmp 2>/dev/null
  interrupt_at_first_written t12.err filter --set Defog=1 -o t12/out t12/in; rc=$?; check
  [ $rc -eq 130 ] || fail "Ctrl+C: exit $rc, expected 130: $(cat t12.err)"
  written=$(find t12/out -name '*.bmp' 2>/dev/null | wc -l)
  [ "$written" -ge 1 ] && [ "$written" -lt 8 ] || fail "Ctrl+C: $written of 8 pictures written"
  for out in t12/out/*.bmp; do
    [ -e "$out" ] && ! cmp -s t12/whole.bmp "$out" && fail "Ctrl+C: $out is not the whole filtered picture"
  done
  [ -z "$(leftovers t12)" ] || fail "Ctrl+C: a temporary file was left: $(leftovers t12)"
  grep -q "not done: interrupted" t12.err || fail "Ctrl+C: the summary does not say so: $(cat t12.err)"
  # The summary of an interrupted batch of pictures no stage changes (so
  # copied): what was copied and what was not done make the eight.
  interrupt_at_first_written t12u.err filter --set GammaAdj=1 --set GammaVal=0 -o t12/same t12/in; rc=$?; check
  summary=$(grep "not done: interrupted" t12u.err)
  copied=$(find t12/same -name '*.bmp' 2>/dev/null | wc -l)
  counted=0
  for said in written unchanged failed "not done"; do
    n=$(grep -o "[0-9]* $said" <<<"$summary" | grep -o '^[0-9]*')
    counted=$((counted + ${n:-0}))
  done
  [ $rc -eq 130 ] && [ "$counted" -eq 8 ] && grep -q "$copied unchanged" <<<"$summary" ||
    fail "Ctrl+C among unchanged pictures: exit $rc, $copied copied, the summary counts $counted of 8: $(cat t12u.err)"

  # 13. An interrupted batch resumed: what was written is whole, the rerun
  #     leaves it alone and does the rest.
  mkdir -p t13/in
  for i in 1 2 3 4 5 6 7 8; do make_bmp 1200 800 "t13/in/p$i.bmp"; done
  $HOST filter --set Defog=1 -q -o t13/ref t13/in 2>/dev/null
  interrupt_at_first_written t13.err filter --set Defog=1 -o t13/out t13/in; rc=$?; check
  [ $rc -eq 130 ] || fail "interrupted batch: exit $rc, expected 130"
  done_before=$(find t13/out -name '*.bmp' | wc -l)
  [ "$done_before" -ge 1 ] && [ "$done_before" -lt 8 ] || fail "interrupted batch: $done_before of 8 written"
  [ -z "$(leftovers t13)" ] || fail "interrupted batch: a temporary file was left"
  $HOST filter --set Defog=1 -o t13/out t13/in 2>t13b.err; rc=$?; check
  [ $rc -eq 0 ] || fail "resumed batch: exit $rc: $(cat t13b.err)"
  [ "$(grep -c "exists; left alone" t13b.err)" -eq "$done_before" ] || fail "resumed batch: not every done picture left alone"
  for i in 1 2 3 4 5 6 7 8; do
    cmp -s "t13/ref/p$i.bmp" "t13/out/p$i.bmp" || fail "resumed batch: p$i.bmp differs from an uninterrupted run"
  done
fi

# 14. A batch: -o keeps the layout with -r, --suffix writes beside, a bad
#     picture fails alone (exit 4) and the others are written.
mkdir -p t14/in/sub && cp "$sample" t14/in/a.png && cp "$sample" t14/in/sub/b.png && echo junk >t14/in/c.png
host filter $tone -r -q -o t14/out t14/in 2>t14.err; rc=$?; check
[ $rc -eq 4 ] || fail "batch with a bad picture: exit $rc, expected 4"
[ -s t14/out/a.png ] && [ -s t14/out/sub/b.png ] && [ ! -e t14/out/c.png ] || fail "batch -r -o: wrong outputs"
grep -q "c.png" t14.err || fail "batch: the bad picture is not named: $(cat t14.err)"
host filter $tone -q --suffix -gray --format bmp t14/in/a.png t14/in/sub 2>/dev/null; check
[ -s t14/in/a-gray.bmp ] && [ -s t14/in/sub/b-gray.bmp ] || fail "batch --suffix --format: wrong outputs"
# -r -o into a folder inside the walked one: its results are not taken
# for pictures when it is there already (the second run).
mkdir -p t14/nest && cp "$sample" t14/nest/a.png
for run in first second; do
  host filter $tone -q -r --overwrite -o t14/nest/out t14/nest 2>t14.err; rc=$?; check
  [ $rc -eq 0 ] && [ -s t14/nest/out/a.png ] && [ ! -e t14/nest/out/out ] ||
    fail "-r -o into the walked folder, $run run: exit $rc, $(find t14/nest | tr '\n' ' '): $(cat t14.err)"
done

# 15. An output reaches the disk before it replaces the old file: the
#     temporary file is flushed, renamed onto the output, then the folder
#     that holds the rename is flushed (Windows: the move is written
#     through). Read from the system calls: strace natively; for the
#     Windows build Wine's relay trace of the few calls that matter, named
#     in the project prefix's RelayInclude for this one run.
mkdir t15 && echo "old bytes" >t15/out.png
order=skip
if [ "$HOST_KIND" = windows ]; then
  wine_run=${HOST%% *} debug_key='HKCU\Software\Wine\Debug'
  $wine_run reg add "$debug_key" /v RelayInclude /f /d "kernel32.CreateFileA;kernel32.CreateFileW;\
kernel32.FlushFileBuffers;kernel32.MoveFileExA;kernel32.MoveFileExW;kernel32.ReplaceFileA;kernel32.ReplaceFileW" \
    >/dev/null 2>&1
  WINEDEBUG=+relay $HOST filter $tone --overwrite "$sample" t15/out.png 2>t15.trace; rc=$?
  $wine_run reg delete "$debug_key" /v RelayInclude /f >/dev/null 2>&1
  order=$(windows_write_order t15.trace t15/out.png)
elif command -v strace >/dev/null && strace -o /dev/null true 2>/dev/null; then
  # LeakSanitizer cannot work under ptrace.
  ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0 \
    strace -ff -qq -e trace=open,openat,fsync,fdatasync,rename,renameat,renameat2 -o t15.trace \
    $HOST filter $tone --overwrite "$sample" t15/out.png 2>t15.err; rc=$?
  order=$(native_write_order t15.trace t15/out.png)
else
  echo "skipped: the order of the system calls (strace is missing or may not trace here)"
fi
if [ "$order" != skip ]; then
  check
  [ $rc -eq 0 ] || fail "traced run: exit $rc"
  [[ $order =~ ^TF+RD$ ]] || fail "t15/out.png is not flushed, renamed over the old file, then the rename flushed," \
    "in that order: seen \"$order\" (T temporary made, F it flushed, R renamed onto the output, D the rename flushed)"
fi

# 16. An output that is a symbolic link leading nowhere (here out of the
#     output folder) is an output someone made: left alone by a batch,
#     still a link, without --overwrite; with it the link itself is replaced by the
#     picture and nothing is made where it pointed.
mkdir -p t16/out t16/elsewhere && ln -s ../elsewhere/gone.png t16/out/a.png
if [ "$HOST_KIND" = windows ]; then
  echo "skipped: a link leading nowhere left alone (Wine shows such a link to Windows programs as no file at all)"
else
  cp "$sample" t16/a.png
  host filter $tone -o t16/out t16/a.png 2>t16.err; rc=$?; check
  [ $rc -eq 0 ] && [ -L t16/out/a.png ] && grep -q "left alone" t16.err ||
    fail "a link leading nowhere, no --overwrite: exit $rc, not left alone: $(cat t16.err)"
  [ -z "$(ls -A t16/elsewhere)" ] || fail "a link leading nowhere, no --overwrite: written through: $(ls -A t16/elsewhere)"
fi
host filter $tone --overwrite "$sample" t16/out/a.png 2>t16.err; rc=$?; check
[ $rc -eq 0 ] && [ ! -L t16/out/a.png ] && [ -s t16/out/a.png ] ||
  fail "--overwrite of a link leading nowhere: exit $rc, the link not replaced by the picture: $(cat t16.err)"
[ -z "$(ls -A t16/elsewhere)" ] || fail "--overwrite wrote through a link leading nowhere: $(ls -A t16/elsewhere)"
[ -z "$(leftovers t16)" ] || fail "a link leading nowhere: a temporary file was left: $(leftovers t16)"

# 17. Outputs that cannot be written are refused before any filtering,
#     naming the file and the reason; "IN FOLDER" writes into the folder.
mkdir -p t17/into t17/batch && cp "$sample" t17/batch/a.png
host filter $tone "$sample" t17/into 2>t17.err; rc=$?; check
[ $rc -eq 0 ] && [ -s t17/into/coffee.png ] || fail "IN FOLDER: exit $rc, not written into the folder: $(cat t17.err)"
host filter $tone --format png "$sample" t17/x.jpg 2>t17.err; rc=$?; check
[ $rc -eq 2 ] && [ ! -e t17/x.jpg ] && grep -q "t17[/\\\\]x.jpg" t17.err ||
  fail "--format png into x.jpg: exit $rc, expected 2 and nothing written: $(cat t17.err)"
host filter $tone --suffix "" t17/batch/a.png 2>t17.err; rc=$?; check
[ $rc -eq 2 ] && grep -q "suffix" t17.err && cmp -s "$sample" t17/batch/a.png ||
  fail "--suffix \"\": exit $rc, expected a usage error: $(cat t17.err)"
# An -o that is a file is refused as a whole (exit 2, the file as it was);
# two pictures of one run with one output name: the second is refused
# (exit 4), the first written.
mkdir -p t17/other && cp "$sample" t17/other/a.png && echo "a file" >t17/plain
clashes=(
  "-o t17/plain t17/batch/a.png|2|t17/plain: is a file|"
  "-o t17/both t17/batch/a.png t17/other/a.png|4|another picture of this run|t17/both/a.png"
)
for row in "${clashes[@]}"; do
  IFS='|' read -r args want said written <<<"$row"
  # shellcheck disable=SC2086
  host filter $tone $args 2>t17.err; rc=$?; check
  [ $rc -eq "$want" ] && grep -qF -- "$said" t17.err && [ "$(cat t17/plain)" = "a file" ] &&
    { [ -z "$written" ] || [ -s "$written" ]; } ||
    fail "$args: exit $rc, expected $want saying \"$said\"${written:+, $written written}: $(cat t17.err)"
done

# 18. A temporary a killed run left beside an output is named by the next
#     run writing that output; removed when its writer (named in it) is
#     gone and it is a file of ours, else left with a warning.
mkdir t18
if [ "$HOST_KIND" = windows ]; then
  gone=4000000  # no Windows process has such an id here
else
  gone=$(sh -c 'echo $$')  # a process that has ended
fi
head -c 3000000 /dev/zero >"t18/.out.png.$gone-abcdefgh.tmp"
echo "someone else's" >t18/.out.png.unnamed.tmp
[ "$HOST_KIND" = windows ] || echo "still being written" >"t18/.out.png.$$-abcdefgh.tmp"
host filter $tone "$sample" t18/out.png 2>t18.err; rc=$?; check
[ $rc -eq 0 ] && [ -s t18/out.png ] || fail "stale temporaries: exit $rc: $(cat t18.err)"
[ ! -e "t18/.out.png.$gone-abcdefgh.tmp" ] && grep -q "out.png.$gone-abcdefgh.tmp" t18.err ||
  fail "a temporary of a writer that is gone: not removed and named: $(cat t18.err)"
[ -e t18/.out.png.unnamed.tmp ] && grep -q "out.png.unnamed.tmp" t18.err ||
  fail "a temporary naming no writer: not left and named: $(cat t18.err)"
if [ "$HOST_KIND" != windows ]; then
  [ -e "t18/.out.png.$$-abcdefgh.tmp" ] && grep -q "out.png.$$-abcdefgh.tmp" t18.err ||
    fail "a temporary of a writer still running: not left and named: $(cat t18.err)"
fi

# 19. Names beyond ASCII, given and found: an accented JPEG and a CJK PNG
#     given directly, the same found by walking a folder with a Japanese
#     name; each filtered and written under the right name, and named
#     rightly in what the program prints. A CJK picture with its own
#     settings file: on Windows it has no name in the system's code page,
#     so the plug-in is given its short name, under which that file is not
#     found; a warning names it. Natively the file applies.
mkdir -p t19/フォト t19/zp
convert "$sample" -quality 90 t19/Ünï.jpg && cp t19/Ünï.jpg t19/plain.jpg
cp "$sample" t19/写真.png
cp t19/Ünï.jpg t19/写真.png t19/フォト/
host filter $tone --suffix -out t19/Ünï.jpg 2>t19.err; rc=$?; check
[ $rc -eq 0 ] && [ -s t19/Ünï-out.jpg ] && grep -Eq "t19[/\\\\]Ünï.jpg -> t19[/\\\\]Ünï-out.jpg" t19.err ||
  fail "Ünï.jpg given directly: exit $rc: $(cat t19.err)"
host filter $tone --suffix -out t19/plain.jpg 2>/dev/null
host compare t19/Ünï-out.jpg t19/plain-out.jpg >t19.out 2>&1; rc=$?; check
[ $rc -eq 0 ] || fail "Ünï.jpg filtered unlike the same picture under an ASCII name: exit $rc: $(cat t19.out)"
host filter $tone --suffix _f t19/写真.png 2>t19.err; rc=$?; check
[ $rc -eq 0 ] && [ -s t19/写真_f.png ] && grep -Eq "t19[/\\\\]写真.png -> t19[/\\\\]写真_f.png" t19.err ||
  fail "写真.png given directly: exit $rc, written: $(ls t19 | tr '\n' ' '): $(cat t19.err)"
host filter $tone -o t19/out t19/フォト 2>t19.err; rc=$?; check
[ $rc -eq 0 ] && [ "$(ls t19/out | tr '\n' ' ')" = "Ünï.jpg 写真.png " ] &&
  grep -Eq "フォト[/\\\\]写真.png -> t19[/\\\\]out[/\\\\]写真.png" t19.err ||
  fail "the folder フォト walked: exit $rc, written: $(ls t19/out 2>&1 | tr '\n' ' '): $(cat t19.err)"
[ -z "$(leftovers t19)" ] || fail "a temporary file was left: $(leftovers t19)"
cp "$sample" t19/zp/写真.png
printf '[ChromalinePlugIn]\r\nAutoLevels=1\r\n' >t19/zp/写真.zprop
host filter $tone -v t19/zp/写真.png t19/zp/out.png 2>t19.err; rc=$?; check
[ $rc -eq 0 ] && [ -s t19/zp/out.png ] || fail "写真.png with its own .zprop: exit $rc: $(cat t19.err)"
if [ "$HOST_KIND" = windows ]; then
  grep "warning" t19.err | grep -q "写真.zprop" ||
    fail "写真.png given to the plug-in by its short name: no warning naming 写真.zprop: $(cat t19.err)"
else
  grep -q "from .*写真.zprop" t19.err || fail "写真.zprop did not apply to 写真.png: $(cat t19.err)"
fi

# 20. A picture whose pixels no stage changes (no stage on for it, or
#     stages that change nothing) is not encoded again: --in-place leaves
#     its bytes and time, -o and --suffix copy it byte for byte when the
#     format stays, and the summary counts it.
mkdir -p t20/in t20/out
convert "$sample" -quality 97 t20/orig.jpg
for f in plain gamma; do cp t20/orig.jpg "t20/$f.jpg"; done
cp t20/orig.jpg t20/in/other.jpg && cp "$sample" t20/in/own.png
printf '[ChromalinePlugIn]\r\nToneFilter=1\r\n' >t20/in/own.zprop
touch -d 2001-02-03 t20/in/other.jpg t20/gamma.jpg
unchanged=(
  "-o t20/out t20/in/own.png t20/in/other.jpg|t20/out/other.jpg|copied"
  "--in-place t20/in/own.png t20/in/other.jpg|t20/in/other.jpg|left as they were"
  "--set GammaAdj=1 --set GammaVal=0 --in-place t20/gamma.jpg|t20/gamma.jpg|left as they were"
  "--set GammaAdj=1 --set GammaVal=0 --suffix _s t20/plain.jpg|t20/plain_s.jpg|copied"
)
for row in "${unchanged[@]}"; do
  IFS='|' read -r args out said <<<"$row"
  # shellcheck disable=SC2086
  host filter $args 2>t20.err; rc=$?; check
  [ $rc -eq 0 ] && cmp -s t20/orig.jpg "$out" && grep -q "1 unchanged.*$said" t20.err ||
    fail "no pixel changed ($args): exit $rc, $out not the input's bytes or not counted: $(cat t20.err)"
  case $args in *--in-place*)
    [ "$(stat -c %Y "$out")" = "$(date -d 2001-02-03 +%s)" ] || fail "no pixel changed ($args): $out touched" ;;
  esac
done
cmp -s "$sample" t20/in/own.png && fail "--in-place: the picture its own .zprop switches a stage on for was not filtered"
host filter --set GammaAdj=1 --set GammaVal=0 --suffix _p --format png t20/plain.jpg 2>/dev/null; check
[ "$(head -c 4 t20/plain_p.png | tail -c 3)" = PNG ] || fail "no pixel changed, another format: not converted"
# A copy that cannot be written (the disk full, here by a 1 MB file size
# limit) fails like any output: the picture counted failed, named with
# the reason, nothing left behind.
mkdir t20/full
( trap '' XFSZ; ulimit -f 1024; exec $HOST filter --set GammaAdj=1 --set GammaVal=0 -o t20/full big.bmp ) 2>t20.err
rc=$?; check
[ $rc -eq 4 ] && grep -Eq "t20[/\\]full[/\\]big.bmp: cannot be written: [A-Za-z]" t20.err &&
  [ -z "$(ls -A t20/full)" ] || fail "an unchanged picture whose copy fails: exit $rc, not failed with the file and the reason: $(cat t20.err)"

# 21. Each output is read back before it replaces anything. A quality the
#     encoder did not write is named for that picture (Wine's encoder
#     writes its own), and nothing is said where it did. --in-place of a
#     quality-98 4:2:2 JPEG either keeps that quality and colour
#     resolution or refuses (exit 4, the picture as it was, the reason):
#     natively it keeps them.
mkdir t21
convert "$sample" -quality 98 -sampling-factor 2x1 t21/src.jpg
for q in 95 60; do
  host filter $tone --quality $q t21/src.jpg "t21/q$q.jpg" 2>t21.err; rc=$?; check
  written=$(identify -format %Q "t21/q$q.jpg")
  # (identify's estimate and ours may be one apart on a camera's tables.)
  if [ "$written" -lt $((q - 2)) ]; then
    grep "t21[/\\\\]q$q.jpg" t21.err | grep -q "quality [0-9]* where $q was asked" ||
      fail "--quality $q, quality $written written: not said: $(cat t21.err)"
  else
    ! grep -q "quality [0-9]* where" t21.err || fail "--quality $q, quality $written written: a shortfall said: $(cat t21.err)"
  fi
done
cp t21/src.jpg t21/in.jpg
host filter $sharpen --in-place t21/in.jpg 2>t21.err; rc=$?; check
if [ $rc -eq 0 ]; then
  [ "$(identify -format %Q t21/in.jpg)" -ge 93 ] && identify -format '%[jpeg:sampling-factor]' t21/in.jpg | grep -q '^[12]x1,' ||
    fail "--in-place: replaced by $(identify -format '%Q %[jpeg:sampling-factor]' t21/in.jpg) from 98 2x1"
else
  [ $rc -eq 4 ] && [ "$HOST_KIND" = windows ] && cmp -s t21/src.jpg t21/in.jpg &&
    grep "t21[/\\\\]in.jpg" t21.err | grep -q "where the original had" ||
    fail "--in-place of a quality-98 4:2:2 JPEG: exit $rc, not kept and not refused with the reason: $(cat t21.err)"
fi
# A JPEG written back at its own colour resolution or finer is not
# refused: 4:4:4 and 4:2:0 sources (natively kept as they were).
for row in "1x1|1x1" "2x2|[12]x[12]"; do
  IFS='|' read -r factor kept <<<"$row"
  convert "$sample" -quality 90 -sampling-factor $factor "t21/s$factor.jpg" && cp "t21/s$factor.jpg" "t21/o$factor.jpg"
  host filter $sharpen --in-place "t21/s$factor.jpg" 2>t21.err; rc=$?; check
  [ $rc -eq 0 ] && ! cmp -s "t21/s$factor.jpg" "t21/o$factor.jpg" &&
    identify -format '%[jpeg:sampling-factor]' "t21/s$factor.jpg" | grep -q "^$kept," ||
    { [ $rc -eq 4 ] && [ "$HOST_KIND" = windows ] && cmp -s "t21/s$factor.jpg" "t21/o$factor.jpg"; } ||
    fail "--in-place of a quality-90 $factor JPEG: exit $rc, not written back at $kept: $(cat t21.err)"
done

# 22. What a run is given: --suffix never filters its own outputs, named
#     or found (the manual's "--suffix -gray *.png" run twice); one picture
#     named twice is filtered once with a note, for -o and --in-place; a
#     picture's own settings file switches a stage on for it alone, and
#     the others of the batch are still written.
mkdir -p t22/in
cp "$sample" t22/coffee.png && cp "$sample" t22/in/a.png && cp "$sample" t22/in/b.png
printf '[ChromalinePlugIn]\r\nToneFilter=1\r\n' >t22/in/a.zprop
host filter $tone --suffix -gray t22/coffee.png 2>/dev/null
host filter $tone --suffix -gray t22/coffee.png t22/coffee-gray.png 2>t22.err; rc=$?; check
[ $rc -eq 0 ] && [ ! -e t22/coffee-gray-gray.png ] && grep "coffee-gray.png" t22.err | grep -q "suffix" ||
  fail "--suffix -gray given its own output: exit $rc, $(ls t22 | tr '\n' ' '): $(cat t22.err)"
# The same over a folder walk: the second run takes no output for a picture.
mkdir -p t22/walk/sub && cp "$small" t22/walk/a.png && cp "$small" t22/walk/sub/b.png
for run in first second; do
  host filter $tone -r --suffix -gray t22/walk 2>t22.err; rc=$?; check
  found=$(find t22/walk -type f | LC_ALL=C sort | tr '\n' ' ')
  [ $rc -eq 0 ] && [ "$found" = "t22/walk/a-gray.png t22/walk/a.png t22/walk/sub/b-gray.png t22/walk/sub/b.png " ] ||
    fail "-r --suffix -gray, $run run: exit $rc, $found: $(cat t22.err)"
done
for mode in "-o t22/out" "--in-place"; do
  host filter $tone $mode t22/coffee.png t22/./coffee.png 2>t22.err; rc=$?; check
  [ $rc -eq 0 ] && [ "$(grep -c "named twice" t22.err)" = 1 ] ||
    fail "$mode with one picture named twice: exit $rc, expected 0 and one note: $(cat t22.err)"
done
host filter -o t22/pairs t22/in 2>t22.err; rc=$?; check
[ $rc -eq 0 ] && [ -s t22/pairs/a.png ] && [ -s t22/pairs/b.png ] ||
  fail "a batch where only a.png's own settings file switches a stage on: exit $rc: $(cat t22.err)"
# --ignore-local: the picture's own file (sepia here) does not apply; the
# global settings do, and the output is where it was asked.
mkdir t22/local && cp "$small" t22/local/p.png && printf '[ChromalinePlugIn]\r\nToneFilter=1\r\n' >t22/local/p.zprop
host filter --set USMEnable=1 --ignore-local t22/local/p.png t22/local/out.png 2>t22.err; rc=$?; check
host filter --set USMEnable=1 "$small" t22/sharpened.png 2>/dev/null
[ $rc -eq 0 ] && host compare t22/local/out.png t22/sharpened.png >/dev/null ||
  fail "--ignore-local: exit $rc, not the global settings alone: $(cat t22.err)"

# 23. --region L,T,R,B is the rectangle auto-levels measures: the whole
#     picture given is the default; the top rows alone measure otherwise.
mkdir t23 && convert -size 16x12 gradient:gray30-gray70 t23/in.png
for region in "" "--region 0,0,16,12" "--region 0,0,16,3"; do
  host filter --set AutoLevels=1 $region t23/in.png "t23/out${region##* }.png" 2>t23.err || fail "$region: $(cat t23.err)"
done
check
host compare t23/out.png t23/out0,0,16,12.png >/dev/null && ! host compare t23/out.png t23/out0,0,16,3.png >/dev/null ||
  fail "--region: the whole picture is not the default, or the top rows measure like the whole"

# 24. Every path given or walked gets its output: with -o a hard link in a
#     second folder is a second picture (written, not "left alone"); with
#     --in-place the file behind two links is filtered once.
mkdir -p t23/lib/2024 t23/lib/Favorites && cp "$sample" t23/lib/2024/s.png
ln t23/lib/2024/s.png t23/lib/Favorites/s.png
host filter $tone -r -o t23/out t23/lib 2>t23.err; rc=$?; check
[ $rc -eq 0 ] && [ -s t23/out/2024/s.png ] && [ -s t23/out/Favorites/s.png ] && ! grep -q "left alone" t23.err ||
  fail "-o with a hard link in a second folder: exit $rc, $(find t23/out -type f | tr '\n' ' '): $(cat t23.err)"
host filter $sharpen "$sample" t23/once.png 2>/dev/null
host filter $sharpen --in-place -r t23/lib 2>t23.err; rc=$?; check
[ $rc -eq 0 ] && host compare t23/once.png t23/lib/2024/s.png >/dev/null ||
  fail "--in-place of one file behind two links: exit $rc, not filtered exactly once: $(cat t23.err)"

# 25. "-" is standard input as IN and standard output as OUT (the format of
#     --format, else the input's), byte for byte (binary mode on Windows:
#     a PNG's signature holds CR LF and Ctrl+Z); no file named "-" is ever
#     made or read, "./-" still names one; "-" goes with "IN OUT" only.
mkdir t24 && cd t24 || exit 1
host filter $tone "$sample" ref.png 2>/dev/null
host filter $tone --format jpeg "$sample" ref.jpg 2>/dev/null
export WINE_RUN_STDIN=1
host filter $tone - in.png <"$sample" 2>../t24.err; rc=$?; check
[ $rc -eq 0 ] && cmp -s ref.png in.png || fail "- as IN: exit $rc, not the picture of the file: $(cat ../t24.err)"
host filter $tone "$sample" - >out.png 2>../t24.err; rc=$?; check
[ $rc -eq 0 ] && cmp -s ref.png out.png || fail "- as OUT: exit $rc, not the bytes of the file: $(cat ../t24.err)"
host filter $tone --format jpeg "$sample" - >out.jpg 2>../t24.err; rc=$?; check
[ $rc -eq 0 ] && cmp -s ref.jpg out.jpg || fail "--format jpeg into -: exit $rc, not the JPEG of the file: $(cat ../t24.err)"
host filter $tone - - <"$sample" >pipe.png 2>../t24.err; rc=$?; check
[ $rc -eq 0 ] && cmp -s ref.png pipe.png || fail "- -: exit $rc, not the picture of the file: $(cat ../t24.err)"
host filter $tone - - <ref.jpg >pipe.jpg 2>../t24.err; rc=$?; check
[ $rc -eq 0 ] && [ "$(head -c 2 pipe.jpg | od -An -tx1 | tr -d ' ')" = ffd8 ] ||
  fail "- - from a JPEG: exit $rc, not written as a JPEG: $(cat ../t24.err)"
printf 'no picture' | host filter $tone - x.png 2>../t24.err; rc=$?; check
[ $rc -ne 0 ] && [ ! -e x.png ] && grep -q "standard input" ../t24.err ||
  fail "- as IN with no picture in it: exit $rc: $(cat ../t24.err)"
unset WINE_RUN_STDIN
[ -e - ] && fail "a file named - was made"
cp "$sample" ./- && touch -d '2001-02-03 04:05:06' ./-
host filter $tone ./- dash.png 2>../t24.err; rc=$?; check
[ $rc -eq 0 ] && cmp -s ref.png dash.png || fail "./- as IN: exit $rc: $(cat ../t24.err)"
WINE_RUN_STDIN=1 host filter $tone --keep-time - kept.png <"$sample" 2>/dev/null; check
[ "$(stat -c %Y kept.png)" != "$(stat -c %Y ./-)" ] || fail "--keep-time from standard input took the time of the file ./-"
host filter $tone -o out - 2>../t24.err; rc=$?; check
[ $rc -eq 2 ] && [ ! -e out ] || fail "- with -o: exit $rc: $(cat ../t24.err)"
cd "$work" || exit 1

# 26. An option the run does not use is named with the reason, as a
#     table: options and pictures, then what the warning says ("" for
#     none); --format with --in-place is refused.
mkdir t25 && cp "$sample" t25/in.png
while IFS='|' read -r args said; do
  rm -rf t25/out t25/*.jpg t25/a.png
  # shellcheck disable=SC2086
  host filter $tone $args 2>t25.err >/dev/null; check
  if [ -z "$said" ]; then
    ! grep -q "ignored" t25.err || fail "$args: a warning where none belongs: $(cat t25.err)"
  else
    grep -F -- "$said" t25.err | grep -q "ignored" || fail "$args: no warning \"$said\": $(cat t25.err)"
  fi
done <<'TABLE'
--quality 90 t25/in.png t25/a.png|warning: --quality 90: ignored
--quality 90 t25/in.png t25/a.jpg|
--quality 90 --format jpeg -o t25/out t25/in.png|
-r -o t25/out t25/in.png|warning: -r: ignored
-r -o t25/out t25|
--overwrite --in-place t25/in.png|warning: --overwrite: ignored
--keep-time t25/in.png -|warning: --keep-time: ignored
--region 0,0,4,4 t25/in.png t25/a.png|warning: --region: ignored
--region 0,0,4,4 --set AutoLevels=1 t25/in.png t25/a.png|
-q -v t25/in.png t25/a.png|warning: -q: ignored
-v -q t25/in.png t25/a.png|warning: -v: ignored
-n --save-store --store t25/s.store t25/in.png t25/a.png|warning: --save-store: ignored
TABLE
cp "$sample" t25/in.png
host filter $tone --in-place --format jpeg t25/in.png 2>t25.err; rc=$?; check
[ $rc -eq 2 ] && cmp -s "$sample" t25/in.png || fail "--format with --in-place: exit $rc: $(cat t25.err)"

# 27. The shell pattern that names one picture too many ("two/*.png" with
#     two pictures): "IN OUT" with an existing OUT fails (also into a
#     folder that has the picture), names the ways out and leaves OUT as
#     it was; the batch forms keep leaving existing outputs alone.
mkdir -p t26/two t26/into && cp "$sample" t26/two/a.png && cp "$sample" t26/two/b.png && cp "$sample" t26/into/a.png
host filter --preset crisp t26/two/*.png 2>t26.err; rc=$?; check
[ $rc -ne 0 ] && cmp -s "$sample" t26/two/b.png || fail "IN OUT onto an existing OUT: exit $rc, or OUT replaced"
for way in --overwrite -o --suffix --in-place; do
  grep -q -- "$way" t26.err || fail "IN OUT onto an existing OUT: $way not named: $(cat t26.err)"
done
host filter $tone t26/two/a.png t26/into 2>t26.err; rc=$?; check
[ $rc -ne 0 ] && cmp -s "$sample" t26/into/a.png || fail "IN FOLDER holding the picture: exit $rc: $(cat t26.err)"
host filter $tone --suffix -c t26/two/a.png 2>/dev/null
host filter $tone --suffix -c t26/two/a.png t26/two/b.png 2>t26.err; rc=$?; check
[ $rc -eq 0 ] && grep -q "a-c.png: exists; left alone" t26.err && [ -s t26/two/b-c.png ] ||
  fail "--suffix with one output there: exit $rc: $(cat t26.err)"

# 28. -n says what each picture would come to and makes nothing: no
#     folder, no output, no temporary or test file (natively every system
#     call that could make or remove a name is traced), an old temporary
#     only named; the exit status is the real run's.
mkdir -p t27/in t27/done && cp "$sample" t27/in/a.png && cp "$sample" t27/in/b.png && cp "$sample" t27/in/c.png
printf '[ChromalinePlugIn]\r\nToneFilter=1\r\n' >t27/in/a.zprop
stale=.a.png.999999-abcdefgh.tmp
[ "$HOST_KIND" = windows ] && stale=.a.png.4000000-abcdefgh.tmp  # no Windows process has such an id
echo "old" >t27/done/c.png && echo "left" >"t27/done/$stale"
dry() {  # dry ARGS...: the dry run, traced natively where strace may trace
  if [ "$HOST_KIND" = native ] && strace -o /dev/null true 2>/dev/null; then
    ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0 strace -f -qq -o t27.trace \
      -e trace=open,openat,mkdir,mkdirat,unlink,unlinkat,rename,renameat,renameat2,creat,link,linkat,symlink,symlinkat \
      $HOST filter "$@"
  else
    : >t27.trace
    $HOST filter "$@"
  fi
  local rc=$?
  cat t27.trace >>t27.all
  return $rc
}
before=$(find t27 | sort; find t27 -type f -exec md5sum {} +)
dry -n -o t27/done/new t27/in >t27.out 2>t27.err; rc=$?; check
dry -n -o t27/done t27/in >>t27.out 2>>t27.err; check
dry -n --ignore-local $tone -o t27/done t27/in >/dev/null 2>>t27.err; check
after=$(find t27 | sort; find t27 -type f -exec md5sum {} +)
[ $rc -eq 0 ] && [ "$before" = "$after" ] || fail "-n: exit $rc, or the folders changed: $(cat t27.err)"
made=$(grep -E '(mkdir|unlink|rename|creat|link)[a-z0-9]*\(|O_CREAT|O_TMPFILE' t27.all | grep -v '= -1')
[ -z "$made" ] || fail "-n made or removed a name: $made"
grep -q "a.png -> .*new.a.png: filtered" t27.out && grep -q "b.png -> .*new.b.png: copied unchanged" t27.out &&
  grep -q "c.png -> .*done.c.png: left alone" t27.out && grep -q "would be removed" t27.out ||
  fail "-n: not what each picture would come to: $(cat t27.out)"
dry -n $tone t27/in/a.png t27/done/c.png >t27.out 2>t27.err; rc=$?; check
[ $rc -eq 3 ] && grep -q "would fail" t27.out || fail "-n onto an existing OUT: exit $rc, expected 3: $(cat t27.out)"
dry -n $tone -o t27/o t27/in/missing.png t27/in/a.png >t27.out 2>t27.err; rc=$?; check
[ $rc -eq 4 ] && [ ! -e t27/o ] || fail "-n with a missing picture: exit $rc, expected 4: $(cat t27.out)"

# 29. --keep-time: the output (also --in-place) takes its input's
#     modification time; without it the output has its own.
mkdir t28 && cp "$sample" t28/in.png && cp "$sample" t28/self.png
touch -d '2001-02-03 04:05:06' t28/in.png t28/self.png
host filter $tone --keep-time t28/in.png t28/out.png 2>t28.err; rc=$?; check
[ $rc -eq 0 ] && [ "$(stat -c %Y t28/out.png)" = "$(stat -c %Y t28/in.png)" ] ||
  fail "--keep-time: exit $rc, output time $(stat -c %y t28/out.png): $(cat t28.err)"
host filter $tone --keep-time --in-place t28/self.png 2>t28.err; rc=$?; check
[ $rc -eq 0 ] && ! cmp -s "$sample" t28/self.png && [ "$(stat -c %Y t28/self.png)" = "$(stat -c %Y t28/in.png)" ] ||
  fail "--keep-time --in-place: exit $rc, time $(stat -c %y t28/self.png): $(cat t28.err)"
host filter $tone t28/in.png t28/own.png 2>/dev/null; check
[ "$(stat -c %Y t28/own.png)" != "$(stat -c %Y t28/in.png)" ] || fail "without --keep-time the output has the input's time"

# 30. The test that a folder takes files leaves nothing behind, even where
#     removing a file fails (natively: every unlink fails with EIO).
mkdir t29
if [ "$HOST_KIND" = native ] && strace -o /dev/null true 2>/dev/null; then
  ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0 strace -f -qq -o /dev/null \
    -e inject=unlink,unlinkat:error=EIO $HOST filter $tone "$sample" t29/out.png 2>t29.err; rc=$?; check
  [ $rc -eq 0 ] && [ -s t29/out.png ] && [ -z "$(find t29 -name '.*')" ] ||
    fail "the folder test with unlink failing: exit $rc, left $(ls -A t29 | tr '\n' ' '): $(cat t29.err)"
else
  echo "skipped: the folder test with unlink failing (strace natively)"
fi

# 31. Windows: the program expands wildcards itself (cmd.exe passes *.png
#     on as it is) and names files with one separator throughout.
mkdir -p "t30/Trip 2024" && cp "$sample" t30/a.png && cp "$sample" t30/b.png && cp "$sample" "t30/Trip 2024/c.png"
if [ "$HOST_KIND" = windows ]; then
  host filter $tone --suffix -c 't30/*.png' 2>t30.err; rc=$?; check
  [ $rc -eq 0 ] && [ -s t30/a-c.png ] && [ -s t30/b-c.png ] && grep -qF '[1/2] t30\a.png' t30.err ||
    fail "*.png given to the program: exit $rc, or not in the order of the names: $(cat t30.err)"
  sep='\'
else
  sep=/
fi
host filter $tone -r -o t30/out t30 2>t30.err; rc=$?; check
[ $rc -eq 0 ] && grep -qF "t30${sep}Trip 2024${sep}c.png -> t30${sep}out${sep}Trip 2024${sep}c.png" t30.err ||
  fail "a walked picture not named with one separator: exit $rc: $(cat t30.err)"

# 32. -j N: N pictures at once, each in a worker process of its own. The
#     bytes are those of -j 1 (one picture finds its own settings file, so
#     the worker must be given the picture's name as -j 1 gives it), with
#     N below, at and above the picture count and on one picture. The
#     lines come in the run's order: the first picture is the largest, so
#     the small ones after it are done first. Natively also Ctrl+C with
#     N jobs (exit 130, whole outputs, a re-run completes the batch alike)
#     and a parent killed outright: its workers end too.
mkdir -p t32/in
make_bmp 900 700 t32/in/a.bmp
for f in b d e; do make_bmp 40 30 "t32/in/$f.bmp"; done
cp t32/in/b.bmp t32/in/c.bmp
printf '[ChromalinePlugIn]\r\nToneFilter=1\r\n' >t32/in/c.zprop
host filter $sharpen -q -j 1 -o t32/one t32/in 2>t32.err; rc=$?; check
[ $rc -eq 0 ] && [ "$(ls t32/one | wc -l)" -eq 5 ] || fail "-j 1: exit $rc: $(cat t32.err)"
cmp -s t32/one/b.bmp t32/one/c.bmp && fail "-j 1: c.bmp's own settings file did not apply"
# --ignore-local: the workers give the plug-in the name in the empty folder.
host filter $sharpen -q -j 3 --ignore-local -o t32/none t32/in 2>t32.err; rc=$?; check
[ $rc -eq 0 ] && cmp -s t32/none/b.bmp t32/none/c.bmp ||
  fail "-j 3 --ignore-local: exit $rc, c.bmp's own settings file applied: $(cat t32.err)"
for row in "-j 3|t32/in" "-j 5|t32/in" "--jobs 256|t32/in" "-j 3|t32/in/a.bmp" "-j 8|t32/in/b.bmp t32/in/c.bmp"; do
  IFS='|' read -r jobs given <<<"$row"
  rm -rf t32/many
  # shellcheck disable=SC2086
  host filter $sharpen $jobs -o t32/many $given 2>t32.err; rc=$?; check
  for out in t32/many/*; do
    cmp -s "$out" "t32/one/${out##*/}" || fail "$jobs ($given): ${out##*/} differs from -j 1"
  done
  expected=$(wc -w <<<"$given"); [ "$given" = t32/in ] && expected=5
  [ $rc -eq 0 ] && [ "$(ls t32/many | wc -l)" -eq "$expected" ] ||
    fail "$jobs ($given): exit $rc, $(ls t32/many | wc -l) of $expected written: $(cat t32.err)"
  # Each picture's line once, in the run's order.
  shown=$(grep -o '^\[[0-9]*/[0-9]*\]' t32.err | tr -d '\n')
  want=$(seq -s '' -f "[%g/$expected]" 1 "$expected")
  [ "$shown" = "$want" ] || fail "$jobs ($given): the lines are not in the run's order: $shown: $(cat t32.err)"
done
for bad in 0 -1 x 257; do
  host filter $sharpen -j "$bad" -o t32/bad t32/in 2>t32.err; rc=$?; check
  [ $rc -eq 2 ] && [ ! -e t32/bad ] && grep -q -- "-j $bad" t32.err || fail "-j $bad: exit $rc: $(cat t32.err)"
done
if [ "$HOST_KIND" = windows ]; then
  echo "skipped: Ctrl+C and a killed parent with -j (a signal does not reach the program through the Wine wrapper)"
else
  interrupt_at_first_written t32i.err filter --set Defog=1 -j 3 -o t32/out t12/in; rc=$?; check
  written=$(find t32/out -name '*.bmp' 2>/dev/null | wc -l)
  [ $rc -eq 130 ] && [ "$written" -ge 1 ] && [ "$written" -lt 8 ] && [ -z "$(leftovers t32)" ] &&
    ! grep -q "worker process\|failed" t32i.err ||
    fail "Ctrl+C with -j 3: exit $rc, $written of 8 written, temporaries: $(leftovers t32): $(cat t32i.err)"
  # Every picture written is named, also one done after an earlier one
  # that was dropped.
  for out in t32/out/*.bmp; do
    grep -q "t12/in/${out##*/} -> " t32i.err || fail "Ctrl+C with -j 3: ${out##*/} written but not named: $(cat t32i.err)"
  done
  $HOST filter --set Defog=1 -j 3 -o t32/out t12/in 2>t32.err; rc=$?; check
  for out in t32/out/*.bmp; do cmp -s t12/whole.bmp "$out" || fail "Ctrl+C with -j 3, resumed: $out differs"; done
  [ $rc -eq 0 ] && [ "$(ls t32/out | wc -l)" -eq 8 ] || fail "Ctrl+C with -j 3, resumed: exit $rc: $(cat t32.err)"
  # The workers killed outright once a picture is shown done: the pictures
  # they had are failed and named, so are those no worker is left for
  # (exit 4), and what was written is whole.
  pipe=$(mktemp -u "$work/progress.XXXXXX") && mkfifo "$pipe"
  $HOST filter --set Defog=1 -j 2 -o t32/lost t12/in 2>"$pipe" &
  pid=$!
  exec 3<"$pipe"
  : >t32k.err
  while IFS= read -r line <&3; do
    printf '%s\n' "$line" >>t32k.err
    case $line in "[1/"*) kill -KILL $(ps -o pid= --ppid "$pid"); break ;; esac
  done
  cat <&3 >>t32k.err
  exec 3<&-
  wait "$pid"; rc=$?; check
  failed=$(grep -c "ended unexpectedly\|no worker process is left" t32k.err)
  [ $rc -eq 4 ] && [ "$failed" -ge 1 ] && [ $((failed + $(ls t32/lost | wc -l))) -eq 8 ] &&
    grep -q "$(ls t32/lost | wc -l) written, $failed failed" t32k.err ||
    fail "workers killed: exit $rc, $failed pictures named failed: $(cat t32k.err)"
  for out in t32/lost/*.bmp; do cmp -s t12/whole.bmp "$out" || fail "workers killed: $out is not whole"; done
  rm -f "$pipe"
  # The parent killed outright once it has shown a picture done: each
  # worker it had ends by itself.
  pipe=$(mktemp -u "$work/progress.XXXXXX") && mkfifo "$pipe"
  $HOST filter --set Defog=1 -j 3 -o t32/killed t12/in 2>"$pipe" &
  pid=$!
  exec 3<"$pipe"
  while IFS= read -r line <&3; do case $line in "[1/"*) break ;; esac; done
  children=$(ps -o pid= --ppid "$pid")
  kill -KILL "$pid"
  cat <&3 >/dev/null &  # the workers' standard error stays open
  wait "$pid" 2>/dev/null; check
  [ -n "$children" ] || fail "-j 3: no worker process seen"
  for child in $children; do
    timeout 60 tail --pid="$child" -f /dev/null || fail "-j 3: worker $child outlived its killed parent"
  done
  exec 3<&-
  rm -f "$pipe"
fi
if [ "$failures" -ne 0 ]; then
  echo "$failures failures in $checks checks ($HOST_KIND)"
  exit 1
fi
echo "$checks command-line safety checks passed ($HOST_KIND)"
