#!/usr/bin/env bash
# Installs what `make windows` and `make test-windows` need beyond `make test`: the MinGW-w64 cross
# compiler, Wine to run the result, and the header-only CLI11 the cross build lends itself.
# Installs only what is missing.
set -euo pipefail
VEXA_PACKAGES="g++-mingw-w64-x86-64-posix wine64 libcli11-dev" exec bash "$(dirname "$0")/install-deps.sh"
