#!/bin/bash
# The built-in synthesizer heard end to end: a short song played through
# KORVEL.dll's synth: output into a PulseAudio server's null sink, recorded
# from its monitor, sounds, and matches what tivornctl render makes of the
# same song with the same SoundFont; played again, it goes on through
# another device that becomes the default in mid-song.  Before that, the
# output's fallback, waveOut alone, plays four tones that are looked for
# in the recording.
#   synth_sound_e2e.sh PLAYER.exe TIVORNCTL.exe FALLBACK.exe   (CTest, under Wine)
# Exit 77 (skipped) where pulseaudio or the SoundFont is not installed.
#
# The bounds allow for what real time does and an offline render does not:
# the recording starts early and at the sink's 48 kHz, the song's last
# moment is cut when the output closes, and a wake delayed on a loaded
# machine may leave a gap.  A silent or wrong sound falls far below them.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
player=${1:?usage: synth_sound_e2e.sh PLAYER.exe TIVORNCTL.exe FALLBACK.exe}
ctl=${2:?usage: synth_sound_e2e.sh PLAYER.exe TIVORNCTL.exe FALLBACK.exe}
fallback=${3:?usage: synth_sound_e2e.sh PLAYER.exe TIVORNCTL.exe FALLBACK.exe}
font=/usr/share/sounds/sf2/TimGM6mb.sf2
min_logmel=0.85
max_rms_db=3
# The longest the recording may fall silent where the song sounds when the
# song moves to another device: the move takes the device's opening, a
# song that stopped far more.  A song that stays is not held to it: on a
# busy machine Wine's own audio thread can starve the server for 100 ms
# without our output's counter seeing it.
max_move_gap_ms=500

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

# Plays the song (the player writes it first) and records it.  With a
# device's name, that device becomes the default two seconds in; it plays
# into the null sink too, so the recording holds the whole song, and its
# own monitor must have heard the song's rest.
play() {
    local device=${1:-}
    rm -f "$scratch"/recorded*.wav
    tivorn_pulse_record "$scratch/recorded.wav" || exit 1
    if [[ -n $device ]]; then
        tivorn_pulse_record "$scratch/recorded-other.wav" "$other_sink" || exit 1
    fi
    if ! run_wine "$scratch/player.log" "$player" "$(winpath "$scratch/song.mid")" "$(winpath "$font")" $device ||
        ! grep -q '^played' "$scratch/player.log"; then
        echo "FAILED: the song did not play to its end through synth:${device:+ when the default device changed}"
        exit 1
    fi
    tivorn_pulse_stop_record
    if [[ -n $device ]] && ! PYTHONPATH="$source_dir/scripts" /usr/bin/python3 - "$scratch/recorded-other.wav" <<'PY'; then
import sys
import numpy as np
from audio_compare import read_wav
x, _ = read_wav(sys.argv[1])
sys.exit(0 if len(x) and np.abs(x).max() > 0.03 else 1)
PY
        echo "FAILED: nothing went to the new default device"
        exit 1
    fi
}

# Reference: the offline render; candidate: the recording, which starts
# with the silence before the program played.  Both are lined up at their
# first sound; the small lag searched beyond that keeps the song's repeated
# bars from lining up a bar out.
#   matches [--max-gap MS]
matches() {
    /usr/bin/python3 "$source_dir/scripts/audio_compare.py" --trim --max-lag 0.1 --min-logmel $min_logmel \
        --max-rms-db $max_rms_db "$@" "$scratch/rendered.wav" "$scratch/recorded.wav"
}

