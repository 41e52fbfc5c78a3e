#!/usr/bin/env bash
# The README's recipes for git and less, run exactly as the README states
# them (each is the code block after its "<!-- recipe: NAME -->" line), in a
# scratch home with qrvtool on the PATH.
#
# readme_recipes_test.sh SOURCE_FOLDER BUILD_FOLDER
set -euo pipefail

source_folder=$1 build=$2
scratch=$(mktemp -d "${TMPDIR:-/tmp}/exqrv-recipes-XXXXXX")
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# recipe NAME: the README's code block for NAME.
recipe() {
  awk -v marker="<!-- recipe: $1 -->" '
    $0 == marker { found = 1; next }
    found && /^```/ { if (inside) exit; inside = 1; next }
    inside { print }' "$source_folder/README.md"
}
for name in git less; do
  [ -n "$(recipe "$name")" ] || fail "the README has no recipe for $name"
done

export HOME=$scratch/home PATH=$build:$PATH
mkdir -p "$HOME"
unset GIT_DIR GIT_WORK_TREE LESSOPEN LESSCLOSE
# page FILE TEXT...: a document, one page per text, made like a user's.
page() {
  local out=$1 i=0 pages=()
  shift
  for text in "$@"; do
    printf '%s' "$text" >"$scratch/page-$i.txt"
    pages+=("$scratch/page-$i.txt")
    i=$((i + 1))
  done
  qrvtool make --out "$out" "${pages[@]}" >/dev/null
}

echo "== git"
repo=$scratch/repo
git init -q "$repo"
cd "$repo"
git config user.name Tester && git config user.email tester@example.org
bash -euo pipefail -c "$(recipe git)"
page BOOK.QRV $'the mill stood\r\nby the river\r\n'
git add . && git commit -qm first
page BOOK.QRV $'the mill stood\r\nby the weir\r\n'
diff=$(git diff)
grep -qx -- '-by the river' <<<"$diff" || fail "git diff does not show the removed line: $diff"
grep -qx -- '+by the weir' <<<"$diff" || fail "git diff does not show the added line: $diff"
! grep -q $'\r' <<<"$diff" || fail "git diff shows carriage returns"
git commit -qam second
grep -qx -- '+by the weir' <<<"$(git log -p)" || fail "git log -p does not show the text"

echo "== less"
bash -euo pipefail -c "$(recipe less)"
eval "$(lesspipe)"
page "$scratch/LETTERS.qrv" $'dear ann,\r\n' $'yours, tom\r\n'
shown=$(less "$scratch/LETTERS.qrv" </dev/null)
[ "$shown" = $'dear ann,\nyours, tom' ] || fail "less shows: $shown"
# Other files are shown as before.
printf 'plain\n' >"$scratch/plain.txt"
[ "$(less "$scratch/plain.txt" </dev/null)" = plain ] || fail "less no longer shows text files"
echo "the README's recipes for git and less work as written"
