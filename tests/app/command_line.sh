#!/bin/bash
# Vorlane16's command line without a display: --help and --version answer on standard output with status
# 0; a start without a usable display prints one line on standard error and ends with status 1, never
# with an abort.
#   command_line.sh PATH-TO-Vorlane16 VERSION
set -euo pipefail
program="$1"
version="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failed=0
fail() { echo "FAIL: $*"; failed=1; }

# Runs the program with no display at all and the given extra environment; leaves status, out and err.
run() {
  status=0
  env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM HOME="$work" XDG_CONFIG_HOME="$work" "$@" \
    >"$work/out" 2>"$work/err" || status=$?
}
lines() { grep -c '' "$1" || true; }

run "$program" --help
[ "$status" -eq 0 ] || fail "--help ended with status $status: $(cat "$work/err")"
grep -q '^Usage: Vorlane16 ' "$work/out" || fail "--help printed no usage: $(cat "$work/out")"
[ ! -s "$work/err" ] || fail "--help wrote to standard error: $(cat "$work/err")"

run "$program" --version
[ "$status" -eq 0 ] || fail "--version ended with status $status"
[ "$(cat "$work/out")" = "Vorlane16 $version" ] || fail "--version printed '$(cat "$work/out")'"

run "$program"
[ "$status" -eq 1 ] || fail "without DISPLAY the status is $status"
[ "$(lines "$work/err")" -eq 1 ] && grep -q '^Vorlane16: .*display' "$work/err" ||
  fail "without DISPLAY standard error holds: $(cat "$work/err")"

# A display that nobody serves.
number=64999
while [ -e "/tmp/.X11-unix/X$number" ]; do number=$((number - 1)); done
run DISPLAY=":$number" "$program"
[ "$status" -eq 1 ] || fail "with an unserved display the status is $status"
[ "$(lines "$work/err")" -eq 1 ] && grep -q "^Vorlane16: .*\":$number\"" "$work/err" ||
  fail "with an unserved display standard error holds: $(cat "$work/err")"

# The platform named outright: Qt itself finds no display, which ends the start, not the process by abort.
run QT_QPA_PLATFORM=xcb "$program"
[ "$status" -eq 1 ] || fail "with the platform named and no display the status is $status"
[ "$(tail -n 1 "$work/err")" = "Vorlane16: no display could be opened for its window" ] ||
  fail "with the platform named and no display standard error ends: $(tail -n 1 "$work/err")"

[ "$failed" -eq 0 ] && echo "ok: --help, --version and three starts without a display"
exit "$failed"
