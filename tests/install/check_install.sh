#!/usr/bin/env bash
# The install tree: `cmake --install` into a temporary prefix, then what a desktop and a packager
# expect of it, checked with their own tools. Run by ctest with the build folder as argument.
set -uo pipefail
export LC_ALL=C

build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
# Runs a check that must succeed; its output is shown when it does not.
check() {
    local what=$1 output
    shift
    if ! output=$("$@" 2>&1); then
        fail "$what"
        printf '%s\n' "$output" >&2
    fi
}
# The same for a check that must also print nothing (groff prints its warnings and succeeds).
check_silent() {
    local what=$1 output
    shift
    output=$("$@" 2>&1)
    if [ $? -ne 0 ] || [ -n "$output" ]; then
        fail "$what"
        printf '%s\n' "$output" >&2
    fi
}
# The options of a command as its usage lines name them (not those its description mentions).
usage_options() {
    "$cli" "$1" --help | awk 'NR == 1 || /^ / { print; next } { exit }' | grep -o -- '--[a-z][a-z-]*' | sort -u
}

cmake --install "$build" --prefix "$prefix" >/dev/null || { echo "FAIL: cmake --install" >&2; exit 1; }
share=$prefix/share
cli=$prefix/bin/vexa-cli

# --- files present -----------------------------------------------------------------------------
for file in bin/vexa bin/vexa-cli \
    share/vexa/Data/default_dark_forces.pal share/vexa/Data/default_jk_bm.pal \
    share/vexa/Data/default_jk_mat.pal share/vexa/Data/default_quake1.pal share/vexa/Data/default_quake2.pal \
    share/vexa/Help/index.html share/applications/vexa.desktop share/icons/hicolor/scalable/apps/vexa.svg \
    share/metainfo/org.vexa.vexa.metainfo.xml share/mime/packages/vexa.xml \
    share/man/man1/vexa.1 share/man/man1/vexa-cli.1 share/bash-completion/completions/vexa-cli \
    share/doc/vexa/copyright; do
    [ -f "$prefix/$file" ] || fail "missing $file"
done
hidden=$(find "$share/vexa" -name '.*')
[ -z "$hidden" ] || fail "installed files the user's Data would be seeded with: $hidden"
for program in vexa vexa-cli; do
    [ -x "$prefix/bin/$program" ] || fail "$program is not executable"
done

# --- the validators ----------------------------------------------------------------------------
check_silent "desktop-file-validate" desktop-file-validate "$share/applications/vexa.desktop"
check "appstreamcli validate" appstreamcli validate --no-net --pedantic --no-color \
    "$share/metainfo/org.vexa.vexa.metainfo.xml"
grep -q "<project_license>GPL-3.0-or-later</project_license>" "$share/metainfo/org.vexa.vexa.metainfo.xml" ||
    fail "the metainfo names no project licence"
grep -q "^License: GPL-3.0-or-later" "$share/doc/vexa/copyright" || fail "the copyright file names no licence"
check_silent "xmllint of the icon" xmllint --noout "$share/icons/hicolor/scalable/apps/vexa.svg"
check_silent "xmllint of the mime file" xmllint --noout "$share/mime/packages/vexa.xml"
check "update-mime-database" update-mime-database "$share/mime"

# Each MIME type the desktop file claims exists, here or in the system's database.
mimetypes=$(sed -n 's/^MimeType=//p' "$share/applications/vexa.desktop" | tr ';' ' ')
[ -n "$mimetypes" ] || fail "the desktop file claims no MIME type"
for type in $mimetypes; do
    grep -q "type=\"$type\"" "$share/mime/packages/vexa.xml" || [ -f "/usr/share/mime/$type.xml" ] ||
        fail "the desktop file claims $type, which no MIME file defines"
done

# A file manager recognises each kind by its first bytes, with or without a telling extension.
mkdir -p "$work/files"
while read -r type magic extension; do
    for name in "sample.$extension" "sample_$extension"; do
        [ "$magic" = - ] && [ "$name" = "sample_$extension" ] && continue # known by extension only
        file=$work/files/$name
        { [ "$magic" = - ] || printf '%b' "$magic"; head -c 64 /dev/zero | tr '\0' 'x'; } >"$file"
        found=$(XDG_DATA_HOME=$work/none XDG_DATA_DIRS=$share:/usr/share \
            gio info -a standard::content-type "$file" | sed -n 's/.*content-type: //p')
        [ "$found" = "$type" ] || fail "$name ($magic) is $found, not $type"
    done
done <<'KINDS'
application/x-half-life-wad3   WAD3                wad
application/x-dark-forces-gob  GOB\n               gob
application/x-jedi-knight-gob  GOB\040             gob
application/x-jedi-knight-gob  GOB\040             goo
application/x-outlaws-lab      LABN                lab
application/x-pak              PACK                pak
application/x-doom-wad         IWAD                wad
application/x-doom-wad         PWAD                wad
application/x-quake-wad2       WAD2                wad
application/x-quake-bsp        \035\0\0\0          bsp
application/x-descent-hog      DHF                 hog
application/x-descent3-hog2    HOG2                hog
application/x-freespace-vp     VPVP                vp
application/x-dark-forces-lfd  RMAP                lfd
application/x-build-grp        -                   grp
application/x-i82-zfs          ZFS3                zfs
application/x-rpk              Roni                rpk
image/x-dark-forces-bm         BM\040\036          bm
image/x-quake2-wal             -                   wal
image/x-jedi-knight-mat        MAT\040             mat
image/x-jedi-knight-bm         BM\040\040          bm
KINDS

