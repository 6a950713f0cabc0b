#!/bin/bash
# The built-in synthesizer's sound and offline speed against fluidsynth, the
# reference SoundFont synthesizer, in the same run: the same songs (the demo
# songs and the dense General MIDI songs of bench/gm_songs.h), the same
# SoundFont, reverb and chorus off in both.
#   scripts/with-wine.sh PREFIX scripts/synth_bench.sh BUILD
# make bench runs it (through scripts/bench.sh).  It needs the Windows
# tree's tools/tivornctl.exe and the native tree's make-demo-songs and
# synth-bench-songs.
#
# TIVORN_BENCH_SOUNDFONT  the SoundFont (default: the packaged TimGM6mb.sf2)
# TIVORN_BENCH_RUNS       timed runs of each program per song, best taken (5: a
#                         short song renders in some 40 ms, beside a Wine start
#                         of 50 to 150 ms)
# TIVORN_BENCH_ONLY       renders only the songs whose name contains it
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:?usage: scripts/synth_bench.sh BUILD}" && pwd)
font=${TIVORN_BENCH_SOUNDFONT:-/usr/share/sounds/sf2/TimGM6mb.sf2}
runs=${TIVORN_BENCH_RUNS:-5}
only=${TIVORN_BENCH_ONLY:-}
python=/usr/bin/python3  # a python earlier on the PATH may lack numpy

# Fluidsynth's master gain is set so that the simplest voice is equally loud
# in both: the level probe (a one-zone font, a sine at attenuation 0, struck
# at velocity 127 with volume and expression at 127, hard left) is rendered
# by both, fluidsynth at 1.0, and the gain is their level difference.  Then
# the RMS figure measures how each song's instruments, velocities and
# controllers are voiced, not the overall level each program chose (Tivorn
# keeps headroom below its soft limiter; fluidsynth's default 0.2 is 14 dB
# down).  Fluidsynth writes float samples, so that it never clips.

# The goals.
min_logmel=0.95
max_rms_db=2

for tool in fluidsynth "$python" wine; do
    command -v "$tool" >/dev/null || { echo "synth_bench.sh: $tool is not installed" >&2; exit 1; }
done
ctl=$build/tools/tivornctl.exe
for f in "$ctl" "$build/native/tools/make-demo-songs" "$build/native/tools/synth-bench-songs" "$font"; do
    [[ -f "$f" ]] || { echo "synth_bench.sh: $f is missing" >&2; exit 1; }
done

work=$build/synth-bench
rm -rf "$work"
mkdir -p "$work/songs" "$work/out"
"$build/native/tools/make-demo-songs" "$work/demo" || exit 1
"$build/native/tools/synth-bench-songs" "$work/songs" || exit 1
mv "$work/songs/level" "$work/level"
# The demo songs under ASCII names; the titles are kept for the table.
names=()
files=()
n=0
while IFS= read -r -d '' song; do
    n=$((n + 1))
    cp "$song" "$work/songs/demo-$n.mid"
    names+=("$(basename "$song" .mid)")
    files+=("$work/songs/demo-$n.mid")
done < <(find "$work/demo" -name '*.mid' -print0 | sort -z)
for song in "$work/songs"/dense-*.mid; do
    names+=("$(basename "$song" .mid)")
    files+=("$song")
done

