#!/bin/bash
# Runs every benchmark program of a build tree and prints its figures, then
# the built-in synthesizer's against fluidsynth (scripts/synth_bench.sh).
#   scripts/with-wine.sh PREFIX scripts/bench.sh BUILD
# Each program runs alone (benchmarks measure time), its output going to a
# file first: a Wine program must not write into a pipe that others hold.
# A PulseAudio server with a null sink, where one can be started, gives the
# programs that play sound a device.
#
# Every program also prints its figures as rows ("figure", the figure, this
# run's value, the same run's reference, their ratio, tab-separated); they
# are gathered into one table at the end, which is written to
# BUILD/bench-figures.md with the date and the machine.  TIVORN_BENCH_KEEP=1
# keeps the run: the table replaces the one in docs/performance.md.
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
rows=$out.rows
: >"$rows"
started="$(date -u '+%Y-%m-%d %H:%M') UTC"
machine="$(nproc) cores, $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -1), $(wine --version 2>/dev/null), load $(cut -d' ' -f1 /proc/loadavg) at the start"
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
fi
# Fluidsynth in real time through the same server: the reference of the
# built-in synthesizer's real-time figure.
if [[ -n "${PULSE_SERVER:-}" && -x "$songs" ]] && command -v fluidsynth >/dev/null; then
    [[ -d "$out.songs" ]] || "$songs" "$out.songs" >/dev/null 2>&1
    figures=$(/usr/bin/python3 "$here/fluidsynth_realtime.py" "${TIVORN_BENCH_SOUNDFONT:-/usr/share/sounds/sf2/TimGM6mb.sf2}" \
        "$out.songs/dense-band.mid" 2>/dev/null) &&
        TIVORN_BENCH_FLUIDSYNTH_CPU=$(awk '{ v[$1] = $2 } END { print v["song"], v["silent"], v["voices"] }' <<<"$figures") &&
        export TIVORN_BENCH_FLUIDSYNTH_CPU
fi
rm -rf "$out.songs" "$out.wav"
# The synthesizer's underruns are counted with the other core busy with a
# compile: while synth_realtime_bench holds the flag file, this tree's
# largest library is compiled again and again, at the bench's priority.
busy_flag=$out.busy
compile=$(cd "$build" && ninja -t commands editor/CMakeFiles/tivorn_editor.dir/Unity/unity_0_cxx.cxx.obj 2>/dev/null |
    tail -1 | sed -e 's/ -MD -MT [^ ]* -MF [^ ]*//' -e 's/ -o [^ ]*/ -o \/dev\/null/')
if [[ -n "$compile" ]]; then
    (
        cd "$build" || exit
        while sleep 0.1; do
            [[ -e "$busy_flag" ]] || continue
            touch "$busy_flag.running"
            while [[ -e "$busy_flag" ]]; do bash -c "$compile" >/dev/null 2>&1; done
            rm -f "$busy_flag.running"
        done
    ) &
    busy_loop=$!
    trap 'kill $busy_loop 2>/dev/null; tivorn_pulse_down' EXIT
    export TIVORN_BENCH_BUSY_FLAG="Z:${busy_flag//\//\\}"
fi
for program in "${programs[@]}"; do
    echo "== $(basename "$program" .exe)"
    wine "$program" >"$out" 2>&1 </dev/null
    rc=$?
    grep -v -e '^ALSA lib' -e 'cannot change locale' -e '^figure	' "$out"
    grep '^figure	' "$out" >>"$rows"
    if [[ $rc -ne 0 ]]; then
        echo "   (exit status $rc)"
        status=1
    fi
    echo
done
echo "== synth_bench"
"$here/synth_bench.sh" "$build" >"$out" 2>&1 || status=1
grep -v '^figure	' "$out"
grep '^figure	' "$out" >>"$rows"

# The table, in Markdown, to the screen and to its file.
table=$build/bench-figures.md
{
    echo "### $started, $machine"
    echo
    echo "| Figure | This run | The same run's reference | Ratio |"
    echo "|---|---|---|---|"
    awk -F'\t' '{ printf "| %s | %s | %s | %s |\n", $2, $3, $4, $5 }' "$rows"
} >"$table"
echo
echo "== the figures of this run (also in $table)"
cat "$table"
rm -f "$out" "$rows"
if [[ "${TIVORN_BENCH_KEEP:-}" == 1 ]]; then
    "$here/keep_bench_figures.sh" "$table" "$here/../docs/performance.md" || status=1
fi
exit $status
