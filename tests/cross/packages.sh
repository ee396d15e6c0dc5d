#!/usr/bin/env bash
# The release packages: scripts/package run twice, from two copies of the
# checkout in different folders (the first's path with spaces and
# non-ASCII letters) at different times, gives the same bytes;
# the Windows package unzipped into a folder with spaces and a non-ASCII
# letter in a fresh Wine prefix filters a sample like the build tree's DLL,
# exports one function, imports only system DLLs, carries version 2.1.0.0,
# the licence and the manual as text Notepad shows, and the Help button's
# path from there finds the help page; the Debian package unpacked into an empty root runs, filters the
# same sample to the same pixels, and its headers and pkg-config file work.
# Both find their presets by name: the manual's example with
# `--preset crisp` runs from the unpacked package as printed.
set -uo pipefail
: "${NATIVE_BIN:?}" "${WIN32_BIN:?}" "${WINE_RUN:?}" "${SOURCE_DIR:?}"
export LC_ALL=C.UTF-8
work=$(mktemp -d)
prefix=$work/wineprefix
cleanup() {
  [ -d "$prefix" ] && WINEPREFIX=$prefix wineserver -k 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
failures=0
checks=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
check() { checks=$((checks + 1)); }
start=$(date +%s)

# 1. Two copies of the checkout (what git tracks and what is new), built
# one after the other; the dates come from the last commit. The first
# path is one that a shell or a compiler's command line splits or mangles
# unless every step quotes it.
epoch=$(git -C "$SOURCE_DIR" log -1 --format=%ct) || { echo "no git history in $SOURCE_DIR"; exit 1; }
copy() {
  mkdir -p "$1"
  (cd "$SOURCE_DIR" && git ls-files -z --cached --others --exclude-standard \
     | tar --null --ignore-failed-read -T - -cf - 2>/dev/null) | tar -xf - -C "$1"
}
first="$work/a folder/Ünï/chromaline 1"
second=$work/another-folder/deeper/src-2
for tree in "$first" "$second"; do
  copy "$tree"
  echo "== scripts/package in $tree"
  SOURCE_DATE_EPOCH=$epoch "$tree/scripts/package" > "$tree.log" 2>&1 \
    || { tail -n 40 "$tree.log"; echo "scripts/package failed in $tree"; exit 1; }
  sleep 1
done
dist=$first/dist
echo "first:  $(tr '\n' ' ' < "$first/dist/SHA256SUMS")"
echo "second: $(tr '\n' ' ' < "$second/dist/SHA256SUMS")"
check
cmp -s "$first/dist/SHA256SUMS" "$second/dist/SHA256SUMS" || fail "the two builds of the packages differ"
(cd "$dist" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not match dist/"
echo "packages built twice in $(( $(date +%s) - start )) s"

win_zip=$dist/Chromaline-2.1.0-win32.zip
sym_zip=$dist/Chromaline-2.1.0-win32-symbols.zip
deb=$dist/chromaline_2.1.0-1_amd64.deb
sample=$SOURCE_DIR/samples/chelsea.png
settings=(--set GammaAdj=1 --set GammaVal=0.3 --set AutoLevels=1 --set Defog=1 --set DefogVal=25
          --set USMEnable=1 --set USMRadius=2.5 --set USMAmount=120 --set USMThreshold=3
          --set ToneFilter=1 --set FilterParam=18)

# 2. The Windows package's contents.
check
listing=$(unzip -Z1 "$win_zip" | tr '\n' ' ')
[ "$listing" = "Chromaline.dll Chromaline.htm INSTALL.txt LICENSE.txt chromaline-host.exe chromaline-host.txt presets/crisp.store presets/haze.store presets/mono.store presets/vintage.store " ] \
  || fail "Windows package holds: $listing"
check
[ "$(unzip -Z1 "$sym_zip" | tr '\n' ' ')" = "Chromaline.dll.debug LICENSE.txt chromaline-host.exe.debug " ] \
  || fail "symbols package holds: $(unzip -Z1 "$sym_zip" | tr '\n' ' ')"

# No owners or user names ride along: zip entries without extra fields
# (where owner ids and local times would go), .deb entries owned by root.
check
for zipfile in "$win_zip" "$sym_zip"; do
  zipinfo -v "$zipfile" | grep 'length of extra field:' | grep -vq ' 0 bytes' \
    && fail "$(basename "$zipfile") has entries with extra fields"
done
owners=$(dpkg-deb --fsys-tarfile "$deb" | tar -tvf - | awk '{print $2}' | sort -u)
[ "$owners" = root/root ] || fail "the .deb holds files owned by $owners"

# 3. Unzipped where a viewer keeps its plug-ins, in a fresh Wine prefix.
plugins_win='C:\Program Files\Photo Viewer\Café Plugins'
plugins=$prefix/drive_c/Program\ Files/Photo\ Viewer/Café\ Plugins
mkdir -p "$work/sym"
export WINEPREFIX=$prefix
"$WINE_RUN" cmd /c exit >/dev/null 2>&1   # creates the prefix
mkdir -p "$plugins"
unzip -q "$win_zip" -d "$plugins" || fail "cannot unzip $win_zip"
unzip -q "$sym_zip" -d "$work/sym" || fail "cannot unzip $sym_zip"
dll=$plugins/Chromaline.dll
dump=$(i686-w64-mingw32-objdump -p "$dll")

check
exports=$(printf '%s\n' "$dump" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | grep -c '^\s*\[ *[0-9]')
grep -q '] _zorPlugInMsgHandler@12$' <<< "$dump" && [ "$exports" -eq 1 ] \
  || fail "the packaged DLL does not export _zorPlugInMsgHandler@12 alone ($exports exports)"
check
system_dlls='^(ADVAPI32|COMCTL32|COMDLG32|GDI32|KERNEL32|msvcrt|ole32|OLEAUT32|SHELL32|USER32|VERSION)\.(dll|DLL)$'
for import in $(printf '%s\n' "$dump" | sed -n 's/^\s*DLL Name: //p'); do
  [[ $import =~ $system_dlls ]] || fail "the packaged DLL imports $import"
done
check
resources=$(i686-w64-mingw32-windres -J coff -O rc -i "$dll" 2>/dev/null)
grep -q 'FILEVERSION 2, 1, 0, 0' <<< "$resources" || fail "the packaged DLL's version is not 2.1.0.0"
grep -q 'VALUE "LegalCopyright", "Copyright (c) 2026 the Chromaline authors' <<< "$resources" \
  || fail "the packaged DLL has no LegalCopyright"
check
grep -q '\.debug_' <<< "$(i686-w64-mingw32-objdump -h "$dll")" && fail "the packaged DLL still carries debugging information"
grep -q '\.debug_info' <<< "$(i686-w64-mingw32-objdump -h "$work/sym/Chromaline.dll.debug")" \
  || fail "Chromaline.dll.debug holds no debugging information"
# The link names the symbols file and carries its CRC.
i686-w64-mingw32-objcopy --dump-section .gnu_debuglink="$work/debuglink" "$dll" "$work/dll-copy" 2>/dev/null
# gzip's trailer starts with the CRC-32 of what it compressed, the same
# CRC (little-endian) the link ends with.
hex() { od -An -tx1 | tr -d ' \n'; }
debug_crc=$(gzip -1c "$work/sym/Chromaline.dll.debug" | tail -c 8 | head -c 4 | hex)
[ -f "$work/debuglink" ] && [ "$(head -c 21 "$work/debuglink" | hex)" = "$(printf 'Chromaline.dll.debug\0' | hex)" ] &&
  [ "$(tail -c 4 "$work/debuglink" | hex)" = "$debug_crc" ] || fail "the DLL's debug link does not match Chromaline.dll.debug"
check
grep -q $'\r$' "$plugins/INSTALL.txt" && ! grep -q $'[^\r]$' "$plugins/INSTALL.txt" \
  || fail "INSTALL.txt does not have CRLF line ends throughout"
grep -q 'HKEY_CURRENT_USER\\Software\\KelvarWorks\\Chromaline' "$plugins/INSTALL.txt" \
  || fail "INSTALL.txt does not name the registry key"
grep -q 'Copyright (c) 2026 the Chromaline authors' "$plugins/LICENSE.txt" || fail "LICENSE.txt lacks the copyright"
# The manual as text Notepad shows: CRLF throughout, plain ASCII without
# the backspaces and escapes of a terminal, every section of the man page.
check
manual=$plugins/chromaline-host.txt
grep -q $'\r$' "$manual" && ! grep -q $'[^\r]$' "$manual" && ! LC_ALL=C grep -q $'[^\t\r -~]' "$manual" \
  || fail "chromaline-host.txt is not plain ASCII text with CRLF line ends"
while read -r section; do
  grep -qxF "$section"$'\r' "$manual" || fail "chromaline-host.txt lacks the section $section"
done < <(sed -n 's/^\.SH //p' "$SOURCE_DIR/docs/chromaline-host.1")
grep -q '^       --ignore-local'$'\r$' "$manual" || fail "chromaline-host.txt does not list the options"

# The packaged host loads the packaged DLL beside it; the build tree's host
# and DLL must give the same bytes.
check
"$WINE_RUN" "$plugins_win\\chromaline-host.exe" version > "$work/version.txt" 2>&1
grep -q 'Chromaline v2.1.0' "$work/version.txt" || fail "packaged host, packaged DLL: version says $(cat "$work/version.txt")"
check
"$WINE_RUN" "$plugins_win\\chromaline-host.exe" filter "${settings[@]}" "Z:$sample" "Z:$work/packaged.bmp" \
  || fail "the packaged DLL could not filter $sample"
"$WINE_RUN" "$WIN32_BIN/chromaline-host.exe" filter "${settings[@]}" "Z:$sample" "Z:$work/built.bmp" \
  || fail "the build tree's DLL could not filter $sample"
cmp -s "$work/packaged.bmp" "$work/built.bmp" || fail "the packaged DLL's picture differs from the build tree's"
check
# From another folder: the presets are found beside the program.
(cd "$work" && "$WINE_RUN" "$plugins_win\\chromaline-host.exe" filter --preset crisp "Z:$sample" "Z:$work/packaged-crisp.bmp") \
  || fail "the packaged host could not filter with --preset crisp"
check
# The Help button's path, from the DLL's own file name as the system has it.
help_path=$("$WINE_RUN" "$WIN32_BIN/help_page_probe.exe" "$plugins_win\\Chromaline.dll" "Z:$work/help.htm" \
  | tr -d '\r' | iconv -f CP1252 -t UTF-8)
[ "$help_path" = "$plugins_win\\Chromaline.htm" ] || fail "the Help button's path is $help_path"
cmp -s "$work/help.htm" "$SOURCE_DIR/resources/Chromaline.htm" || fail "the help page read from the package differs"
unset WINEPREFIX

# 4. The Debian package in an empty root.
root="$work/root ü"
check
dpkg-deb -x "$deb" "$root" || fail "cannot unpack $deb"
depends=$(dpkg-deb -f "$deb" Depends)
[[ $depends == *libc6* ]] || fail "the package's Depends is '$depends'"
host=$root/usr/bin/chromaline-host
check
if "$host" --version > "$work/deb-version.txt" 2>&1; then :; else "$host" version > "$work/deb-version.txt" 2>&1; fi
grep -q '2\.1\.0' "$work/deb-version.txt" || fail "chromaline-host from the package: $(cat "$work/deb-version.txt")"
check
"$host" filter "${settings[@]}" "$sample" "$work/deb.bmp" || fail "chromaline-host from the package could not filter"
"$host" compare "$work/deb.bmp" "$work/built.bmp" >/dev/null || fail "the package's native plug-in differs from the DLL"
check
# The manual's example with a preset by name, word for word, in a folder of
# the user's; the same pixels as the preset's file named by its path, and as
# the Windows package's preset of that name.
example=$(sed -n '/^\.SH EXAMPLES/,/^\.SH/p' "$SOURCE_DIR/docs/chromaline-host.1" | sed 's/\\-/-/g' \
  | grep -m 1 -- '^chromaline-host .*--preset crisp')
read -r -a words <<< "$example"
mkdir -p "$work/user"
convert "$sample" "$work/user/photo.jpg"
if [ "${words[0]:-}" != chromaline-host ]; then
  fail "the manual has no example with --preset crisp"
elif ! (cd "$work/user" && "$host" "${words[@]:1}" 2>"$work/example.err"); then
  fail "the manual's example '$example' failed from the package: $(cat "$work/example.err")"
else
  out=$work/user/${words[-1]}
  (cd "$work/user" && "$host" filter --store "$root/usr/share/chromaline/presets/crisp.store" photo.jpg by-path.jpg)
  "$host" compare "$out" "$work/user/by-path.jpg" >/dev/null || fail "--preset crisp is not the package's crisp.store"
fi
"$host" filter --preset crisp "$sample" "$work/deb-crisp.bmp" 2>/dev/null
"$host" compare "$work/deb-crisp.bmp" "$work/packaged-crisp.bmp" >/dev/null \
  || fail "--preset crisp from the .deb and from the zip differ"
check
# The pkg-config file with its prefix moved into the root.
pkgconf_root() {
  PKG_CONFIG_PATH= PKG_CONFIG_LIBDIR="$root/usr/lib/x86_64-linux-gnu/pkgconfig" \
    pkg-config --define-variable=prefix="$root/usr" "$@" chromaline
}
include=$(pkgconf_root --variable=includedir) || fail "pkg-config does not know chromaline"
printf '#include <chromaline/plugin_abi.h>\n#include <chromaline/host_bitmap.h>\nint main(void) { return sizeof(ChromalineHostBitmap) == 0; }\n' \
  > "$work/host.c"
cc -Wall -Werror -I"$include" -o "$work/host" "$work/host.c" || fail "the packaged headers do not compile in C"
[ "$(pkgconf_root --modversion)" = 2.1.0 ] || fail "pkg-config gives version $(pkgconf_root --modversion)"
plugin=$(pkgconf_root --variable=plugin)
[ -f "$plugin" ] || fail "pkg-config names the plug-in $plugin, which the package lacks"
check
[ -f "$root/usr/share/doc/chromaline/Chromaline.htm" ] || fail "the package lacks the help page"
grep -q 'Copyright: 2026 the Chromaline authors' "$root/usr/share/doc/chromaline/copyright" || fail "the package lacks the licence"
man --warnings -l "$root/usr/share/man/man1/chromaline-host.1.gz" 2>&1 >/dev/null | grep . && fail "the manual page has warnings"

if [ "$failures" -ne 0 ]; then
  echo "$failures of $checks package checks failed"
  exit 1
fi
echo "$checks package checks passed; packages reproducible ($(head -c 16 "$dist/SHA256SUMS")... ); $(( $(date +%s) - start )) s"
