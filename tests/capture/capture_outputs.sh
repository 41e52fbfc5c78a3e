#!/bin/bash
# Runs exqrv and qrvtool from BIN over a fixed set of documents, streams and
# command lines, and writes what each run gave (standard output, standard
# error, exit status, the files it wrote) under OUT. Two captures of the same
# corpus, taken before and after a change that should alter nothing, are
# compared with `diff -r`: any difference is a change in behaviour.
#
#   capture_outputs.sh corpus CORPUS QRVTOOL   build the documents once
#   capture_outputs.sh run CORPUS BIN OUT      run BIN's programs over them
#
# Runs happen in one fixed folder, so the paths in messages match, and
# qrvtool convert runs with one worker, so its lines come in one order. Two
# captures at once on one machine must not share the folder: each sets
# CAPTURE_FOLDER to a folder of its own (the same for before and after).
set -u
mode=$1

if [ "$mode" = corpus ]; then
  corpus=$2 qrvtool=$3
  rm -rf "$corpus"; mkdir -p "$corpus/pages" "$corpus/docs" "$corpus/streams"
  here=$(cd "$(dirname "$0")/../.." && pwd)
  cp "$here"/samples/*.txt "$corpus/pages/"
  printf '' >"$corpus/pages/empty.txt"
  head -c 60000 /usr/share/common-licenses/GPL-3 >"$corpus/pages/gpl.txt"
  printf 'caf\xe9 \x93quoted\x94\r\nline two\r\n' >"$corpus/pages/cp1252.txt"
  p="$corpus/pages"
  "$qrvtool" make --out "$corpus/docs/PLAIN.QRV" "$p"/letters-*.txt
  "$qrvtool" make --out "$corpus/docs/PACKED.QRV" --compress "$p"/river-*.txt "$p/gpl.txt" "$p/empty.txt"
  "$qrvtool" make --out "$corpus/docs/NOTES.QRV" --compress --compress-notes \
    --note 1:Title:First\ note --note 2:Second:Another "$p"/letters-*.txt
  "$qrvtool" make --out "$corpus/docs/PLAINNOTES.QRV" --note 1:A:B "$p/recipes-1.txt" "$p/cp1252.txt"
  "$qrvtool" make --out "$corpus/docs/ONE.QRV" "$p/empty.txt"
  printf 'not a document at all\n' >"$corpus/docs/TEXT.QRV"
  : >"$corpus/docs/ZERO.QRV"
  # Damaged copies: a byte changed at spread offsets, and truncations.
  /usr/bin/python3 - "$corpus/docs" <<'PY'
import os, sys
d = sys.argv[1]
os.makedirs(os.path.join(d, "damaged"), exist_ok=True)
for name in ("PACKED.QRV", "NOTES.QRV", "PLAIN.QRV"):
    data = open(os.path.join(d, name), "rb").read()
    step = max(1, len(data) // 23)
    for n, at in enumerate(range(0, len(data), step)):
        b = bytearray(data); b[at] ^= 0x5A
        open(os.path.join(d, "damaged", f"{name[:-4]}-X{n:02}.QRV"), "wb").write(b)
    for n, cut in enumerate((8, 20, 64, len(data) // 3, len(data) // 2, len(data) - 1)):
        open(os.path.join(d, "damaged", f"{name[:-4]}-T{n}.QRV"), "wb").write(data[:cut])
PY
  cp /usr/share/common-licenses/GPL-3 "$corpus/streams/prose"
  head -c 300000 /bin/bash >"$corpus/streams/binary"
  cat /usr/include/stdio.h /usr/include/string.h >"$corpus/streams/source"
  exit 0
fi

corpus=$2 bin=$3 out=$4
rm -rf "$out"; mkdir -p "$out"
folder=${CAPTURE_FOLDER:-/tmp/exqrv-capture}
work=$folder-work
temp=$folder-temp
n=0

# run NAME COMMAND...: runs in a fresh copy of the documents, records what it
# printed and returned and every file it left.
run() {
  local name=$1; shift
  rm -rf "$work" "$temp"; mkdir -p "$work" "$temp"
  cp -r "$corpus/docs/." "$work/"
  mkdir -p "$work/out" "$work/dam"
  local dest="$out/$(printf '%03d' $n)-$name"; n=$((n + 1))
  mkdir -p "$dest"
  (cd "$work" && TMPDIR=$temp setsid "$@" </dev/null >"$dest/stdout" 2>"$dest/stderr"; echo $? >"$dest/status")
  (cd "$work" && find . -type f | sort | while read -r f; do
     cmp -s "$f" "$corpus/docs/$f" && continue
     mkdir -p "$dest/files/$(dirname "$f")"; cp "$f" "$dest/files/$f"
   done)
  ls -A "$temp" >"$dest/temp-left"
}

exqrv="$bin/exqrv" qrvtool="$bin/qrvtool"
for doc in PLAIN PACKED NOTES PLAINNOTES ONE TEXT ZERO MISSING; do
  run "exqrv-$doc" "$exqrv" "$doc.QRV"
done
run exqrv-pattern "$exqrv" '*.QRV' /out
run exqrv-damaged "$exqrv" 'damaged\*.QRV' /dam
run exqrv-nomatch "$exqrv" 'nothing*.QRV'
run exqrv-notarget "$exqrv" PLAIN.QRV /missing/deeper
run exqrv-help "$exqrv" --help
run exqrv-version "$exqrv" --version
run exqrv-usage "$exqrv" a b c
run exqrv-slash "$exqrv" /onlyslash
for doc in PLAIN PACKED NOTES PLAINNOTES ONE TEXT ZERO; do
  run "info-$doc" "$qrvtool" info "$doc.QRV"
  run "json-$doc" "$qrvtool" info --json "$doc.QRV"
  run "text-$doc" "$qrvtool" text "$doc.QRV"
  run "textopt-$doc" "$qrvtool" text --lf --page-break --encoding CP1252 "$doc.QRV"
  run "verify-$doc" "$qrvtool" verify "$doc.QRV"
done
run text-pages "$qrvtool" text --pages 2-3 --no-notes NOTES.QRV
run text-stdin sh -c "'$qrvtool' text - <NOTES.QRV"
for f in "$corpus"/docs/damaged/*.QRV; do
  d=damaged/$(basename "$f")
  run "dtext-$(basename "$f")" "$qrvtool" text "$d"
  run "dverify-$(basename "$f")" "$qrvtool" verify "$d"
  run "dinfo-$(basename "$f")" "$qrvtool" info --json "$d"
done
run convert "$qrvtool" convert -j 1 -o conv --quiet .
run convert-r "$qrvtool" convert -j 1 -r -o convr --lf --quiet .
run make-plain "$qrvtool" make --out M1.QRV "$corpus/pages/letters-1.txt" "$corpus/pages/gpl.txt"
run make-packed "$qrvtool" make --out M2.QRV --compress --compress-notes --note 1:x:y "$corpus"/pages/*.txt
for s in prose binary source; do
  for dict in 1024 2048 4096; do
    run "implode-$s-$dict" "$qrvtool" implode --dict $dict "$corpus/streams/$s" I.bin
    run "implode-ascii-$s-$dict" sh -c "'$qrvtool' implode --dict $dict --ascii '$corpus/streams/$s' A.bin && '$qrvtool' explode A.bin E.out && cmp E.out '$corpus/streams/$s'"
  done
done
run usage-none "$qrvtool"
run usage-bad "$qrvtool" frobnicate
run usage-text "$qrvtool" text
for c in info text convert verify make explode implode recoll-setup; do run "help-$c" "$qrvtool" $c --help; done
run help-word "$qrvtool" help
run help-short "$qrvtool" -h
run help-text-short "$qrvtool" text -h
run help-extra "$qrvtool" text --help PLAIN.QRV
run version "$qrvtool" --version
# Each parser's edges: a value missing or wrong, a word it does not know,
# "-" and "--", an empty word, one operand too many or too few.
edges=(
  "text --pages" "text --pages 3-1 PLAIN.QRV" "text --pages x PLAIN.QRV" "text --pages 2 PLAIN.QRV"
  "text --encoding" "text --encoding NOPE PLAIN.QRV" "text --max-expansion" "text --max-expansion 0 PLAIN.QRV"
  "text --bogus PLAIN.QRV" "text -x" "text -- --lf" "text --lf" "text - PLAIN.QRV"
  "convert" "convert -j" "convert -j0 PLAIN.QRV" "convert -jx PLAIN.QRV" "convert -j 65 PLAIN.QRV" "convert -o"
  "convert -" "convert -- -r" "convert -x" "convert --bogus PLAIN.QRV" "convert -q -j1 -o q PLAIN.QRV"
  "convert --progress --quiet -j 1 -o p PLAIN.QRV" "convert -j4 -n -o n MISSING.QRV"
  "info" "info PLAIN.QRV ONE.QRV" "info PLAIN.QRV ONE.QRV --bogus" "info -" "info --" "info --lf PLAIN.QRV"
  "info --encoding" "info --encoding NOPE PLAIN.QRV" "info PLAIN.QRV --bogus" "info --encoding CP1252 NOTES.QRV"
  "make" "make --out" "make --note" "make -" "make --" "make --bogus x.txt" "make --note 0:a:b x.txt"
  "implode" "implode --dict" "implode --dict 12 a b" "implode a" "implode --" "implode -x a b" "implode - b"
  "explode" "explode a" "explode --x y" "verify" "verify a b" "verify --x"
  "recoll-setup -x" "recoll-setup a b"
)
for e in "${edges[@]}"; do
  # shellcheck disable=SC2086  # the words of each case, split on purpose
  run "edge-${e// /_}" "$qrvtool" $e
done
run edge-info-empty "$qrvtool" info ''
run edge-text-empty "$qrvtool" text ''
run edge-convert-empty "$qrvtool" convert ''
run edge-make-empty "$qrvtool" make ''
rm -rf "$work" "$temp"
