#!/usr/bin/env bash
# Local settings files across the two builds: the Windows build (the
# system's profile functions, under Wine) and the native build (the
# project's own INI code) write byte-identical files for the same
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

# 6. Encodings and line ends: UTF-16 in both byte orders and UTF-8 after
#    their marks, CR-only lines, NULs in names and values. Both builds
#    return the same bytes for every key (values as code page 1252 bytes).
mkdir -p "$work/enc"
body='[S]\r\nK=5\r\nL= \xc2\xa07\r\nM=\xef\xbc\x93\xe2\x88\x92\r\nN=\xc3\xa9\xe2\x82\xac\xd9\xa3\xf0\x9f\x98\x80\r\nO="\xe2\x80\x809"\r\n'
printf '\xff\xfe' >"$work/enc/le.ini"; printf "$body" | iconv -f UTF-8 -t UTF-16LE >>"$work/enc/le.ini"
printf '\xfe\xff' >"$work/enc/be.ini"; printf "$body" | iconv -f UTF-8 -t UTF-16BE >>"$work/enc/be.ini"
printf '\xef\xbb\xbf'"$body" >"$work/enc/u8.ini"
printf '\xef\xbb\xbf[S]\r\nK=1\xc3\r\nL=\xc0\xb1\r\nM=\xed\xa0\x80\r\nN=\xf4\x90\x80\x80\r\nO=\xe2\x82\r\n' >"$work/enc/u8bad.ini"
printf '[S]\rK=1\rL=2\r\rM=3\n\rN=4' >"$work/enc/cr.ini"
printf '\xef\xbb\xbf[S]\r\nK=\xe0\x80\x80\r\nL=\xf5\x80x\r\nM=\xf0\x8f\x80\x80\r\nN=\xc2\r\nO=\xf0\x9f\x98' >"$work/enc/u8bad2.ini"
# (not "nul.ini": NUL is a device name to Windows)
printf 'K=0\r[S\000x]\rK\000y=1\rL=2\000z\r' >"$work/enc/nuls.ini"
printf '[S]\r\nK=5\r\n' | iconv -f UTF-8 -t UTF-16LE >"$work/enc/nomark.ini"
for f in le be u8 u8bad u8bad2 cr nuls nomark; do
  native ini-read "$work/enc/$f.ini" S K L M N O >"$work/native-read"
  windows ini-read "$(winpath "$work/enc/$f.ini")" S K L M N O >"$work/windows-read"
  cmp -s "$work/native-read" "$work/windows-read" || { fail "$f.ini read differently"; diff <(od -c "$work/native-read") <(od -c "$work/windows-read") | head; }
  checks=$((checks + 1))
done
# A settings file in UTF-16 with CR-only lines beside a picture.
{ printf '\xff\xfe'; printf '[ChromalinePlugIn]\rUSMEnable=1\rUSMRadius=2.5\rDefogVal=33\r' | iconv -f UTF-8 -t UTF-16LE; } >"$work/enc/pic.zprop"
native read "$work/enc/pic.jpg" >"$work/native-read"
windows read "$(winpath "$work/enc/pic.jpg")" >"$work/windows-read"
cmp -s "$work/native-read" "$work/windows-read" || fail "UTF-16 settings file read differently"
grep -qx 'DefogVal=33' "$work/native-read" || fail "UTF-16 settings file not read natively"
checks=$((checks + 2))

# 7. The two platform limits, kept on purpose (see the help page): a file
#    over 32 MiB is ignored natively and read on Windows; a settings file
#    at a path of 260 characters or more is read natively and ignored on
#    Windows.
printf '[S]\r\nK=7\r\n' >"$work/enc/big.ini"
truncate -s $(( (32 << 20) + 1 )) "$work/enc/big.ini"
[ "$(native ini-read "$work/enc/big.ini" S K)" = "K=<default>" ] || fail "native read a file over 32 MiB"
[ "$(windows ini-read "$(winpath "$work/enc/big.ini")" S K)" = "K=7" ] || fail "Windows ignored a file over 32 MiB"
truncate -s $(( 32 << 20 )) "$work/enc/big.ini"
[ "$(native ini-read "$work/enc/big.ini" S K)" = "K=7" ] || fail "native ignored a file of exactly 32 MiB"
rm -f "$work/enc/big.ini"
long="$work/enc/$(printf 'd%.0s' $(seq 1 120))/$(printf 'e%.0s' $(seq 1 120))"
mkdir -p "$long"
printf '[ChromalinePlugIn]\r\nDefogVal=44\r\n' >"$long/pic.zprop"
native read "$long/pic.jpg" | grep -qx 'DefogVal=44' || fail "native ignored a settings file at a long path"
windows read "$(winpath "$long/pic.jpg")" | grep -qx 'DefogVal=10' || fail "Windows read a settings file at a path of 260 characters or more"
checks=$((checks + 5))

leftovers=$(find "$work/n" "$work/w" -name '*tmp*' -o -name '.zprop-*' | wc -l)
[ "$leftovers" -eq 0 ] || fail "temporary files left behind"

if [ "$failures" -ne 0 ]; then
  echo "$failures of $checks local settings file checks failed"
  exit 1
fi
echo "local settings files: $checks checks, Wine and native writers byte-identical, each reads the other's files"
