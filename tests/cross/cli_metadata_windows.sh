#!/usr/bin/env bash
# The command line's metadata checks (tests/cli/metadata.sh) with the
# Windows program under Wine: the blocks of JPEG and PNG files carried into
# JPEG and PNG output, a gray JPEG kept gray, a JPEG's quality and chroma
# subsampling kept, and what TIFF and BMP cannot hold named.
set -uo pipefail
: "${WIN32_BIN:?}" "${WINE_RUN:?}" "${SOURCE_DIR:?}"
HOST="$WINE_RUN $WIN32_BIN/chromaline-host.exe" HOST_KIND=windows exec bash "$SOURCE_DIR/tests/cli/metadata.sh"
