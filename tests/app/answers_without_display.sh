#!/bin/sh
# plenvaro --help and --version answer on stdout and exit 0 without a display, and start no program.
#   answers_without_display.sh PLENVARO VERSION
set -eu
program=$1 version=$2
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
help=$("$program" --help) || { echo "--help ended with status $?" >&2; exit 1; }
printf '%s\n' "$help" | grep -q '^Aufruf: plenvaro' || { echo "--help said: $help" >&2; exit 1; }
answer=$("$program" --version) || { echo "--version ended with status $?" >&2; exit 1; }
[ "$answer" = "plenvaro $version" ] || { echo "--version said: $answer" >&2; exit 1; }