# The tones of audio_fallback_e2e.cpp, in their order, each at its pitch
# (within 2 %) and its level (-15 dB full scale, within 1.5 dB) in both
# channels: a wrong rate, sample format or channel layout moves one or the
# other.  The recording is read in 50 ms frames of unbroken sound, not at
# fixed times from the first: a busy machine's Wine may starve the server
# for a moment (silence the output cannot count), which shifts what follows
# but leaves every tone as it was.
tones_heard() {
    PYTHONPATH="$source_dir/scripts" /usr/bin/python3 - "$1" <<'PY'
import sys
import numpy as np
from audio_compare import read_wav
x, rate = read_wav(sys.argv[1])
pitches = (440.0, 660.0, 550.0, 880.0)
block, per_frame = int(0.005 * rate), 10
blocks = np.abs(x[:len(x) // block * block]).max(axis=1).reshape(-1, block).max(axis=1) > 0.01
if not blocks.any():
    sys.exit('silence')
# Frames of ten 5 ms blocks that all sound, frame by frame through each run of them.
frames, run = [], 0
for i, sounding in enumerate(blocks):
    run = run + 1 if sounding else 0
    if run == per_frame:
        frames.append(x[(i + 1 - per_frame) * block:(i + 1) * block])
        run = 0
order, heard = [], {k: [] for k in range(len(pitches))}
for part in frames:
    spectrum = np.abs(np.fft.rfft(part.mean(axis=1) * np.hanning(len(part)), 8 * len(part)))
    pitch = np.argmax(spectrum) * rate / (8 * len(part))
    near = [k for k, p in enumerate(pitches) if abs(pitch / p - 1) < 0.02]
    if near:  # a frame across two tones may be neither
        heard[near[0]].append((pitch, 20 * np.log10(np.sqrt((part ** 2).mean(axis=0)) + 1e-12)))
        if not order or order[-1] != near[0]:
            order.append(near[0])
ok = order == list(range(len(pitches)))
if not ok:
    print(f'tones in the order {[pitches[k] for k in order]} Hz, wanted {list(pitches)}')
for k, pitch in enumerate(pitches):
    got = heard[k]
    levels = np.array([l for _, l in got]).reshape(-1, x.shape[1])
    good = len(got) >= 3 and bool((np.abs(levels + 15.05) < 1.5).all())
    shown = (f'{np.median([p for p, _ in got]):.1f} Hz in {len(got)} frames, levels '
             f'{levels.min(axis=0).round(2).tolist()} to {levels.max(axis=0).round(2).tolist()} dB' if got else 'not heard')
    print(f'tone {k}: {shown} (wanted {pitch:.0f} Hz)')
    ok = ok and good
sys.exit(0 if ok else 1)
PY
}

fallback_plays() {
    rm -f "$scratch/fallback.wav"
    tivorn_pulse_record "$scratch/fallback.wav" || exit 1
    if ! run_wine "$scratch/fallback.log" "$fallback" || ! grep -q '^played' "$scratch/fallback.log"; then
        echo "FAILED: the tones did not play through waveOut"
        exit 1
    fi
    tivorn_pulse_stop_record
    grep -q 'api 2,' "$scratch/fallback.log" || { echo "FAILED: the output did not open waveOut"; exit 1; }
    tones_heard "$scratch/fallback.wav"
}

# The offline render of the song that the player wrote.
render_once() {
    [[ -f "$scratch/rendered.wav" ]] && return 0
    if ! run_wine "$scratch/render.log" "$ctl" render "$(winpath "$scratch/song.mid")" "$(winpath "$font")" \
        "$(winpath "$scratch/rendered.wav")"; then
        echo "FAILED: tivornctl render"
        exit 1
    fi
}
#   plays_as_rendered [DEVICE]
plays_as_rendered() {
    play "$@" && render_once && matches ${1:+--max-gap $max_move_gap_ms}
}

# A run in which the output itself counted underruns (the machine was too
# busy to keep the device fed) has gaps that say nothing about the sound:
# CHECK runs again, up to three times in all, while its player's LOG counts
# underruns.
#   retried LOG CHECK [ARGS...]
retried() {
    local log=$1 attempt underruns
    shift
    for attempt in 1 2 3; do
        "$@" && return 0
        underruns=$(sed -n 's/.*underruns \([0-9]*\).*/\1/p' "$log")
        [[ "${underruns:-0}" -gt 0 && $attempt -lt 3 ]] || return 1
        echo "the output counted $underruns underruns on a busy machine: playing again"
    done
}

retried "$scratch/player.log" plays_as_rendered || { echo "FAILED: the recording does not match the offline render"; exit 1; }

# waveOut counts no underruns (its log says 0 whatever happened), and on a
# busy machine, as at the start of make test, a tone comes out cut short
# (so these tones come after the song, which counts its underruns):
# the tones play again, up to three times in all.  A fault in what is
# played fails every time.
for attempt in 1 2 3; do
    fallback_plays && break
    [[ $attempt -lt 3 ]] || { echo "FAILED: the tones through waveOut are not as played"; exit 1; }
    echo "the tones through waveOut were not as played, perhaps on a busy machine: playing again"
done

# Headphones plugged in: another device becomes the default in mid-song,
# and the song goes on there to its end.
other_sink=tivorn_other
tivorn_pulse_add_sink $other_sink TivornOther || exit 1
retried "$scratch/player.log" plays_as_rendered TivornOther || {
    echo "FAILED: the song as both devices played it does not match the offline render"
    exit 1
}
echo "passed"
exit 0
