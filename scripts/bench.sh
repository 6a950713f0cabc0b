#!/bin/bash
# Runs every benchmark program of a build tree and prints its figures, then
# the built-in synthesizer's against fluidsynth (scripts/synth_bench.sh).
#   scripts/with-wine.sh PREFIX scripts/bench.sh BUILD
# Each program runs alone (benchmarks measure time), its output going to a
# file first: a Wine program must not write into a pipe that others hold.
# A PulseAudio server with a null sink, where one can be started, gives the
# programs that play sound a device.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:?usage: scripts/bench.sh BUILD}
shopt -s nullglob
programs=("$build"/bench-bin/*.exe)
if [[ ${#programs[@]} -eq 0 ]]; then
    echo "bench.sh: no benchmark programs in $build/bench-bin" >&2
    exit 1
fi
. "$here/pulse-null-sink.sh"
tivorn_pulse_up || echo "bench.sh: no sound server; the real-time figures of the synthesizer are skipped" >&2
trap tivorn_pulse_down EXIT
status=0
out=$(mktemp "${TMPDIR:-/tmp}/tivorn-bench.XXXXXX")
# fluidsynth's resident memory for the SoundFont whose memory the real-time
# bench measures, rendering the same dense song: the most it held.
memory_font=${TIVORN_BENCH_MEMORY_SOUNDFONT:-/usr/share/sounds/sf2/FluidR3_GM.sf2}
songs=$build/native/tools/synth-bench-songs
if [[ -f "$memory_font" && -x "$songs" ]] && command -v fluidsynth >/dev/null; then
    "$songs" "$out.songs" >/dev/null 2>&1 &&
        TIVORN_BENCH_FLUIDSYNTH_KB=$(/usr/bin/python3 -c '
import resource, subprocess, sys
subprocess.run(sys.argv[1:], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
print(resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss)' \
            fluidsynth -ni -q -F "$out.wav" -T wav -r 48000 "$memory_font" "$out.songs/dense-band.mid") &&
        export TIVORN_BENCH_FLUIDSYNTH_KB
    rm -rf "$out.songs" "$out.wav"
fi
for program in "${programs[@]}"; do
    echo "== $(basename "$program" .exe)"
    wine "$program" >"$out" 2>&1 </dev/null
    rc=$?
    grep -v -e '^ALSA lib' -e 'cannot change locale' "$out"
    if [[ $rc -ne 0 ]]; then
        echo "   (exit status $rc)"
        status=1
    fi
    echo
done
rm -f "$out"
echo "== synth_bench"
"$here/synth_bench.sh" "$build" || status=1
exit $status
