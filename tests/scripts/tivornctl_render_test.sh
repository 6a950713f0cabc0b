#!/bin/bash
# tivornctl render's refusals: usage errors exit 2, a file that cannot be
# used exits 1 naming it and why, and a WAV that was there before is left
# as it was; a render that works replaces it whole.  (How a render sounds is
# the end-to-end test's.)
#   tivornctl_render_test.sh TIVORNCTL.exe      (CTest, under Wine)
set -uo pipefail
ctl=${1:?usage: tivornctl_render_test.sh TIVORNCTL.exe}
scratch=$(mktemp -d "${TMPDIR:-/tmp}/tivorn-render-test.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
failures=0

# A song of one note.
printf 'MThd\0\0\0\6\0\0\0\1\1\xe0MTrk\0\0\0\x0d\0\x90\x3c\x64\x83\x60\x80\x3c\x40\0\xff\x2f\0' >"$scratch/song.mid"
win() { echo "Z:${1//\//\\}"; }

# expect STATUS TEXT ARGS...: the exit status, and TEXT in what it printed.
expect() {
    local want=$1 text=$2
    shift 2
    echo before >"$scratch/out.wav"
    wine "$ctl" render "$@" >"$scratch/out.log" 2>&1 </dev/null
    local got=$?
    if [[ $got -ne $want ]] || ! grep -qF -- "$text" "$scratch/out.log"; then
        echo "FAILED: render $*: exit $got (wanted $want), output:"
        grep -a -v -e '^ALSA lib' -e 'cannot change locale' "$scratch/out.log"
        failures=$((failures + 1))
    fi
    local kept=0
    [[ "$(head -c 6 "$scratch/out.wav")" == before ]] && kept=1
    if [[ -e "$scratch/out.wav.part" || $kept -ne $((want != 0)) ]]; then
        echo "FAILED: render $*: out.wav $([[ $kept == 1 ]] && echo kept || echo replaced), out.wav.part" \
            "$([[ -e "$scratch/out.wav.part" ]] && echo left || echo gone)"
        failures=$((failures + 1))
    fi
}

expect 2 "usage: tivornctl render" "$(win "$scratch/song.mid")" "$(win "$scratch/font.sf2")"
expect 2 "unknown option --wet" --wet "$(win "$scratch/song.mid")" "$(win "$scratch/font.sf2")" \
    "$(win "$scratch/out.wav")"
expect 1 "missing.mid: cannot open: no such file" "$(win "$scratch/missing.mid")" \
    "$(win "$scratch/song.mid")" "$(win "$scratch/out.wav")"
expect 1 "song.mid: not a SoundFont 2 file" "$(win "$scratch/song.mid")" "$(win "$scratch/song.mid")" \
    "$(win "$scratch/out.wav")"
expect 1 "font.sf2: no such file" "$(win "$scratch/song.mid")" "$(win "$scratch/font.sf2")" \
    "$(win "$scratch/out.wav")"
font=/usr/share/sounds/sf2/TimGM6mb.sf2
if [[ -f "$font" ]]; then
    expect 0 "out.wav: " "$(win "$scratch/song.mid")" "$(win "$font")" "$(win "$scratch/out.wav")"
    [[ "$(head -c 4 "$scratch/out.wav")" == RIFF ]] || { echo "FAILED: out.wav is no WAV"; failures=$((failures + 1)); }
fi
[[ $failures -eq 0 ]] && echo passed
exit $((failures > 0))
