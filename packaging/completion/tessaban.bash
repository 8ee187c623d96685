# bash completion for tessaban. The commands and their options are read from the program's
# own --help, so they never fall behind it; port names come from the port folder.

_tessaban_ports()
{
    local folder=${TESSABAN_PORTS:-${XDG_CONFIG_HOME:-$HOME/.config}/Quorvel/Tessaban/ports}
    local entry name
    for entry in "$folder"/COM*; do
        name=${entry##*/}
        # Only names that are exactly COMn are ports (COMn.label and COMn.debug sit beside them).
        [[ $name =~ ^COM[0-9]+$ ]] && printf '%s\n' "$name"
    done
}

_tessaban()
{
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}
    local prog=${COMP_WORDS[0]}
    local IFS=$'\n'
    COMPREPLY=()

    if [[ $prev == --port ]]; then
        COMPREPLY=($(compgen -W "$(_tessaban_ports)" -- "$cur"))
        return
    fi

    # "  group sub      summary" lines of the usage.
    local table
    table=$("$prog" --help 2>/dev/null | sed -n 's/^  \([a-z]\+\)\( [a-z]\+\)\? \{2,\}.*/\1\2/p')
    if ((COMP_CWORD == 1)); then
        COMPREPLY=($(compgen -W "$(cut -d' ' -f1 <<<"$table" | sort -u)"$'\n'"--help"$'\n'"--version" -- "$cur"))
        return
    fi
    local group=${COMP_WORDS[1]}
    if ((COMP_CWORD == 2)) && grep -q "^$group " <<<"$table"; then
        COMPREPLY=($(compgen -W "$(sed -n "s/^$group //p" <<<"$table")" -- "$cur"))
        return
    fi

    local -a words=("$group")
    grep -qx "$group" <<<"$table" || words+=("${COMP_WORDS[2]}")
    local command=$group
    ((${#words[@]} > 1)) && command+=" ${words[1]}"
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$("$prog" "${words[@]}" --help 2>/dev/null | grep -o -- '--[a-z][a-z-]*' | sort -u)" -- "$cur"))
        return
    fi
    case $command in
    "controller mode") COMPREPLY=($(compgen -W $'MENU\nCONSOLE\nRUNNING\nBOOTLOADER' -- "$cur")) ;;
    program\ *) COMPREPLY=($(compgen -f -X '!*.tpg' -- "$cur")) ;;
    "motion backup" | "motion restore") COMPREPLY=($(compgen -f -X '!*.mtn' -- "$cur")) ;;
    firmware\ *) COMPREPLY=($(compgen -f -X '!*.hex' -- "$cur")) ;;
    "servo update") COMPREPLY=($(compgen -f -X '!*.rom' -- "$cur")) ;;
    esac
    # Folders too, so that a file can be reached by its path.
    COMPREPLY+=($(compgen -d -- "$cur"))
    compopt -o filenames 2>/dev/null
}

complete -F _tessaban tessaban
