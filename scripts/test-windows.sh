#!/usr/bin/env bash
# Runs the command-line tests (built for this system) against vexa-cli.exe under Wine:
#   scripts/test-windows.sh VEXA_CLI_TESTS VEXA_CLI_EXE [gtest options...]
# The Wine prefix lives beside the .exe's build, made on the first run.
set -euo pipefail
tests=$(realpath "$1")
exe=$(realpath "$2")
shift 2
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
[ -x "$wine" ] || { echo "test-windows: $wine is missing (bash scripts/install-windows-deps.sh)" >&2; exit 1; }

export WINEPREFIX=${WINEPREFIX:-$(dirname "$(dirname "$exe")")/wine-prefix}
# Wine's own notes on stderr would mix with the program's messages the tests read.
export WINEDEBUG=-all
# No Mono or Gecko install prompts for the new prefix.
export WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -d "$WINEPREFIX" ]; then
  echo "test-windows: making the Wine prefix $WINEPREFIX"
  "$wine" wineboot --init >/dev/null 2>&1
fi
# One Wine server for the whole run instead of one per process.
"$wineserver" -p 2>/dev/null || true # (one may be running already)
trap '"$wineserver" -k 2>/dev/null || true' EXIT

VEXA_CLI_EXE=$exe VEXA_CLI_WRAPPER=$wine "$tests" "$@"
