#!/usr/bin/env bash
# The folders of src/ are layers: each includes only from its own folder and the layers below it.
#   base < images, media < formats < app < ui, cli   (ui and cli are two faces: neither includes the other)
# Inside a folder, no two files depend on each other, however indirectly (a .cpp and its header
# count as one file).
# Prints every include between folders with --graph; fails on one that points up or sideways, and
# on a cycle of includes inside a folder, naming its files.
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

# Within each folder: one "includer included" pair a line, files named without their extension;
# tsort names the files of each cycle it finds, one a line after a line saying it found one.
for dir in src/*/; do
    folder=$(basename "$dir")
    pairs=$(grep -Ho "^#include \"$folder/[^\"]*\"" "$dir"*.h "$dir"*.cpp 2>/dev/null |
        sed "s|^$dir\([^:]*\)\.[a-z]*:#include \"$folder/\(.*\)\.[a-z]*\"$|\1 \2|" | awk '$1 != $2' | sort -u || true)
    [ -z "$pairs" ] && continue
    cycle=""
    report() { [ -n "$cycle" ] && echo "src/$folder: include cycle: $cycle${cycle%% *}" >&2 || true; }
    while read -r line; do
        case "$line" in
        *"input contains a loop:")
            report
            cycle=""
            bad=1
            ;;
        *) cycle+="$line -> " ;;
        esac
    done < <(printf '%s\n' "$pairs" | tsort 2>&1 >/dev/null | sed 's/^tsort: //')
    report
done

if [ "${1:-}" = "--graph" ]; then
    for edge in "${!edges[@]}"; do echo "$edge (${edges[$edge]})"; done | sort
fi
exit $bad
