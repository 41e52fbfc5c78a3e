#!/usr/bin/env bash
# exqrv's bash completion as bash drives it: registered for exqrv, and for
# each command line (COMP_WORDS, the last word being completed) what it
# offers in a folder of documents, text and sub-folders.
#
# completion_test.sh COMPLETION_FILE
set -euo pipefail

completion=$1
scratch=$(mktemp -d "${TMPDIR:-/tmp}/exqrv-completion-XXXXXX")
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cd "$scratch"
mkdir -p out sub/deeper
touch A.QRV b.qrv notes.txt

[ "$(bash -c 'source "$1" && complete -p exqrv' bash "$completion")" = "complete -F _exqrv exqrv" ] ||
  fail "the completion is not registered for exqrv"

# offered WORD...: what completing the last word offers, one per line, sorted.
# compopt only works inside a real completion: what it says here is noise.
offered() {
  bash -c 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _exqrv 2>/dev/null
           printf "%s\n" "${COMPREPLY[@]}" | sort' bash "$completion" "$@"
}
cases=(
  # expected (\n between words) | the words
  'A.QRV\nb.qrv\nout\nsub|exqrv|'
  '--dialog|exqrv|--d'
  '--help|exqrv|--h'
  '/out\n/sub|exqrv|A.QRV|'
  '/out|exqrv|A.QRV|/o'
  '/sub/deeper|exqrv|*.QRV|/sub/'
  "/$scratch|exqrv|A.QRV|/$scratch"
  '|exqrv|A.QRV|ou'
  '--|exqrv|--dialog|'
  'A.QRV\nb.qrv\nout\nsub|exqrv|--dialog|--|'
  '|exqrv|--dialog|--|A.QRV|'
)
for case in "${cases[@]}"; do
  IFS='|' read -ra fields <<<"$case"
  expected=$(printf '%b' "${fields[0]}")
  words=("${fields[@]:1}")
  # A trailing empty word is the one being completed.
  [[ $case == *'|' ]] && words+=("")
  actual=$(offered "${words[@]}")
  [ "$actual" = "$expected" ] || fail "completing '${words[*]}' offers '$actual', not '$expected'"
done
echo "the completion offers what each word takes"
