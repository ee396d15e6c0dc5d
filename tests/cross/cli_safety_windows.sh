#!/usr/bin/env bash
# The command line's safety table (tests/cli/safety.sh) with the Windows
# program under Wine: the same real files, full disk and links; what Wine
# cannot show (a signal through the wrapper, another user) is skipped there.
set -uo pipefail
: "${WIN32_BIN:?}" "${WINE_RUN:?}" "${SOURCE_DIR:?}"
HOST="$WINE_RUN $WIN32_BIN/chromaline-host.exe" HOST_KIND=windows exec bash "$SOURCE_DIR/tests/cli/safety.sh"
