# bash completion for wyc-cli: its commands, their options, and files or folders
# where an option or argument names one.
_wyc_cli() {
    local cur prev words cword
    _init_completion -s || return

    local command="" i
    for ((i = 1; i < cword; i++)); do
        case ${words[i]} in
            -*) ;;
            *) command=${words[i]}; break ;;
        esac
    done
    if [[ -z $command ]]; then
        COMPREPLY=($(compgen -W 'rewrite batch thesaurus init-db --help --version' -- "$cur"))
        return
    fi

    local rewrite_options='--db --no-synonyms --shuffle --keep-spaces --strip-breaks
        --keyword --frequency --seed --protect --html'
    case $prev in
        --db|--list|--file) _filedir; return ;;
        --source-dir|--target-dir) _filedir -d; return ;;
        --encoding)
            [[ $command == thesaurus ]] && COMPREPLY=($(compgen -W 'gbk utf-8' -- "$cur")) ||
                COMPREPLY=($(compgen -W 'auto gbk utf-8' -- "$cur"))
            return ;;
        --id-mode) COMPREPLY=($(compgen -W 'url index name' -- "$cur")); return ;;
        --html) COMPREPLY=($(compgen -W 'keep extract text' -- "$cur")); return ;;
        --keyword|--frequency|--seed|--protect|--post) return ;;
    esac
    $split && return

    case $command in
        rewrite)
            if [[ $cur == -* ]]; then
                COMPREPLY=($(compgen -W "$rewrite_options --encoding --report --help" -- "$cur"))
            else
                _filedir
            fi ;;
        batch)
            COMPREPLY=($(compgen -W "$rewrite_options --source-dir --list --target-dir --post
                --id-mode --help" -- "$cur")) ;;
        thesaurus)
            if [[ $cur == -* ]]; then
                COMPREPLY=($(compgen -W '--db --encoding --file --unused --strict --help' -- "$cur"))
                return
            fi
            local sub="" verb=""
            for ((i++; i < cword; i++)); do
                case ${words[i]} in
                    --db|--encoding|--file) ((i++)) ;;
                    -*) ;;
                    *) if [[ -z $sub ]]; then sub=${words[i]}; elif [[ -z $verb ]]; then verb=${words[i]}; fi ;;
                esac
            done
            case $sub in
                "") COMPREPLY=($(compgen -W 'list add import export protect check' -- "$cur")) ;;
                import|export) [[ -z $verb ]] && _filedir ;;
                protect) [[ -z $verb ]] && COMPREPLY=($(compgen -W 'list add remove' -- "$cur")) ;;
            esac ;;
        init-db)
            if [[ $cur == -* ]]; then
                COMPREPLY=($(compgen -W '--force --help' -- "$cur"))
            else
                _filedir
            fi ;;
    esac
} &&
    complete -F _wyc_cli wyc-cli
