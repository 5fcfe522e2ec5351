#!/usr/bin/env bash
# The folders of src/ are layers: each includes only from its own folder and the layers below it.
#   base < images, media < formats < app < ui, cli   (ui and cli are two faces: neither includes the other)
# Prints every include between folders with --graph; fails on one that points up or sideways.
set -euo pipefail
cd "$(dirname "$0")/.."

declare -A rank=([base]=0 [images]=1 [media]=1 [formats]=2 [app]=3 [ui]=4 [cli]=4)
declare -A edges=()
bad=0
for dir in src/*/; do
    from=$(basename "$dir")
    if [ -z "${rank[$from]+x}" ]; then
        echo "src/$from: a folder that is no layer (add it to scripts/check_layers.sh)" >&2
        bad=1
        continue
    fi
    while IFS=: read -r file included; do
        to=${included%%/*}
        [ "$to" = "$from" ] && continue
        edges["$from -> $to"]=$(( ${edges["$from -> $to"]:-0} + 1 ))
        if [ -z "${rank[$to]+x}" ] || [ "${rank[$to]}" -ge "${rank[$from]}" ]; then
            echo "$file includes $included: $from may not include from $to" >&2
            bad=1
        fi
    done < <(grep -rHo '^#include "[a-z]*/[^"]*"' "$dir" | sed 's/#include "\(.*\)"/\1/')
done

if [ "${1:-}" = "--graph" ]; then
    for edge in "${!edges[@]}"; do echo "$edge (${edges[$edge]})"; done | sort
fi
exit $bad
