#!/usr/bin/env bash
# Formats every C++ file of the repo with the repo's .clang-format (clang-format-14), or, with --check,
# lists the files that do not follow it and fails.
set -euo pipefail
cd "$(dirname "$0")/.."
files=$(git ls-files -- '*.cpp' '*.h')
if [ "${1:-}" = "--check" ]; then
  bad=()
  for f in $files; do
    clang-format-14 --dry-run --Werror "$f" >/dev/null 2>&1 || bad+=("$f")
  done
  if [ ${#bad[@]} -gt 0 ]; then
    printf 'Not formatted (run "make format"):\n' >&2
    printf '  %s\n' "${bad[@]}" >&2
    exit 1
  fi
  echo "format: $(echo "$files" | wc -l) files follow .clang-format"
else
  clang-format-14 -i $files
fi
