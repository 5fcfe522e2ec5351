#!/usr/bin/env bash
# Stress run of the folder-swap race (not part of make test): while vexa-cli extracts a JK GOB of
# 20,000 entries "sub\fNNNNN", another process keeps exchanging target/sub with a symbolic link to
# another folder (renameat2 RENAME_EXCHANGE). Nothing may land in the other folder. Prints one line;
# exits 1 if anything got through.
set -euo pipefail
CLI=${1:?usage: race.sh path/to/vexa-cli}
WORK=$(mktemp -d)
trap 'kill "${SWAPPER:-0}" 2>/dev/null || true; rm -rf "$WORK"' EXIT

python3 - "$WORK" <<'PY'
import os, sys
root = sys.argv[1]
os.makedirs(f"{root}/src/sub")
for i in range(20000):
    with open(f"{root}/src/sub/f{i:05d}", "wb") as f:
        f.write(b"x" * 64)
os.makedirs(f"{root}/out/sub")
os.makedirs(f"{root}/elsewhere")
os.symlink(f"{root}/elsewhere", f"{root}/out/link")
PY
"$CLI" create jk-gob "$WORK/src" "$WORK/race.gob" >/dev/null

python3 - "$WORK/out" <<'PY' &
import ctypes, os, sys
libc = ctypes.CDLL(None, use_errno=True)
AT_FDCWD, RENAME_EXCHANGE = -100, 2
a, b = os.path.join(sys.argv[1], "sub").encode(), os.path.join(sys.argv[1], "link").encode()
while True:
    libc.renameat2(AT_FDCWD, a, AT_FDCWD, b, RENAME_EXCHANGE)
PY
SWAPPER=$!

set +e
"$CLI" extract "$WORK/race.gob" "$WORK/out" --yes >/dev/null 2>"$WORK/errors"
status=$?
set -e
kill "$SWAPPER"; wait "$SWAPPER" 2>/dev/null || true

escaped=$(find "$WORK/elsewhere" -type f | wc -l)
written=$(find "$WORK/out" -type f | wc -l)
refused=$(grep -c 'was not extracted' "$WORK/errors" || true)
echo "race: 20000 entries, $written written, $refused refused, $escaped in the other folder (exit $status)"
[ "$escaped" -eq 0 ]
