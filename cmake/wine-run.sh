#!/usr/bin/env bash
# Runs a Windows program under Wine for CTest and the scripts.
#
# One Wine prefix for the project (WINEPREFIX or CHROMALINE_WINEPREFIX, by
# default the checkout's build/wineprefix, never the user's own ~/.wine),
# created on first use under a lock so that parallel tests share it. The
# program's output (byte for byte) goes through temp files: Wine's helper processes would
# otherwise inherit CTest's pipes and make every test wait for them.
set -u
prefix=${WINEPREFIX:-${CHROMALINE_WINEPREFIX:-$(cd "$(dirname "$0")/.." && pwd)/build/wineprefix}}
# No Mono or Gecko installer; overrides of the caller's own come after.
export WINEPREFIX=$prefix WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES="mscoree,mshtml=${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}"
export WINEARCH=win32

wine_bin=$(command -v wine || command -v wine-stable)
mkdir -p "$(dirname "$prefix")"
(
  flock 9
  if [ ! -f "$prefix/.chromaline-ready" ]; then
    wineboot -i >/dev/null 2>&1 || "$wine_bin" wineboot -i >/dev/null 2>&1
    wineserver -w
    # Dialog units match Windows only with Wine's own fonts in place.
    mkdir -p "$prefix/drive_c/windows/Fonts"
    cp -n /usr/share/wine/fonts/* "$prefix/drive_c/windows/Fonts/" 2>/dev/null
    # A virtual desktop: no window manager runs under Xvfb.
    "$wine_bin" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
    "$wine_bin" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1
    wineserver -w
    touch "$prefix/.chromaline-ready"
  fi
) 9>"$prefix.lock"

# Keep the wineserver for a while between programs: a cold start costs ~1 s.
wineserver -p30 >/dev/null 2>&1 </dev/null || true

out=$(mktemp) err=$(mktemp)
# Standard input reaches the program only when the caller asks
# (WINE_RUN_STDIN=1): a console program would otherwise wait on CTest's.
if [ -n "${WINE_RUN_STDIN:-}" ]; then
  "$wine_bin" "$@" >"$out" 2>"$err"
else
  "$wine_bin" "$@" >"$out" 2>"$err" </dev/null
fi
rc=$?
cat "$out"
cat "$err" >&2
rm -f "$out" "$err"
exit $rc
