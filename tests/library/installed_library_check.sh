#!/usr/bin/env bash
# The library as another build finds it once installed under PREFIX (by
# cmake --install or by dpkg into a scratch root): a C program built only
# with pkg-config, a C++ program through find_package(exqrv), the README's
# two examples as they stand, and the Python module under Debian's Python,
# each giving for generated documents the bytes that qrvtool text gives.
#
# installed_library_check.sh SOURCE_FOLDER QRVTOOL PREFIX
set -euo pipefail

source_folder=$1 qrvtool=$2 prefix=$3
here=$(cd "$(dirname "$0")" && pwd)
scratch=$(mktemp -d "${TMPDIR:-/tmp}/exqrv-installed-XXXXXX")
trap 'rm -rf "$scratch"' EXIT
# pkg-config cannot hand a path with a space to a shell's word splitting: a
# clone under such a folder has its install copied to the scratch folder,
# which the package files find themselves in.
if [[ "$prefix" == *" "* ]]; then
  cp -a "$prefix" "$scratch/prefix"
  prefix=$scratch/prefix
fi
fail() { echo "FAIL: $*" >&2; exit 1; }

pc=$(find "$prefix" -name exqrv.pc -print -quit)
library=$(find "$prefix" -name libexqrv.so.1 -print -quit)
python_package=$(find "$prefix" -path '*/dist-packages/exqrv' -type d -print -quit)
[ -n "$pc" ] && [ -n "$library" ] && [ -n "$python_package" ] ||
  fail "not installed under $prefix: exqrv.pc '$pc', libexqrv.so.1 '$library', exqrv '$python_package'"
export PKG_CONFIG_PATH=$(dirname "$pc")
export LD_LIBRARY_PATH=$(dirname "$library")
export PYTHONPATH=$(dirname "$python_package")
python=/usr/bin/python3

# The documents: plain, compressed, compressed with compressed notes, several
# pages with notes on more than one.
samples=$source_folder/samples
docs=$scratch/docs
mkdir "$docs"
"$qrvtool" make --out "$docs/PLAIN.QRV" "$samples/recipes-1.txt" >/dev/null
"$qrvtool" make --compress --out "$docs/PACKED.QRV" "$samples/river-1.txt" >/dev/null
"$qrvtool" make --compress --compress-notes --note "2:Note to page 2, :posted on a Tuesday." \
  --out "$docs/NOTES.QRV" "$samples/letters-1.txt" "$samples/letters-2.txt" >/dev/null
"$qrvtool" make --note "1:[Margin] :rebuilt in 1871." --note "3:[a]:[b]" --out "$docs/PAGES.QRV" \
  "$samples/river-1.txt" "$samples/river-2.txt" "$samples/letters-3.txt" >/dev/null
for doc in "$docs"/*.QRV; do "$qrvtool" text "$doc" >"$doc.expected"; done

echo "== a C program built with pkg-config --cflags --libs exqrv"
cc -Wall -Werror "$here/consumer.c" $(pkg-config --cflags --libs exqrv) -o "$scratch/consumer"
for doc in "$docs"/*.QRV; do
  "$scratch/consumer" "$doc" >"$scratch/out" || fail "consumer failed on $doc"
  cmp "$scratch/out" "$doc.expected" || fail "the C consumer's text of $doc is not qrvtool's"
  "$scratch/consumer" -m "$doc" >"$scratch/out" || fail "consumer -m failed on $doc"
  cmp "$scratch/out" "$doc.expected" || fail "the C consumer's text of $doc from memory is not qrvtool's"
done
status=0
said=$("$scratch/consumer" "$source_folder/README.md" 2>&1 >/dev/null) || status=$?
[ $status -eq 2 ] && [[ $said == *"result 3: not a Quillor document"* ]] ||
  fail "a non-document gave status $status: $said"

echo "== a C++ program through find_package(exqrv)"
cmake -S "$here/cxx_consumer" -B "$scratch/cxx" -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_BUILD_TYPE=Release \
  >"$scratch/cmake.log" 2>&1 || { cat "$scratch/cmake.log"; fail "find_package(exqrv) failed"; }
cmake --build "$scratch/cxx" >"$scratch/build.log" 2>&1 || { cat "$scratch/build.log"; fail "the C++ consumer did not build"; }
for doc in "$docs"/*.QRV; do
  "$scratch/cxx/cxx_consumer" "$doc" CP1252 lf page-break >"$scratch/out"
  "$qrvtool" text --encoding CP1252 --lf --page-break "$doc" | cmp - "$scratch/out" ||
    fail "the C++ consumer's text of $doc with the text options is not qrvtool's"
done

# The README's examples: the indented block that follows each heading's
# first line of code, as it stands.
readme_block() {  # HEADING FIRST-LINE
  awk -v heading="$1" -v first="$2" '
    $0 == heading { section = 1; next }
    section && /^## / { exit }
    section && $0 == "    " first { inside = 1 }
    inside && (/^    / || /^$/) { print substr($0, 5); next }
    inside { exit }' "$source_folder/README.md"
}
work=$scratch/work
mkdir "$work"
cp "$docs/NOTES.QRV" "$work/BOOK.QRV"
cp "$source_folder/README.md" "$work/README.md"

echo "== the README's C example"
readme_block "## Use from C" "#include <exqrv.h>" >"$work/book_text.c"
[ -s "$work/book_text.c" ] || fail "no C example in the README"
build_lines=$(readme_block "## Use from C" 'cc book_text.c $(pkg-config --cflags --libs exqrv) -o book_text')
[ -n "$build_lines" ] || fail "no build lines for the C example in the README"
(cd "$work" && bash -euo pipefail -c "$build_lines") || fail "the README's C example failed"
cmp "$work/BOOK.TXT" "$docs/NOTES.QRV.expected" || fail "the README's C example wrote other text"

echo "== the Python module under $python"
"$python" -c 'import exqrv, sys; assert exqrv.__file__.startswith(sys.argv[1]), exqrv.__file__' \
  "$python_package" || fail "import exqrv did not take the installed module"
readme_block "## Use from Python" "import exqrv" >"$work/example.py"
[ -s "$work/example.py" ] || fail "no Python example in the README"
(cd "$work" && "$python" example.py) >"$scratch/python.out" 2>&1 || { cat "$scratch/python.out"; fail "the README's Python example failed"; }
grep -qx "2 pages" "$scratch/python.out" && grep -qx "README.md: not a Quillor document" "$scratch/python.out" &&
  grep -q "  note: Note to page 2, posted on a Tuesday." "$scratch/python.out" ||
  { cat "$scratch/python.out"; fail "the README's Python example said something else"; }
for doc in "$docs"/*.QRV; do
  "$python" -c 'import exqrv, sys; sys.stdout.buffer.write(exqrv.text(sys.argv[1]))' "$doc" | cmp - "$doc.expected" ||
    fail "the installed module's text of $doc is not qrvtool's"
done
echo "the installed library serves C, C++ and Python"
