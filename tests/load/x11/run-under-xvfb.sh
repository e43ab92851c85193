#!/bin/sh
# Runs a test program under an X server of its own (xvfb-run picks a free
# display). Exits with 77, which CTest counts as skipped, only when no X
# server can be started on this machine.
set -u
server_args="-screen 0 1024x768x24 -nolisten tcp"
if ! command -v xvfb-run >/dev/null 2>&1 || ! command -v Xvfb >/dev/null 2>&1; then
    echo "SKIPPED: xvfb-run or Xvfb is not installed, so no X server can be started for the X clipboard test"
    exit 77
fi
if ! xvfb-run -a -s "$server_args" true >/dev/null 2>&1; then
    echo "SKIPPED: Xvfb could not be started here, so the X clipboard test cannot run"
    exit 77
fi
QT_QPA_PLATFORM=xcb
export QT_QPA_PLATFORM
exec xvfb-run -a -s "$server_args" "$@"
