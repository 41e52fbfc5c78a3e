#!/bin/sh
# run_on_virtual_display.sh PREFIX WINE PROGRAM: runs the Windows PROGRAM under
# WINE in PREFIX on a virtual X display of its own. The prefix's desktop
# takes the display of the prefix's first process, so the prefix is made (or
# brought up to date) on that display, and its server is ended before the
# display goes.
set -u
prefix=$1 wine=$2 program=$3
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES=winemenubuilder.exe=d
unset WAYLAND_DISPLAY
exec xvfb-run --auto-servernum --server-args="-screen 0 1024x768x24" sh -c '
  "$1" wineboot --init </dev/null >/dev/null 2>&1 || exit 1
  "$1" "$2"
  status=$?
  "$(dirname "$1")/wineserver" -k 2>/dev/null
  exit $status' run_on_virtual_display "$wine" "$program"
