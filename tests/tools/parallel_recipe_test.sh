#!/usr/bin/env bash
# The README's recipe for spreading an archive over several machines with GNU
# parallel, run here with local job slots standing in for the hosts, over a
# generated archive of a few hundred documents: it must give the very tree
# that one plain `qrvtool convert -r` gives.
#
# parallel_recipe_test.sh SOURCE_FOLDER BUILD_FOLDER
set -euo pipefail

source_folder=$1 build=$2
scratch=$(mktemp -d "${TMPDIR:-/tmp}/exqrv-parallel-XXXXXX")
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
export PATH="$build:$PATH"

# The recipe as the README shows it: the indented block that sets ARCHIVE,
# without that line, whose values are the test's own.
recipe=$(awk '/^    ARCHIVE=/ { inside = 1; next }
              inside && /^    / { print substr($0, 5); next }
              inside { exit }' "$source_folder/README.md")
[ -n "$recipe" ] || fail "no recipe in the README"

# The archive: folders a few levels deep (one with a space in its name),
# documents plain and compressed, with and without notes, in either case.
archive="$scratch/the archive"
folders=(. letters "letters/to ann" letters/1871 river river/mill river/mill/wheel recipes notes/a/b/c)
filler=$(printf '%0300d' 0)
page=$scratch/page.txt
documents=0
for folder in "${folders[@]}"; do
  mkdir -p "$archive/$folder"
  for n in {1..34}; do
    printf 'Page %d of %s: %s\r\n' "$n" "$folder" "${filler:0:n * 7}" >"$page"
    options=()
    (( n % 2 )) && options+=(--compress)
    (( n % 3 == 0 )) && options+=(--compress-notes --note "1:[note $n]:($folder)")
    name=DOC$n.QRV
    (( n % 5 == 0 )) && name=doc$n.qrv
    qrvtool make "${options[@]}" --out "$archive/$folder/$name" "$page" "$page" >/dev/null
    documents=$((documents + 1))
  done
done

qrvtool convert -q -r -o "$scratch/plain" "$archive" || fail "plain convert failed"

ARCHIVE=$archive TEXTS="$scratch/spread texts" HOSTS=2/:
(eval "$recipe") || fail "the recipe failed"

texts=$(find "$scratch/plain" -type f | wc -l)
[ "$texts" -eq "$documents" ] || fail "plain convert wrote $texts text files for $documents documents"
diff -r "$scratch/plain" "$scratch/spread texts" || fail "the recipe's tree differs from convert's"
echo "the recipe gives convert's tree of $documents text files"
