#!/usr/bin/env bash
# A double-click on a document in a file manager, as the desktop's own
# launcher carries it out: gio launches the desktop entry with the document,
# on a virtual display, finding exqrv on the PATH. The dialog must open in
# the document's folder with that document selected, which the test sees by
# pressing Convert: only that document's text appears. A start without a
# document (from the menu) opens the plain dialog where it starts. The
# picture of what the double-click opens lands in SCREENSHOTS.
#
# double_click_test.sh SOURCE_FOLDER BUILD_FOLDER SCREENSHOTS
# (On the virtual display it runs itself again with --on-display.)
set -euo pipefail

fail() { echo "FAIL: $*" >&2; exit 1; }

# on_display SOURCE_FOLDER SCRATCH SCREENSHOTS
on_display() {
  local source_folder=$1 scratch=$2 screenshots=$3
  local docs=$scratch/Documents entry=$1/data/exqrv.desktop window pid
  # The dialog's size in its own units: controls are found from their place
  # in them.
  local dialog_width=323 dialog_height=182
  opened() {
    window=$(timeout 30 xdotool search --sync --onlyvisible --name '^Quillor QRV to Text QRT$' |
      head -n1) || fail "no dialog appeared"
    pid=$(xdotool getwindowpid "$window")
    eval "$(xdotool getwindowgeometry --shell "$window")"
  }
  click() {
    xdotool mousemove --window "$window" $(($1 * WIDTH / dialog_width)) \
      $(($2 * HEIGHT / dialog_height)) click 1
  }
  close() {
    click 291 168  # Exit
    for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || return 0; sleep 0.1; done
    fail "the dialog did not close"
  }

  (cd "$scratch/elsewhere" && gio launch "$entry" "$docs/BOOK.QRV")
  opened
  [ "$(readlink "/proc/$pid/cwd")" = "$docs" ] || fail "the dialog opened in $(readlink "/proc/$pid/cwd")"
  sleep 1
  scrot --overwrite --autoselect "$X,$Y,$WIDTH,$HEIGHT" "$screenshots/double-click.png"
  click 162 72  # Convert
  for _ in $(seq 100); do [ -f "$docs/BOOK.TXT" ] && break; sleep 0.1; done
  [ "$(cat "$docs/BOOK.TXT" 2>/dev/null)" = "the book" ] || fail "Convert did not write BOOK.TXT"
  [ ! -e "$docs/OTHER.TXT" ] || fail "a document that was not double-clicked was converted too"
  close

  (cd "$scratch/elsewhere" && gio launch "$entry")
  opened
  [ "$(readlink "/proc/$pid/cwd")" = "$scratch/elsewhere" ] ||
    fail "from the menu, the dialog opened in $(readlink "/proc/$pid/cwd")"
  close
}
if [ "$1" = --on-display ]; then
  shift
  on_display "$@"
  exit
fi

source_folder=$1 build=$2 screenshots=$3
scratch=$(mktemp -d "${TMPDIR:-/tmp}/exqrv-double-click-XXXXXX")
trap 'rm -rf "$scratch"' EXIT
docs=$scratch/Documents
mkdir -p "$docs" "$scratch/elsewhere" "$screenshots"
printf 'the book' >"$scratch/book.txt"
printf 'the other' >"$scratch/other.txt"
"$build/qrvtool" make --out "$docs/BOOK.QRV" "$scratch/book.txt" >/dev/null
"$build/qrvtool" make --out "$docs/OTHER.QRV" "$scratch/other.txt" >/dev/null

# The launcher finds exqrv on the PATH, as a file manager's does; the
# desktop's folders are the scratch folder's.
export PATH=$build:$PATH
export HOME=$scratch XDG_CONFIG_HOME=$scratch/config XDG_DATA_HOME=$scratch/data \
  XDG_CACHE_HOME=$scratch/cache XDG_RUNTIME_DIR=$scratch/runtime
mkdir -m 0700 "$XDG_RUNTIME_DIR"
unset QT_QPA_PLATFORM WAYLAND_DISPLAY
xvfb-run --auto-servernum --server-args="-screen 0 1024x768x24" \
  "$0" --on-display "$source_folder" "$scratch" "$screenshots"
echo "the double-click opens the dialog on the document: $screenshots/double-click.png"
