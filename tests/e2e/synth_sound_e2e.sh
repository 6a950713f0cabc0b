#!/bin/bash
# The built-in synthesizer heard end to end: a short song played through
# KORVEL.dll's synth: output into a PulseAudio server's null sink, recorded
# from its monitor, sounds, and matches what tivornctl render makes of the
# same song with the same SoundFont.
#   synth_sound_e2e.sh PLAYER.exe TIVORNCTL.exe      (CTest, under Wine)
# Exit 77 (skipped) where pulseaudio or the SoundFont is not installed.
#
# The bounds allow for what real time does and an offline render does not:
# the recording starts early and at the sink's 48 kHz, the song's last
# moment is cut when the output closes, and a wake delayed on a loaded
# machine may leave a gap.  A silent or wrong sound falls far below them.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
player=${1:?usage: synth_sound_e2e.sh PLAYER.exe TIVORNCTL.exe}
ctl=${2:?usage: synth_sound_e2e.sh PLAYER.exe TIVORNCTL.exe}
font=/usr/share/sounds/sf2/TimGM6mb.sf2
min_logmel=0.85
max_rms_db=3

if ! command -v pulseaudio >/dev/null || ! command -v parec >/dev/null; then
    echo "skipped: pulseaudio and pulseaudio-utils are not installed"
    exit 77
fi
if [[ ! -f "$font" ]]; then
    echo "skipped: no General MIDI SoundFont at $font (package timgm6mb-soundfont)"
    exit 77
fi
. "$source_dir/scripts/pulse-null-sink.sh"
scratch=$(mktemp -d "${TMPDIR:-/tmp}/tivorn-synth-e2e.XXXXXX")
trap 'tivorn_pulse_down; rm -rf "$scratch"' EXIT
tivorn_pulse_up || exit 1

winpath() { echo "Z:${1//\//\\}"; }
# Wine programs write to a file, not to CTest's pipe (scripts/wine-exec.sh).
run_wine() {
    local log=$1
    shift
    wine "$@" >"$log" 2>&1 </dev/null
    local status=$?
    grep -a -v -e '^ALSA lib' -e 'cannot change locale' "$log"
    return $status
}

# Plays the song (the player writes it first) and records it.
play() {
    rm -f "$scratch/recorded.wav"
    tivorn_pulse_record "$scratch/recorded.wav" || exit 1
    if ! run_wine "$scratch/player.log" "$player" "$(winpath "$scratch/song.mid")" "$(winpath "$font")" ||
        ! grep -q '^played' "$scratch/player.log"; then
        echo "FAILED: the song did not play to its end through synth:"
        exit 1
    fi
    tivorn_pulse_stop_record
}

# Reference: the offline render; candidate: the recording, which starts
# with the silence before the program played.  Both are lined up at their
# first sound; the small lag searched beyond that keeps the song's repeated
# bars from lining up a bar out.
matches() {
    /usr/bin/python3 "$source_dir/scripts/audio_compare.py" --trim --max-lag 0.1 \
        --min-logmel $min_logmel --max-rms-db $max_rms_db "$scratch/rendered.wav" "$scratch/recorded.wav"
}

play
if ! run_wine "$scratch/render.log" "$ctl" render "$(winpath "$scratch/song.mid")" "$(winpath "$font")" \
    "$(winpath "$scratch/rendered.wav")"; then
    echo "FAILED: tivornctl render"
    exit 1
fi
# A run in which the output itself counted underruns (the machine was too
# busy to keep the device fed) has gaps that say nothing about the sound:
# it is played again, up to three times in all.
for attempt in 1 2 3; do
    matches && { echo "passed"; exit 0; }
    underruns=$(sed -n 's/.*underruns \([0-9]*\).*/\1/p' "$scratch/player.log")
    [[ "${underruns:-0}" -gt 0 && $attempt -lt 3 ]] || break
    echo "the output counted $underruns underruns on a busy machine: playing again"
    play
done
echo "FAILED: the recording does not match the offline render"
exit 1
