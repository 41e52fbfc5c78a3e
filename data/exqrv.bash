# Bash completion for exqrv: documents (*.QRV in any case) or folders first,
# then the target folder written after its one slash (/out, //tmp/out);
# --dialog -- DOCUMENT opens the dialog on a document.

_exqrv_documents() {
  local IFS=$'\n'
  compopt -o filenames
  COMPREPLY+=($(compgen -d -- "$cur"))
  COMPREPLY+=($(compgen -f -X '!*.[Qq][Rr][Vv]' -- "$cur"))
}

_exqrv() {
  local cur=${COMP_WORDS[COMP_CWORD]}
  COMPREPLY=()
  if [[ ${COMP_WORDS[1]} == --dialog ]]; then
    case $COMP_CWORD in
      2) COMPREPLY=($(compgen -W "--" -- "$cur")) ;;
      3) _exqrv_documents ;;
    esac
    return
  fi
  case $COMP_CWORD in
    1)
      if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "--dialog --help --version" -- "$cur"))
      else
        _exqrv_documents
      fi ;;
    2)
      # The slash that introduces the target is not part of it: folders are
      # completed after it, and offered without a slash at their end, which
      # would make a relative target one with a separator.
      [[ -z $cur || $cur == /* ]] || return
      local folder IFS=$'\n'
      for folder in $(compgen -d -- "${cur#/}"); do
        COMPREPLY+=("/$folder")
      done ;;
  esac
}

complete -F _exqrv exqrv
