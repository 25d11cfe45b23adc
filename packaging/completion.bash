# bash completion for orbisk, orbisk-sim and orbisk-image.
# Installed once under each program's name, so that bash-completion loads it for any of them.

_orbisk() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
    case $prev in
        --ip-upload | --image)
            compopt -o filenames 2>/dev/null
            COMPREPLY=($(compgen -f -- "$cur"))
            return
            ;;
        --ip | --camera)
            COMPREPLY=()
            return
            ;;
    esac
    COMPREPLY=($(compgen -W '-s --image --recover --all --list --json --ip --ip-upload --camera --version
        --help -h' -- "$cur"))
}

# Completes the first word from the tool's commands; returns 1 elsewhere.
_orbisk_command() {
    ((COMP_CWORD == 1)) || return 1
    COMPREPLY=($(compgen -W "$1" -- "${COMP_WORDS[1]}"))
    return 0
}

# Completes the value of an option from a fixed list; returns 1 when the option takes none
# or any.
_orbisk_value() {
    local cur=$1 prev=$2 values=
    case $prev in
        --generation) values='xu v1 v2' ;;
        --mode) values='rom app' ;;
        --memory) values='sf nor otp eeprom8 eeprom16 mtp' ;;
        --protected) values='yes no' ;;
        --fail-errno) values='EPIPE EIO ETIMEDOUT' ;;
        --fault) values='short status close silent' ;;
        --type) values='1 3' ;;
        --image | --bridge-image)
            compopt -o filenames 2>/dev/null
            COMPREPLY=($(compgen -f -- "$cur"))
            return 0
            ;;
        --profile | --vid | --pid | --rev | --version | --manufacturer | --product | --serial | \
            --memory-size | --bus | --ports | --fail-transfer | --fail-from | --disconnect-at | \
            --stuck-bit | --drop-write | --text | --listen | --split | --fault-at | --otp-weak | \
            --otp-false-report | --code-size | --second-word | --bridge-fail-command | \
            --bridge-fail-code | --bridge-fail-skip | --bridge-fail-program)
            COMPREPLY=()
            return 0
            ;;
        *) return 1 ;;
    esac
    COMPREPLY=($(compgen -W "$values" -- "$cur"))
}

_orbisk_sim() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]} options=
    _orbisk_command 'create show fault set unplug plug serve --help' && return
    if ((COMP_CWORD == 2)); then
        compopt -o filenames 2>/dev/null
        COMPREPLY=($(compgen -d -- "$cur"))
        return
    fi
    _orbisk_value "$cur" "$prev" && return
    case ${COMP_WORDS[1]} in
        create)
            options='--profile --vid --pid --rev --manufacturer --product --serial --generation
                --image --mode --memory --memory-size --bus --ports --protected --force --bridge
                --bridge-image --sensor'
            ;;
        show) options='--json' ;;
        serve) options='--listen --split --fault --fault-at' ;;
        fault)
            options='--clear --fail-transfer --fail-from --fail-errno --disconnect-at --stuck-bit
                --drop-write --drop-all-writes --busy-stuck --bad-qualify --no-return
                --otp-weak --otp-locked --otp-false-report --bridge-fail-command
                --bridge-fail-code --bridge-fail-skip --bridge-fail-program --bridge-busy
                --bridge-no-start'
            ;;
        set)
            # Section.Key=VALUE: the section, then the key is typed.
            compopt -o nospace 2>/dev/null
            options='Camera. Rom. Running. Usb. Timing. Faults. Bridge.'
            ;;
    esac
    COMPREPLY=($(compgen -W "$options" -- "$cur"))
}

_orbisk_image() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]} options=
    _orbisk_command 'info set-string strip demo extract' && return
    if [[ $prev == --memory ]]; then
        COMPREPLY=($(compgen -W 'sf nor eeprom8 eeprom16 mtp otp bridge' -- "$cur"))
        return
    fi
    _orbisk_value "$cur" "$prev" && return
    case ${COMP_WORDS[1]} in
        info) options='--profile --json' ;;
        set-string) options='--type --text --profile' ;;
        strip) options='--type --profile' ;;
        demo)
            options='--vid --pid --rev --version --manufacturer --product --serial --profile
                --memory --code-size --second-word'
            ;;
    esac
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
    else
        compopt -o filenames 2>/dev/null
        COMPREPLY=($(compgen -f -- "$cur"))
    fi
}

complete -F _orbisk orbisk
complete -F _orbisk_sim orbisk-sim
complete -F _orbisk_image orbisk-image
