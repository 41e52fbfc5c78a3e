#!/usr/bin/env bash
# file(1) with the shipped magic names generated documents, plain and
# compressed, with the MIME type the desktop's MIME entry declares and the
# extension; other files keep their type.
#
# file_magic_test.sh SOURCE_FOLDER QRVTOOL
set -euo pipefail

source_folder=$1 qrvtool=$2
scratch=$(mktemp -d "${TMPDIR:-/tmp}/exqrv-magic-XXXXXX")
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

magic=$source_folder/data/exqrv.magic
mime=$(sed -n 's/.*<mime-type type="\([^"]*\)".*/\1/p' "$source_folder/data/exqrv-mime.xml")
[ -n "$mime" ] || fail "no MIME type in exqrv-mime.xml"
printf 'a page' >"$scratch/page.txt"
"$qrvtool" make --out "$scratch/PLAIN.QRV" "$scratch/page.txt" >/dev/null
"$qrvtool" make --compress --note 1:a:b --out "$scratch/packed.qrv" "$scratch/page.txt" >/dev/null

with_system=$magic:/usr/share/misc/magic
for document in PLAIN.QRV packed.qrv; do
  for list in "$magic" "$with_system"; do
    said=$(file -b -m "$list" "$scratch/$document")
    [[ $said == "Quillor document, "*" chunks" ]] || fail "file -m $list $document says: $said"
    [ "$(file -b --mime-type -m "$list" "$scratch/$document")" = "$mime" ] ||
      fail "$document is not $mime to file -m $list"
  done
  [ "$(file -b --extension -m "$magic" "$scratch/$document")" = QRV/qrv ] || fail "no extension for $document"
done
[ "$(file -b --mime-type -m "$with_system" "$scratch/page.txt")" = text/plain ] ||
  fail "the magic claims a text file"
echo "file names the documents"
