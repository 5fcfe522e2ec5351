#!/usr/bin/env bash
# make bench: builds VEXA and the references in Release, makes the data, runs every case against
# its reference in the same run (paired, REPS times, the order alternating), prints one table and
# writes it into bench/README.md. The generated data is removed at the end.
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${BENCH_BUILD_DIR:-$ROOT/build-bench}
OUT=${BENCH_OUT:-$ROOT/bench/out}
REPS=${REPS:-3}
README=$ROOT/bench/README.md

bash "$ROOT/scripts/install-deps.sh"
echo "Building in $BUILD ..."
cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DVEXA_BUILD_TESTS=OFF -DVEXA_BENCH=ON >/dev/null
if ! cmake --build "$BUILD" -j "$(nproc)" >"$BUILD/bench-build.log" 2>&1; then
    cat "$BUILD/bench-build.log" >&2
    exit 1
fi

BIN=$BUILD/bin
CLI=$BIN/vexa-cli
MEASURE=$BIN/bench-measure
export QT_QPA_PLATFORM=offscreen

rm -rf "$OUT"
mkdir -p "$OUT/runs"
# The data goes at the end (each run's numbers are kept in build-bench/bench-runs); synced, so the file system soon stops treating the freed inodes as
# recently deleted (see README: that would slow the next run's file creation).
trap 'for m in "$OUT"/mnt-*; do mountpoint -q "$m" && fusermount3 -uz "$m"; done; rm -rf "$BUILD/bench-runs"; cp -r "$OUT/runs" "$BUILD/bench-runs" 2>/dev/null; rm -rf "$OUT"; sync' EXIT

