#!/usr/bin/env bash
# Installs what `make windows` and `make test-windows` need beyond `make test`: the MinGW-w64 cross
# compiler and Wine to run the result. Installs only what is missing.
set -euo pipefail
VEXA_PACKAGES="g++-mingw-w64-x86-64-posix wine64" exec bash "$(dirname "$0")/install-deps.sh"