# Wall seconds of the best of $runs runs of a command, or "failed".
best_of() {
    local best= start elapsed r
    for ((r = 0; r < runs; r++)); do
        start=$EPOCHREALTIME
        "$@" >"$work/out/command.log" 2>&1 </dev/null || { echo failed; return; }
        elapsed=$(awk -v a="$start" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.3f", b - a }')
        if [[ -z "$best" ]] || awk -v a="$elapsed" -v b="$best" 'BEGIN { exit !(a < b) }'; then best=$elapsed; fi
    done
    echo "$best"
}

# verdict VALUE CONDITION: met when VALUE is a finite number (not the nan or
# inf of a silent render) and the awk CONDITION on v holds.
verdict() {
    [[ "$1" =~ ^[-+]?[0-9]+(\.[0-9]+)?$ ]] && awk -v v="$1" "BEGIN { exit !($2) }" && echo met || echo MISSED
}

winpath() { echo "Z:${1//\//\\}"; }

# The gain: fluidsynth at 1.0 against Tivorn on the level probe.
probe=$work/level
wine "$ctl" render --dry "$(winpath "$probe/probe.mid")" "$(winpath "$probe/probe.sf2")" \
    "$(winpath "$probe/tivorn.wav")" >"$work/out/command.log" 2>&1 </dev/null &&
    fluidsynth -ni -q -F "$probe/fluidsynth.wav" -T wav -O float -r 44100 -R 0 -C 0 -g 1.0 \
        "$probe/probe.sf2" "$probe/probe.mid" >>"$work/out/command.log" 2>&1 </dev/null &&
    level=$("$python" "$here/audio_compare.py" "$probe/fluidsynth.wav" "$probe/tivorn.wav" | awk '$1 == "rms" { print $4 }')
if ! [[ "${level:-}" =~ ^[-+]?[0-9]+(\.[0-9]+)?$ ]]; then
    echo "synth_bench.sh: the level probe could not be rendered by both:" >&2
    grep -v -e '^ALSA lib' -e 'cannot change locale' "$work/out/command.log" >&2
    exit 1
fi
gain=$(awk -v d="$level" 'BEGIN { printf "%.3f", 10 ^ (d / 20) }')

echo "Built-in synthesizer against $(fluidsynth --version 2>/dev/null | head -1 | sed 's/ runtime//')"
echo "  SoundFont $(basename "$font"); reverb and chorus off in both (tivornctl render --dry; fluidsynth -R 0 -C 0)."
echo "  fluidsynth -g $gain: Tivorn plays a one-zone sine at attenuation 0 (velocity, volume, expression 127,"
echo "  hard left) $level dB from fluidsynth at 1.0, so at $gain that voice is equally loud in both and the RMS"
echo "  figures compare how the songs are voiced.  Float output, so fluidsynth never clips."
echo "  Times: wall seconds, best of $runs runs, each program's start included (Wine's for tivornctl)."
echo "  Goals: log-mel correlation >= $min_logmel, RMS within $max_rms_db dB, render no slower than fluidsynth -F."
echo
printf '%7s %14s %14s %8s %8s %-6s %s\n' seconds log-mel "RMS diff dB" "tivorn s" "fluid s" speed song
all_met=1
failures=()
for i in "${!files[@]}"; do
    name=${names[$i]}
    song=${files[$i]}
    [[ -n "$only" && "$name" != *"$only"* ]] && continue
    ours=$work/out/tivorn-$i.wav
    theirs=$work/out/fluidsynth-$i.wav
    ours_s=$(best_of wine "$ctl" render --dry "$(winpath "$song")" "$(winpath "$font")" "$(winpath "$ours")")
    if [[ "$ours_s" == failed ]]; then
        printf 'tivornctl render failed on %s:\n' "$name"
        grep -v -e '^ALSA lib' -e 'cannot change locale' "$work/out/command.log" | sed 's/^/    /'
        all_met=0
        continue
    fi
    theirs_s=$(best_of fluidsynth -ni -q -F "$theirs" -T wav -O float -r 44100 -R 0 -C 0 -g "$gain" "$font" "$song")
    if [[ "$theirs_s" == failed ]]; then
        printf 'fluidsynth failed on %s:\n' "$name"
        sed 's/^/    /' "$work/out/command.log"
        all_met=0
        continue
    fi
    figures=$("$python" "$here/audio_compare.py" --max-lag 0.2 "$theirs" "$ours") || {
        printf 'the comparison failed on %s\n' "$name"
        all_met=0
        continue
    }
    logmel=$(awk '$1 == "logmel" { print $2 }' <<<"$figures")
    rms=$(awk '$1 == "rms" { print $4 }' <<<"$figures")
    seconds=$(awk '$1 == "duration" { print $2 }' <<<"$figures")
    v_mel=$(verdict "$logmel" "v >= $min_logmel")
    v_rms=$(verdict "$rms" "(v < 0 ? -v : v) <= $max_rms_db")
    v_speed=$(verdict "$ours_s" "v <= $theirs_s")
    printf '%7.1f %7s %-6s %7s %-6s %8s %8s %-6s %s\n' "$seconds" "$logmel" "$v_mel" "$rms" "$v_rms" \
        "$ours_s" "$theirs_s" "$v_speed" "$name"
    # The dense songs in make bench's table of figures (scripts/bench.sh).
    if [[ "$name" == dense-* ]]; then
        printf 'figure\tsynth: offline render, %s\t%s s\t%s s (fluidsynth -F)\t%s\n' "$name" "$ours_s" "$theirs_s" \
            "$(awk -v a="$ours_s" -v b="$theirs_s" 'BEGIN { printf "%.2f", b > 0 ? a / b : 0 }')"
    fi
    for v in "$v_mel:log-mel" "$v_rms:RMS" "$v_speed:speed"; do
        [[ ${v%%:*} == met ]] || { all_met=0; failures+=("$name ${v#*:}"); }
    done
done
echo
if [[ $all_met == 1 ]]; then
    echo "sound, loudness and offline speed against fluidsynth: met"
else
    echo "sound, loudness and offline speed against fluidsynth: NOT met${failures:+ (${failures[*]})}"
fi
echo "  (the renders stay in $work/out for listening)"