# --- data ----------------------------------------------------------------------------------------
echo "Making the data in $OUT ..."
"$BIN/bench-gen" pak "$OUT/list100k.pak" 100000
"$BIN/bench-gen" tree "$OUT/tree" 10000 1073741824
"$CLI" create pak "$OUT/tree" "$OUT/tree.pak" >/dev/null
"$BIN/bench-gen" tree "$OUT/ftree" 10000 268435456 1000 # the folder-heavy case: 1,000 folders
"$CLI" create pak "$OUT/ftree" "$OUT/ftree.pak" >/dev/null
"$BIN/bench-gen" file "$OUT/one-kib.bin" 1024 # the file added to that PAK in place
FIRST_ENTRY=$("$CLI" list "$OUT/tree.pak" | sed -n 1p) # the entry renamed in it
mkdir -p "$OUT/big"
"$BIN/bench-gen" file "$OUT/big/big.bin" 1073741824
"$CLI" create pak "$OUT/big" "$OUT/big.pak" >/dev/null
"$BIN/bench-gen" wal "$OUT/wal" 10000
"$CLI" extract "$OUT/wal/tex_00000.wal" "$OUT/wal-bmp" --yes >/dev/null # the reference's input
mkdir -p "$OUT/wad3"
"$BIN/bench-gen" wad3 "$OUT/wad3/textures.wad" 10000
"$CLI" extract "$OUT/wad3/textures.wad" "$OUT/wad3-bmp" --yes >/dev/null # the reference's input
"$BIN/bench-gen" pngs "$OUT/pngs" 1000
"$CLI" import wad3 "$OUT/imported.wad" "$OUT"/pngs/*.png >/dev/null # the reference's input
"$BIN/bench-gen" wad3 "$OUT/big3.wad" 16800 # 100 MiB: one PNG is added to it in place
ONE_PNG=$(find "$OUT/pngs" -name '*.png' | sort | sed -n 1p)
FREEDOOM=/usr/share/games/doom/freedoom2.wad # the real WAD whose pictures and sounds are converted
"$BIN/bench-gen" doom-sounds "$FREEDOOM" "$OUT/sounds.wad" >/dev/null # its sounds and songs alone
# DeuTex looks for its main WAD by the game's own file name, in the folder it is given; Debian puts it
# in /usr/games, which not every PATH holds.
mkdir -p "$OUT/iwad"
ln -s "$FREEDOOM" "$OUT/iwad/doom2.wad"
DEUTEX=$(command -v deutex || echo /usr/games/deutex)
# A game folder of 200 containers, 300,000 entries, 2 GiB; the name is in one GOB and one nested WAD2.
"$BIN/bench-gen" game "$OUT/game" 200 300000 2147483648
mkdir -p "$OUT/program"
cp -r "$ROOT/data/Data" "$OUT/program/Data" # the default palettes the window loads at start
sync

# --- measuring -----------------------------------------------------------------------------------
# run NAME REP COMMAND...: one timed run; its "seconds kib cpu" line goes to runs/NAME.REP.
run() {
    local name=$1 rep=$2
    shift 2
    sync
    if ! "$MEASURE" -o "$OUT/runs/$name.$rep" "$@"; then
        echo "bench: $name (run $rep) failed: $*" >&2
        exit 1
    fi
}
sh_run() { run "$1" "$2" sh -c "$3"; }
# warm PATH...: reads the inputs of a case into the page cache before its pair of runs, so that
# neither side reads the disk while the other reads memory (the data is larger than what stays cached
# on a busy machine).
warm() { find "$@" -type f -exec cat {} + >/dev/null; }

# mount_fg SOURCE MOUNTPOINT: vexa-cli mount in the foreground of a background job (its pid in
# MOUNT_PID), waited for until the folder is mounted. A fresh mount each run: nothing it serves is in
# the kernel's cache yet.
mount_fg() {
    mkdir -p "$2"
    "$CLI" mount -f "$1" "$2" 2>>"$OUT/mount-errors.log" &
    MOUNT_PID=$!
    for _ in $(seq 1 400); do
        mountpoint -q "$2" && return
        sleep 0.05
    done
    echo "bench: $1 was not mounted on $2" >&2
    exit 1
}
# unmount_fg NAME REP: the serving process's peak memory becomes the run's memory, then TERM
# unmounts it.
unmount_fg() {
    local kib
    kib=$(awk '/^VmHWM/ { print $2 }' "/proc/$MOUNT_PID/status")
    awk -v k="$kib" '{ $2 = k; print }' "$OUT/runs/$1.$2" >"$OUT/runs/$1.$2.new"
    mv "$OUT/runs/$1.$2.new" "$OUT/runs/$1.$2"
    kill -TERM "$MOUNT_PID"
    wait "$MOUNT_PID" || { echo "bench: the mount of $1 did not end cleanly" >&2; exit 1; }
}

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
column_of() { for r in $(seq 1 "$REPS"); do awk -v c="$2" '{ print $c }' "$OUT/runs/$1.$r"; done; }

ROWS=()
# row LABEL VEXA_NAME REF_NAME REF_LABEL TARGET [MEMORY_TARGET_MIB]
row() {
    local label=$1 mine=$2 ref=$3 reflabel=$4 target=$5 memtarget=${6:-}
    local mt rt ratio mem verdict
    mt=$(column_of "$mine" 1 | median)
    rt=$(column_of "$ref" 1 | median)
    local ratios
    ratios=$(for r in $(seq 1 "$REPS"); do
        paste -d' ' "$OUT/runs/$mine.$r" "$OUT/runs/$ref.$r" | awk '{ printf "%.6f\n", $1 / $4 }'
    done)
    ratio=$(echo "$ratios" | median)
    ratios=$(echo "$ratios" | awk '{ printf "%s%.2f", (NR > 1 ? " " : ""), $1 }')
    mem=$(column_of "$mine" 2 | sort -g | tail -1)
    verdict=$(awk -v r="$ratio" -v t="$target" -v m="$mem" -v mt="$memtarget" \
        'BEGIN { ok = r <= t; if (mt != "") ok = ok && m / 1024 <= mt; print ok ? "met" : "MISSED" }')
    ROWS+=("$(printf '| %s | %.3f s | %s | %.3f s | **%.3f** (%s) | <= %s%s | %.1f MiB | %s |' "$label" "$mt" \
        "$reflabel" "$rt" "$ratio" "$ratios" "$target" "${memtarget:+, <= $memtarget MiB}" \
        "$(awk -v k="$mem" 'BEGIN { print k / 1024 }')" "$verdict")")
}

# Odd runs start with VEXA, even runs with the reference(s): neither side always gets a warmer cache.
for rep in $(seq 1 "$REPS"); do
    echo "Run $rep of $REPS ..."
    first=vexa
    [ $((rep % 2)) -eq 0 ] && first=ref

    # Listing a PAK of 100,000 entries.
    list_vexa() { sh_run list.vexa "$rep" "'$CLI' list --json '$OUT/list100k.pak' >/dev/null"; }
    list_ref() { sh_run list.physfs "$rep" "'$BIN/physfs-tool' list '$OUT/list100k.pak' >/dev/null"; }
    warm "$OUT/list100k.pak"
    if [ $first = vexa ]; then list_vexa; list_ref; else list_ref; list_vexa; fi

    # The window: File > Open to the rows shown; the reference is vexa-cli list of the same file.
    win_vexa() {
        local line
        sync
        line=$("$MEASURE" -o "$OUT/runs/window.whole.$rep" "$BIN/bench-window" "$OUT/program" "$OUT/list100k.pak")
        local kib
        kib=$(awk '{ print $2 }' "$OUT/runs/window.whole.$rep")
        echo "$line" | awk -v k="$kib" '/^open/ { printf "%s %s 0\n", $2, k }' >"$OUT/runs/window.vexa.$rep"
        echo "$line" | awk '/^scroll/ { printf "%s %s\n", $4, $6 }' >"$OUT/runs/window.scroll.$rep"
    }
    win_ref() { sh_run window.list "$rep" "'$CLI' list '$OUT/list100k.pak' >/dev/null"; }
    if [ $first = vexa ]; then win_vexa; win_ref; else win_ref; win_vexa; fi

    # Extracting 10,000 files (1 GiB, in sub-folders). Every run writes into a new folder: removing
    # 10,000 files just before creating 10,000 would slow the next run's file creation.
    x_vexa() { sh_run extract.vexa "$rep" "'$CLI' extract '$OUT/tree.pak' '$OUT/x-vexa-$rep' --yes >/dev/null"; }
    x_physfs() { run extract.physfs "$rep" "$BIN/physfs-tool" extract "$OUT/tree.pak" "$OUT/x-physfs-$rep"; }
    x_cp() { run extract.cp "$rep" cp -r "$OUT/tree" "$OUT/x-cp-$rep"; }
    warm "$OUT/tree.pak" "$OUT/tree"
    if [ $first = vexa ]; then x_vexa; x_cp; x_physfs; else x_cp; x_physfs; x_vexa; fi
    if [ "$rep" -eq 1 ]; then diff -r "$OUT/tree" "$OUT/x-vexa-1" >/dev/null || { echo "bench: extraction differs" >&2; exit 1; }; fi

    # Reading every entry of that PAK through a mount, against the same reads of the files extract
    # wrote: tar of the folder (GNU tar reads nothing when it writes to /dev/null itself, hence the
    # pipe), and cat of each file.
    mt_vexa() {
        mount_fg "$OUT/tree.pak" "$OUT/mnt-tree-$rep"
        sh_run mount.tar "$rep" "tar -cf - -C '$OUT/mnt-tree-$rep' . | cat >/dev/null"
        unmount_fg mount.tar "$rep"
    }
    mt_ref() { sh_run extracted.tar "$rep" "tar -cf - -C '$OUT/x-vexa-1' . | cat >/dev/null"; }
    mc_vexa() {
        mount_fg "$OUT/tree.pak" "$OUT/mnt-cat-$rep"
        sh_run mount.cat "$rep" "find '$OUT/mnt-cat-$rep' -type f -exec cat {} + >/dev/null"
        unmount_fg mount.cat "$rep"
    }
    mc_ref() { sh_run extracted.cat "$rep" "find '$OUT/x-vexa-1' -type f -exec cat {} + >/dev/null"; }
    warm "$OUT/tree.pak" "$OUT/x-vexa-1"
    if [ $first = vexa ]; then mt_vexa; mt_ref; mc_vexa; mc_ref; else mt_ref; mt_vexa; mc_ref; mc_vexa; fi

    # find of a mount of the PAK of 100,000 entries, against vexa-cli list of it.
    mf_vexa() {
        mount_fg "$OUT/list100k.pak" "$OUT/mnt-find-$rep"
        sh_run mount.find "$rep" "find '$OUT/mnt-find-$rep' >/dev/null"
        unmount_fg mount.find "$rep"
    }
    mf_ref() { sh_run mount.list "$rep" "'$CLI' list '$OUT/list100k.pak' >/dev/null"; }
    warm "$OUT/list100k.pak"
    if [ $first = vexa ]; then mf_vexa; mf_ref; else mf_ref; mf_vexa; fi

    # The same number of entries in 1,000 folders (256 MiB): what each folder costs.
    fx_vexa() { sh_run fextract.vexa "$rep" "'$CLI' extract '$OUT/ftree.pak' '$OUT/f-vexa-$rep' --yes >/dev/null"; }
    fx_cp() { run fextract.cp "$rep" cp -r "$OUT/ftree" "$OUT/f-cp-$rep"; }
    warm "$OUT/ftree.pak" "$OUT/ftree"
    if [ $first = vexa ]; then fx_vexa; fx_cp; else fx_cp; fx_vexa; fi
    if [ "$rep" -eq 1 ]; then diff -r "$OUT/ftree" "$OUT/f-vexa-1" >/dev/null || { echo "bench: extraction differs" >&2; exit 1; }; fi

    # Building a PAK and a JK GOB from those 10,000 files, against tar -cf of the folder.
    c_pak() { sh_run create.pak "$rep" "'$CLI' create pak '$OUT/tree' '$OUT/new.pak' >/dev/null"; rm -f "$OUT/new.pak"; }
    c_gob() { sh_run create.gob "$rep" "'$CLI' create jk-gob '$OUT/tree' '$OUT/new.gob' >/dev/null"; rm -f "$OUT/new.gob"; }
    c_tar() { run create.tar "$rep" tar -cf "$OUT/new.tar" -C "$OUT" tree; rm -f "$OUT/new.tar"; }
    warm "$OUT/tree"
    if [ $first = vexa ]; then c_pak; c_gob; c_tar; else c_tar; c_pak; c_gob; fi

    # One entry of 1 GiB, against cat of the same bytes.
    # Outputs stay until the end, as in the other cases: whatever the system does to free them does
    # not fall into the next run's time.
    b_vexa() { sh_run big.vexa "$rep" "'$CLI' extract '$OUT/big.pak' '$OUT/big-out-$rep' --yes >/dev/null"; }
    b_cat() { sh_run big.cat "$rep" "cat '$OUT/big/big.bin' >'$OUT/big-cat-$rep.bin'"; }
    warm "$OUT/big.pak" "$OUT/big/big.bin"
    if [ $first = vexa ]; then b_vexa; b_cat; else b_cat; b_vexa; fi

    # 10,000 WAL textures of 64 x 64 to BMP, against cp -r of the BMP files.
    w_vexa() { sh_run wal.vexa "$rep" "'$CLI' extract '$OUT/wal/tex_00000.wal' '$OUT/w-vexa-$rep' --yes >/dev/null"; }
    w_cp() { run wal.cp "$rep" cp -r "$OUT/wal-bmp" "$OUT/w-cp-$rep"; }
    warm "$OUT/wal" "$OUT/wal-bmp"
    if [ $first = vexa ]; then w_vexa; w_cp; else w_cp; w_vexa; fi

    # Editing the 1 GiB PAK of 10,000 entries in place: adding a 1 KiB file and saving, and renaming
    # one entry, against cp of that PAK. Each edit works on its own copy, made before the runs; the
    # copies go after the runs (1 GiB each; a few files, so their removal slows nothing after).
    cp "$OUT/tree.pak" "$OUT/edit-add-$rep.pak"
    cp "$OUT/tree.pak" "$OUT/edit-rename-$rep.pak"
    e_add() { sh_run edit.add "$rep" "'$CLI' add '$OUT/edit-add-$rep.pak' '$OUT/one-kib.bin' >/dev/null"; }
    e_rename() { sh_run edit.rename "$rep" "'$CLI' rename '$OUT/edit-rename-$rep.pak' '$FIRST_ENTRY' renamed.bin >/dev/null"; }
    e_cp() { run edit.cp "$rep" cp "$OUT/tree.pak" "$OUT/edit-cp-$rep.pak"; }
    warm "$OUT/tree.pak" "$OUT/edit-add-$rep.pak" "$OUT/edit-rename-$rep.pak"
    if [ $first = vexa ]; then e_add; e_rename; e_cp; else e_cp; e_add; e_rename; fi
    rm -f "$OUT/edit-add-$rep.pak" "$OUT/edit-rename-$rep.pak" "$OUT/edit-cp-$rep.pak"

    # A WAD3 of 10,000 mip textures of 64 x 64 to BMP, against cp -r of the BMP files.
    h_vexa() { sh_run wad3.vexa "$rep" "'$CLI' extract '$OUT/wad3/textures.wad' '$OUT/h-vexa-$rep' --yes >/dev/null"; }
    h_cp() { run wad3.cp "$rep" cp -r "$OUT/wad3-bmp" "$OUT/h-cp-$rep"; }
    warm "$OUT/wad3" "$OUT/wad3-bmp"
    if [ $first = vexa ]; then h_vexa; h_cp; else h_cp; h_vexa; fi

    # 1,000 PNG pictures of 256 x 256 into one WAD3, against extracting that WAD3 back to BMP files.
    i_vexa() { sh_run import.vexa "$rep" "'$CLI' import wad3 '$OUT/i-vexa-$rep.wad' '$OUT'/pngs/*.png >/dev/null"; }
    i_back() { sh_run import.extract "$rep" "'$CLI' extract '$OUT/imported.wad' '$OUT/i-back-$rep' --yes >/dev/null"; }
    warm "$OUT/pngs" "$OUT/imported.wad"
    if [ $first = vexa ]; then i_vexa; i_back; else i_back; i_vexa; fi

    # The same import with one thread and with the default (one per processor), against pngquant at
    # the same --speed over the same files: one process per file, as a script runs it, and one call
    # with them all (it writes beside its inputs: links to them in a folder of its own, made before).
    q_one() { sh_run import.jobs1 "$rep" "'$CLI' import wad3 '$OUT/q-one-$rep.wad' '$OUT'/pngs/*.png --speed 4 --jobs 1 >/dev/null"; }
    q_all() { sh_run import.jobs "$rep" "'$CLI' import wad3 '$OUT/q-all-$rep.wad' '$OUT'/pngs/*.png --speed 4 >/dev/null"; }
    q_each() {
        mkdir -p "$OUT/pq-each-$rep"
        sh_run pngquant.each "$rep" "for f in '$OUT'/pngs/*.png; do pngquant --speed 4 --force --output '$OUT/pq-each-$rep/'\${f##*/} \"\$f\" || exit 1; done"
    }
    mkdir -p "$OUT/pq-once-$rep" "$OUT/pq-once1-$rep"
    ln -s "$OUT"/pngs/*.png "$OUT/pq-once-$rep/"
    ln -s "$OUT"/pngs/*.png "$OUT/pq-once1-$rep/"
    q_once() { sh_run pngquant.once "$rep" "pngquant --speed 4 --force --ext .q.png '$OUT/pq-once-$rep'/*.png"; }
    # pngquant's own OpenMP threads: one, as VEXA's --jobs 1 (which starts none).
    q_once1() { sh_run pngquant.once1 "$rep" "OMP_NUM_THREADS=1 pngquant --speed 4 --force --ext .q.png '$OUT/pq-once1-$rep'/*.png"; }
    warm "$OUT/pngs"
    if [ $first = vexa ]; then q_one; q_all; q_each; q_once; q_once1; else q_each; q_once; q_once1; q_one; q_all; fi
    if [ "$rep" -eq 1 ]; then cmp -s "$OUT/q-one-1.wad" "$OUT/q-all-1.wad" || { echo "bench: --jobs changed the WAD3" >&2; exit 1; }; fi

    # Adding one PNG to a WAD3 of 100 MiB in place, against cp of that WAD3 (each on its own copy)
    # and against importing that PNG alone into a new WAD3: what the edit adds to making the texture.
    cp "$OUT/big3.wad" "$OUT/add3-$rep.wad"
    a3_vexa() { sh_run add3.vexa "$rep" "'$CLI' add '$OUT/add3-$rep.wad' '$ONE_PNG' >/dev/null"; }
    a3_cp() { run add3.cp "$rep" cp "$OUT/big3.wad" "$OUT/add3-cp-$rep.wad"; }
    a3_import() { sh_run import1.vexa "$rep" "'$CLI' import wad3 '$OUT/import1-$rep.wad' '$ONE_PNG' >/dev/null"; }
    warm "$OUT/big3.wad" "$OUT/add3-$rep.wad" "$ONE_PNG"
    if [ $first = vexa ]; then a3_vexa; a3_cp; a3_import; else a3_cp; a3_import; a3_vexa; fi
    rm -f "$OUT/add3-$rep.wad" "$OUT/add3-cp-$rep.wad"

    # freedoom2.wad converted (pictures to PNG, sounds to WAV, music to MIDI), against DeuTex's
    # extraction of the same WAD to PNG and against VEXA's own extraction of the lumps as stored.
    d_vexa() { sh_run convert.vexa "$rep" "'$CLI' extract '$FREEDOOM' '$OUT/d-vexa-$rep' --convert --yes >/dev/null"; }
    d_deutex() {
        mkdir -p "$OUT/d-deutex-$rep"
        sh_run convert.deutex "$rep" "cd '$OUT/d-deutex-$rep' && '$DEUTEX' -png -doom2 '$OUT/iwad' -dir . -extract '$FREEDOOM' >/dev/null 2>&1"
    }
    d_raw() { sh_run convert.raw "$rep" "'$CLI' extract '$FREEDOOM' '$OUT/d-raw-$rep' --yes >/dev/null"; }
    warm "$FREEDOOM"
    if [ $first = vexa ]; then d_vexa; d_deutex; d_raw; else d_deutex; d_raw; d_vexa; fi

    # The sounds and songs of freedoom2.wad alone converted (DMX to WAV, MIDI as it is), against
    # DeuTex's extraction of the same WAD (WAV too, PC-speaker sounds as text) and against VEXA's
    # extraction of the lumps as stored; each run into a folder of its own.
    s_vexa() { sh_run sounds.vexa "$rep" "'$CLI' extract '$OUT/sounds.wad' '$OUT/s-vexa-$rep' --convert --yes >/dev/null"; }
    s_deutex() {
        mkdir -p "$OUT/s-deutex-$rep"
        sh_run sounds.deutex "$rep" "cd '$OUT/s-deutex-$rep' && '$DEUTEX' -doom2 '$OUT/iwad' -dir . -extract '$OUT/sounds.wad' >/dev/null 2>&1"
    }
    s_raw() { sh_run sounds.raw "$rep" "'$CLI' extract '$OUT/sounds.wad' '$OUT/s-raw-$rep' --yes >/dev/null"; }
    warm "$OUT/sounds.wad" "$FREEDOOM"
    if [ $first = vexa ]; then s_vexa; s_deutex; s_raw; else s_deutex; s_raw; s_vexa; fi

    # Finding a name in every container of a game folder, nested ones too, against grep -rl of its
    # bytes over the folder (grep exits 0 on a match; both must find it).
    f_vexa() { sh_run find.vexa "$rep" "'$CLI' find '$OUT/game' SECBASE.LEV >/dev/null"; }
    f_grep() { sh_run find.grep "$rep" "grep -rl SECBASE.LEV '$OUT/game' >/dev/null"; }
    warm "$OUT/game"
    if [ $first = vexa ]; then f_vexa; f_grep; else f_grep; f_vexa; fi
done

row 'list --json, PAK of 100,000 entries' list.vexa list.physfs 'PhysicsFS enumeration' 0.02 64
row 'extract, PAK of 10,000 entries, 1 GiB' extract.vexa extract.cp 'cp -r' 1.0
row 'extract, PAK of 10,000 entries, 1 GiB' extract.vexa extract.physfs 'PhysicsFS extraction' 0.75
row 'extract, PAK of 10,000 entries in 1,000 folders, 256 MiB' fextract.vexa fextract.cp 'cp -r' 1.03
row 'create pak from 10,000 files' create.pak create.tar 'tar -cf' 1.0
row 'create jk-gob from 10,000 files' create.gob create.tar 'tar -cf' 1.0
row 'extract one 1 GiB entry' big.vexa big.cat 'cat' 1.1 64
row 'add a 1 KiB file to the 1 GiB PAK of 10,000 entries' edit.add edit.cp 'cp of the PAK' 1.2 64
row 'rename an entry of the 1 GiB PAK of 10,000 entries' edit.rename edit.cp 'cp of the PAK' 1.2 64
row 'read every entry through a mount (tar), PAK of 10,000 entries, 1 GiB' mount.tar extracted.tar 'tar of the extracted files' 1.5 64
row 'read every entry through a mount (cat), PAK of 10,000 entries, 1 GiB' mount.cat extracted.cat 'cat of the extracted files' 1.5 64
row 'find of a mount, PAK of 100,000 entries' mount.find mount.list 'vexa-cli list' 3
row '10,000 WAL 64 x 64 to BMP' wal.vexa wal.cp 'cp -r of the BMPs' 1.5
row 'WAD3 of 10,000 textures 64 x 64 to BMP' wad3.vexa wad3.cp 'cp -r of the BMPs' 1.5
row 'window: Open to rows shown, 100,000' window.vexa window.list 'vexa-cli list' 3
row 'import 1,000 PNG 256 x 256 into a WAD3' import.vexa import.extract 'extract of that WAD3 to BMP' 3 65
row 'import 1,000 PNG into a WAD3, --jobs 1' import.jobs1 pngquant.each 'pngquant --speed 4, a process per file' 1.0 65
row 'import 1,000 PNG into a WAD3, --jobs 1' import.jobs1 pngquant.once 'pngquant --speed 4, one call' 1.0 65
row 'import 1,000 PNG into a WAD3, --jobs 1' import.jobs1 pngquant.once1 'pngquant --speed 4, one call, one thread' 1.0 65
row 'import 1,000 PNG into a WAD3, default --jobs' import.jobs pngquant.each 'pngquant --speed 4, a process per file' 0.6 66
row 'import 1,000 PNG into a WAD3, default --jobs' import.jobs pngquant.once 'pngquant --speed 4, one call' 0.6 66
row 'add a PNG to a WAD3 of 100 MiB (in place)' add3.vexa add3.cp 'cp of the WAD3' 0.1 64
row 'add a PNG to a WAD3 of 100 MiB (in place)' add3.vexa import1.vexa 'vexa-cli import of that PNG alone' 1.5 64
row 'extract --convert, freedoom2.wad' convert.vexa convert.deutex 'DeuTex -extract -png' 0.25 64
row 'extract --convert, freedoom2.wad' convert.vexa convert.raw 'vexa-cli extract (lumps as stored)' 3
row 'extract --convert, the sounds and songs of freedoom2.wad' sounds.vexa sounds.deutex 'DeuTex -extract' 0.5
row 'extract --convert, the sounds and songs of freedoom2.wad' sounds.vexa sounds.raw 'vexa-cli extract (lumps as stored)' 3
row 'find a name in 200 containers, 300,000 entries, 2 GiB' find.vexa find.grep 'grep -rl' 0.1 64

scroll_max=$(for r in $(seq 1 "$REPS"); do awk '{ print $1 }' "$OUT/runs/window.scroll.$r"; done | sort -g | tail -1)
scroll_total=$(for r in $(seq 1 "$REPS"); do awk '{ print $2 }' "$OUT/runs/window.scroll.$r"; done | median)

TABLE=$(
    echo "| case | VEXA (median) | reference | reference (median) | ratio: median (each run) | target | VEXA peak memory | |"
    echo "|---|---|---|---|---|---|---|---|"
    printf '%s\n' "${ROWS[@]}"
    echo
    printf 'Window scrolling through the 100,000 rows in 400 painted steps: longest step %.1f ms, all steps %.2f s (median).\n' \
        "$(awk -v s="$scroll_max" 'BEGIN { print s * 1000 }')" "$scroll_total"
    echo
    echo "Measured $(date -u '+%Y-%m-%d %H:%M UTC'), $REPS runs, $(nproc) cores, load average at the end $(cut -d' ' -f1-3 /proc/loadavg)."
)
echo
echo "$TABLE"

# The README keeps the last table, between its two markers.
if [ -f "$README" ] && grep -q '^<!-- table start -->$' "$README"; then
    TABLE="$TABLE" awk '
        /^<!-- table start -->$/ { print; print ENVIRON["TABLE"]; skip = 1; next }
        /^<!-- table end -->$/ { skip = 0 }
        !skip { print }' "$README" >"$README.new" && mv "$README.new" "$README"
fi
# Not a timing: the folder-swap race under stress, with the Release build.
bash "$ROOT/bench/race.sh" "$CLI"
echo "Removing the data ..."
