#!/bin/bash
# make run on a fresh machine with no desktop and no sound server: the song
# Tivorn plays is rendered to a WAV that sounds, and the run's picture shows
# its tray menu rather than a black screen.
#   make_run_test.sh BUILD      (CTest; the run gets a Wine prefix of its own)
set -uo pipefail
scripts=$(cd "$(dirname "$0")/../../scripts" && pwd)
build=$(cd "$1" && pwd)
scratch=$(mktemp -d "${TMPDIR:-/tmp}/tivorn-run-test.XXXXXX")
prefix=$scratch/prefix
trap '"$scripts/stop.sh" "$build" "$prefix" >/dev/null 2>&1; rm -rf "$scratch"' EXIT
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }

rm -f "$build/run/demo.wav" "$build/screenshots/run.png"
# Under make test, the prefix is a copy of the test prefix, not one Wine's
# start-up makes anew in some 15 s: the run is what is tested.
if [[ -f "${WINEPREFIX:-}/.tivorn-ready" ]]; then
    "$scripts/copy-prefix.sh" "$WINEPREFIX" "$prefix" || fail "the test prefix could not be copied"
fi
env -u DISPLAY -u PULSE_SERVER -u WINEPREFIX XDG_RUNTIME_DIR="$scratch/no-server" \
    "$scripts/run.sh" "$build" "$prefix" >"$scratch/run.log" 2>&1 </dev/null || fail "run.sh exited $?"
grep -q 'rendered by its synthesizer' "$scratch/run.log" || fail "the run does not say where the WAV is"

# At least a second of sound, loud enough to hear.
/usr/bin/python3 -c 'import sys, wave, numpy
w = wave.open(sys.argv[1]); s = numpy.frombuffer(w.readframes(w.getnframes()), numpy.int16).astype(float)
sys.exit(not (w.getnframes() >= w.getframerate() and numpy.sqrt((s ** 2).mean()) > 100))' \
    "$build/run/demo.wav" 2>/dev/null || fail "the WAV is missing or silent"

# The menu's light face fills most of the picture.
lit=$(convert "$build/screenshots/run.png" -colorspace gray -threshold 25% -format '%[fx:mean]' info: 2>/dev/null)
[[ -n "$lit" ]] && awk -v lit="$lit" 'BEGIN { exit !(lit > 0.5) }' || fail "the picture is mostly black (${lit:-none} lit)"

[[ $failures -eq 0 ]] || { grep -a -v -e '^ALSA lib' "$scratch/run.log"; exit 1; }
echo "make run: WAV and picture as expected"