# --- the manual pages --------------------------------------------------------------------------
for page in vexa vexa-cli; do
    check_silent "groff of $page.1" groff -man -ww -z "$share/man/man1/$page.1"
    rendered=$(MANWIDTH=80 man -l "$share/man/man1/$page.1" 2>&1) || fail "man -l $page.1"
    grep -q '^NAME' <<<"$rendered" || fail "man -l $page.1 shows no NAME section"
done
cli_page=$(MANWIDTH=200 man -l "$share/man/man1/vexa-cli.1" 2>/dev/null)

# --- the installed vexa-cli ----------------------------------------------------------------------
"$cli" --help >/dev/null || fail "vexa-cli --help"
[ "$("$cli" --version)" = "vexa-cli $(sed -n 's/^project(vexa VERSION \([0-9.]*\).*/\1/p' "$(dirname "$0")/../../CMakeLists.txt")" ] ||
    fail "vexa-cli --version: $("$cli" --version)"
# Every command and option the tool names in its help is in the manual page.
for command in detect list find extract create import add remove rename convert mount; do
    "$cli" "$command" --help >/dev/null || fail "vexa-cli $command --help"
    grep -q "^ *$command " <<<"$cli_page" || fail "the manual page lacks the command $command"
    for option in $(usage_options "$command"); do
        grep -q -- "$option" <<<"$cli_page" || fail "the manual page lacks $command $option"
    done
done
for kind in $("$cli" create --help | sed -n 's/^  \([a-z0-9-]*\)\t.*/\1/p') \
    $("$cli" import --help | sed -n 's/^  \([a-z0-9-]*\)\t.*/\1/p'); do
    grep -q -- "$kind" <<<"$cli_page" || fail "the manual page lacks the kind $kind"
done

# --- bash completion -----------------------------------------------------------------------------
mkdir -p "$work/complete/dirA" && touch "$work/complete/dfile"
completions() { # the words offered for the command line "$1" (the cursor at its end)
    (
        cd "$work/complete" || exit 1
        # shellcheck disable=SC1091
        source "$share/bash-completion/completions/vexa-cli"
        read -r -a COMP_WORDS <<<"$1"
        [[ $1 == *' ' ]] && COMP_WORDS+=('')
        COMP_WORDS[0]=$cli
        COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
        _vexa_cli
        printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' '
    )
}
while IFS='|' read -r line expected; do
    got=$(completions "$line")
    [ "$got" = "$expected" ] || fail "completion of '$line': '$got', expected '$expected'"
done <<'COMPLETIONS'
vexa-cli |--help --version add convert create detect extract find import list mount remove rename 
vexa-cli ex|extract 
vexa-cli list --|--filter --help --json 
vexa-cli extract a.gob out --fo|--format 
vexa-cli extract a.gob out --format |bmp png 
vexa-cli extract a.gob out --palette q|quake1= quake2= 
vexa-cli extract a.gob d|dirA 
vexa-cli extract --yes a.gob --ext .BM d|dirA 
vexa-cli extract a.gob dirA d|dfile dirA 
vexa-cli create |df-gob goo hl-wad hog hog2 jk-gob lab lfd pak vp 
vexa-cli import |df-bm jk-mat wad2 wad3 wal 
vexa-cli import wal out.wal pic.png --|--contents --dither --flags --fog --fullbright --help --jobs --name --next --palette --speed --value --wait 
vexa-cli create lab d|dirA 
vexa-cli convert a.gob |df-gob goo hl-wad hog hog2 jk-gob lab lfd pak vp 
vexa-cli add a.gob d|dfile dirA 
vexa-cli mount a.pak d|dirA 
vexa-cli mount a.pak dirA --r|--recursive 
vexa-cli find d|dirA 
vexa-cli find dirA --content p|palette picture 
COMPLETIONS
# Every option of the tool's help is offered.
for command in list find extract add remove rename convert create import mount; do
    offered=$(completions "vexa-cli $command --")
    for option in $(usage_options "$command"); do
        grep -q -- "$option " <<<"$offered" || fail "completion of $command lacks $option"
    done
done

# --- the installed window: its folders go to the user's ------------------------------------------
home=$work/home
mkdir -p "$home"
HOME=$home XDG_DATA_HOME=$home/data XDG_CACHE_HOME=$home/cache XDG_CONFIG_HOME=$home/config \
    QT_QPA_PLATFORM=offscreen "$prefix/bin/vexa" >"$work/window.log" 2>&1 &
window=$!
for _ in $(seq 1 300); do
    [ -f "$home/data/vexa/Data/default_quake2.pal" ] && [ -d "$home/cache/vexa/Temp" ] && break
    sleep 0.1
done
kill "$window" 2>/dev/null
wait "$window" 2>/dev/null
for pal in "$share"/vexa/Data/*.pal; do
    cmp -s "$pal" "$home/data/vexa/Data/${pal##*/}" || fail "the window did not seed ${pal##*/} into the user's Data"
done
[ -d "$home/cache/vexa/Temp" ] || fail "the window made no Temp in the user's cache"
[ -d "$home/data/vexa/HalfLife" ] || fail "the window made no HalfLife in the user's data"
[ -d "$home/Documents" ] || fail "the window made no documents folder"
for made in "$prefix"/bin/*; do
    case ${made##*/} in
    vexa | vexa-cli) ;;
    *) fail "the window made ${made##*/} beside itself" ;;
    esac
done
[ "$failures" -eq 0 ] || cat "$work/window.log" >&2

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) of the install tree failed" >&2
    exit 1
fi
echo "install tree: all checks passed"
