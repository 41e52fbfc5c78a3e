# Bash completion for qrvtool: its commands, their options, and documents
# (*.QRV in any case) or folders where a document is expected.

_qrvtool_documents() {
  local IFS=$'\n'
  COMPREPLY+=($(compgen -d -- "$cur"))
  COMPREPLY+=($(compgen -f -X '!*.[Qq][Rr][Vv]' -- "$cur"))
}

_qrvtool() {
  local cur prev command
  cur=${COMP_WORDS[COMP_CWORD]}
  prev=${COMP_WORDS[COMP_CWORD-1]}
  COMPREPLY=()
  if [[ $COMP_CWORD -eq 1 ]]; then
    COMPREPLY=($(compgen -W "info text convert verify make explode implode recoll-setup --help --version" -- "$cur"))
    return
  fi
  command=${COMP_WORDS[1]}

  case $prev in
    --encoding)
      COMPREPLY=($(compgen -W "CP1250 CP1251 CP1252 CP1253 CP1254 CP1255 CP1256 CP1257 CP1258 CP874 CP932 CP936 CP949 CP950" -- "${cur^^}"))
      return ;;
    -o)
      local IFS=$'\n'
      COMPREPLY=($(compgen -d -- "$cur"))
      return ;;
    -j|--pages|--dict|--note)
      return ;;
    --out)
      local IFS=$'\n'
      COMPREPLY=($(compgen -f -- "$cur"))
      return ;;
  esac

  local options
  case $command in
    info) options="--json --encoding" ;;
    text) options="--pages --no-notes --json --json-lines --encoding --lf --page-break --max-expansion -" ;;
    convert) options="-j -o -r -n --progress --quiet -q --json --json-lines --encoding --lf --page-break --max-expansion" ;;
    make) options="--out --compress --compress-notes --note" ;;
    implode) options="--dict --ascii" ;;
    *) options="" ;;
  esac
  if [[ $cur == -* ]]; then
    COMPREPLY=($(compgen -W "$options --help" -- "$cur"))
    return
  fi
  case $command in
    info|text|convert|verify) _qrvtool_documents ;;
    recoll-setup)
      local IFS=$'\n'
      COMPREPLY=($(compgen -d -- "$cur")) ;;
    *)
      local IFS=$'\n'
      COMPREPLY=($(compgen -f -- "$cur")) ;;
  esac
}

complete -o filenames -F _qrvtool qrvtool
