# bash completion for wyc, the window: its few options.
_wyc() {
    local cur prev words cword
    _init_completion || return
    case $prev in
        --server|--seed) return ;;
    esac
    COMPREPLY=($(compgen -W '--server --seed --version --help' -- "$cur"))
} &&
    complete -F _wyc wyc
