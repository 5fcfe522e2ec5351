# bash completion for vexa-cli
# Needs nothing of the bash-completion package, so it also works when sourced on its own.

_vexa_cli() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}
    local command=${COMP_WORDS[1]}
    COMPREPLY=()

    if ((COMP_CWORD == 1)); then
        mapfile -t COMPREPLY < <(compgen -W 'detect list find extract create import add remove rename convert mount --help --version' -- "$cur")
        return
    fi

    case $prev in
    --format)
        mapfile -t COMPREPLY < <(compgen -W 'bmp png' -- "$cur")
        return ;;
    --palette)
        if [[ $cur == *=* ]]; then
            # GAME=FILE: complete the file after the "="
            local game=${cur%%=*}
            mapfile -t COMPREPLY < <(compgen -f -- "${cur#*=}")
            COMPREPLY=("${COMPREPLY[@]/#/$game=}")
        else
            mapfile -t COMPREPLY < <(compgen -W 'df-bm= jk-bm= jk-mat= quake1= quake2= doom= duke3d=' -- "$cur")
            compopt -o nospace 2>/dev/null
        fi
        return ;;
    --content)
        mapfile -t COMPREPLY < <(compgen -W 'picture palette sound music text container data' -- "$cur")
        return ;;
    --ext | --entry | --index | --filter | --as | --max-depth | --jobs | --speed | --name | --next | --flags | --contents | --value | --fog)
        return ;; # a value the user types
    esac

    local options
    case $command in
    detect) options='--help' ;;
    list) options='--json --filter --help' ;;
    find) options='--json --content --max-depth --jobs --help' ;;
    extract) options='--ext --entry --index --filter --format --convert --raw --palette --yes --help' ;;
    create | convert) options='--wait --help' ;;
    add) options='--as --palette --dither --speed --fullbright --fog --wait --no-in-place --help' ;;
    remove | rename) options='--wait --no-in-place --help' ;;
    import) options='--palette --dither --speed --fullbright --name --next --flags --contents --value --fog --jobs --wait --help' ;;
    mount) options='-f --foreground --convert --recursive --help' ;;
    *) return ;;
    esac
    if [[ $cur == -* ]]; then
        mapfile -t COMPREPLY < <(compgen -W "$options" -- "$cur")
        return
    fi

    # The position among the words that are not options or their values.
    local i position=0
    for ((i = 2; i < COMP_CWORD; i++)); do
        case ${COMP_WORDS[i]} in
        --ext | --entry | --index | --filter | --format | --palette | --as | --content | --max-depth | --jobs | --speed | --name | --next | --flags | --contents | --value | --fog) ((i++)) ;;
        -*) ;;
        *) ((position++)) ;;
        esac
    done

    if [[ $command == find && $position == 1 ]]; then
        return # a pattern the user types
    elif [[ ($command == create || $command == import) && $position == 0 || ($command == convert && $position == 1) ]]; then
        # The kinds as this vexa-cli names them in its own help.
        local kinds
        local from=$command
        [[ $command == convert ]] && from=create # convert takes the kinds create takes
        kinds=$("${COMP_WORDS[0]}" "$from" --help 2>/dev/null | sed -n 's/^  \([a-z0-9-]*\)\t.*/\1/p')
        mapfile -t COMPREPLY < <(compgen -W "$kinds" -- "$cur")
    elif [[ ($command == extract && $position == 1) || ($command == create && $position == 1) || ($command == mount && $position == 1) || ($command == find && $position == 0) ]]; then
        mapfile -t COMPREPLY < <(compgen -d -- "$cur")
        compopt -o dirnames 2>/dev/null
    else
        mapfile -t COMPREPLY < <(compgen -f -- "$cur")
        compopt -o filenames 2>/dev/null
    fi
} && complete -F _vexa_cli vexa-cli
