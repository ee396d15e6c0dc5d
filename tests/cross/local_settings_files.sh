#!/usr/bin/env bash
# Local settings files across the two builds: the Windows build (the
# system's profile functions, under Wine) and the native build (the
# project's own profile code) write byte-identical files for the same
# settings, each reads what the other wrote, both read odd files alike, and
# both rewrite an untidy file to the same bytes.
set -uo pipefail
: "${NATIVE_BIN:?}" "${WIN32_BIN:?}" "${WINE_RUN:?}"
for tool in "$NATIVE_BIN/settings_tool" "$WIN32_BIN/settings_tool.exe"; do
  [ -x "$tool" ] || [ -f "$tool" ] || { echo "missing $tool"; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
native() { "$NATIVE_BIN/settings_tool" "$@"; }
windows() { "$WINE_RUN" "$WIN32_BIN/settings_tool.exe" "$@" | tr -d '\r'; }
winpath() { printf 'Z:%s' "${1//\//\\}"; }
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
checks=0

# 1. The default settings: the twelve CRLF lines, from both writers.
mkdir -p "$work/n" "$work/w"
native write "$work/n/a.jpg"
windows write "$(winpath "$work/w/a.jpg")"
printf '[ChromalinePlugIn]\r\nToneFilter=0\r\nFilterParam=0\r\nGammaAdj=0\r\nGammaVal=0.00\r\nDefog=0\r\nDefogVal=10\r\nAutoLevels=0\r\nUSMRadius=0.50\r\nUSMAmount=100\r\nUSMThreshold=4\r\nUSMEnable=0\r\n' >"$work/expected"
cmp -s "$work/n/a.zprop" "$work/expected" || fail "native default file differs from the twelve lines"
cmp -s "$work/w/a.zprop" "$work/expected" || fail "Windows default file differs from the twelve lines"
checks=$((checks + 2))

# 2. Other settings: identical bytes, and each build reads the other's file.
sets=(
  "GammaVal=0.666 USMAmount=250"
  "ToneFilter=1 FilterParam=19 GammaAdj=1 GammaVal=-0.455 Defog=1 DefogVal=40 AutoLevels=1 USMEnable=1 USMRadius=2.675 USMAmount=120 USMThreshold=3"
  "FilterParam=-2147483648 USMThreshold=2147483647 GammaVal=1e300 USMRadius=-0.0"
  "GammaVal=0.125 USMRadius=0.375"
)
i=0
for set in "${sets[@]}"; do
  i=$((i + 1))
  rm -f "$work"/n/* "$work"/w/*
  # shellcheck disable=SC2086
  native write "$work/n/p$i.jpg" $set
  # shellcheck disable=SC2086
  windows write "$(winpath "$work/w/p$i.jpg")" $set
  cmp -s "$work/n/p$i.zprop" "$work/w/p$i.zprop" || fail "files differ for: $set"
  native read "$work/w/p$i.jpg" >"$work/native-read"
  windows read "$(winpath "$work/n/p$i.jpg")" >"$work/windows-read"
  native read "$work/n/p$i.jpg" >"$work/native-own"
  cmp -s "$work/native-read" "$work/windows-read" || fail "reads differ for: $set"
  cmp -s "$work/native-read" "$work/native-own" || fail "native reads the Windows file differently for: $set"
  checks=$((checks + 3))
done

# 3. Odd values and odd lines, read by both with the same base.
printf '[chromalineplugin]\nToneFilter = 7 \r\nFilterParam=99999999999\r\nGammaAdj=0x10\r\nGammaVal=1e308\r\nDefog=-0\r\nDefogVal=abc\r\nAutoLevels\r\nUSMRadius="2.5"\r\nUSMAmount=\r\nUSMThreshold=12abc\r\nUSMEnable=1\x1a\r\n' >"$work/n/odd.zprop"
native read "$work/n/odd.jpg" GammaVal=0.333 USMAmount=9 >"$work/native-read"
windows read "$(winpath "$work/n/odd.jpg")" GammaVal=0.333 USMAmount=9 >"$work/windows-read"
cmp -s "$work/native-read" "$work/windows-read" || { fail "odd values read differently"; diff "$work/native-read" "$work/windows-read"; }
printf '[ChromalinePlugIn]\r\nGammaVal=nan\r\nUSMRadius=1e309\r\nUSMAmount=-2147483649\r\n' >"$work/n/odd2.zprop"
native read "$work/n/odd2.jpg" >"$work/native-read"
windows read "$(winpath "$work/n/odd2.jpg")" >"$work/windows-read"
cmp -s "$work/native-read" "$work/windows-read" || { fail "nan and overflows read differently"; diff "$work/native-read" "$work/windows-read"; }
checks=$((checks + 2))

# 4. An untidy file with other sections, comments, LF line ends, spacing:
#    both writers rewrite it to the same bytes.
untidy='; comment\nfoo=bar\n\n[Other]\n  x = 1  \n[chromalineplugin]\n  gammaval =  0.5  \nnoeq\n\n;c\nusmenable=0\n[ChromalinePlugIn]\nToneFilter=7\n[Last]\ny=2'
printf "$untidy" >"$work/n/u.zprop"
printf "$untidy" >"$work/w/u.zprop"
native write "$work/n/u.jpg" GammaVal=0.25 USMEnable=1
windows write "$(winpath "$work/w/u.jpg")" GammaVal=0.25 USMEnable=1
cmp -s "$work/n/u.zprop" "$work/w/u.zprop" || { fail "untidy file rewritten differently"; diff <(od -c "$work/n/u.zprop") <(od -c "$work/w/u.zprop") | head; }
# The same settings again change nothing, in either build.
cp "$work/n/u.zprop" "$work/before"
native write "$work/n/u.jpg" GammaVal=0.25 USMEnable=1
windows write "$(winpath "$work/w/u.jpg")" GammaVal=0.25 USMEnable=1
cmp -s "$work/n/u.zprop" "$work/before" || fail "native rewrote a file that needed no change"
cmp -s "$work/w/u.zprop" "$work/before" || fail "Windows rewrote a file that needed no change"
checks=$((checks + 3))

# 5. Folder files: a folder path with a final separator in both builds.
mkdir -p "$work/n/Trip" "$work/w/Trip"
native write "$work/n/Trip/" DefogVal=33
windows write "$(winpath "$work/w/Trip/")" DefogVal=33
cmp -s "$work/n/Trip/zprop.ini" "$work/w/Trip/zprop.ini" || fail "folder files differ"
checks=$((checks + 1))

leftovers=$(find "$work/n" "$work/w" -name '*tmp*' -o -name '.zprop-*' | wc -l)
[ "$leftovers" -eq 0 ] || fail "temporary files left behind"

if [ "$failures" -ne 0 ]; then
  echo "$failures of $checks local settings file checks failed"
  exit 1
fi
echo "local settings files: $checks checks, Wine and native writers byte-identical, each reads the other's files"
