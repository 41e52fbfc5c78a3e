#!/bin/sh
# run_on_virtual_display.sh PREFIX WINE PROGRAM: runs the Windows PROGRAM under
# WINE in PREFIX on a virtual X display of its own. The prefix's desktop
# takes the display of the prefix's first process, so the prefix is made (or
# brought up to date) on that display, and its server is ended before the
# display goes, and before it starts, in case an interrupted run left one.
set -u
prefix=$1 wine=$2 program=$3
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES=winemenubuilder.exe=d
unset WAYLAND_DISPLAY
server="$(dirname "$wine")/wineserver"
"$server" -k 2>/dev/null
"$server" -w 2>/dev/null
exec xvfb-run --auto-servernum --server-args="-screen 0 1600x1200x24" sh -c '
  "$1" wineboot --init </dev/null >/dev/null 2>&1 || exit 1
  "$1" "$2"
  status=$?
  "$3" -k 2>/dev/null
  "$3" -w 2>/dev/null
  exit $status' run_on_virtual_display "$wine" "$program" "$server"
