#!/bin/bash
# make run: installs Tivorn into a Wine prefix of its own, gives it demo songs
# and starts it.
#   scripts/run.sh BUILD PREFIX
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
mkdir -p "$2"
prefix=$(cd "$2" && pwd)
state="$prefix/../run-state"
. "$here/wine-env.sh"

say() { printf '%s\n' "$*"; }

# A display: the user's, or an Xvfb kept running until `make stop`.
if [[ -z "${DISPLAY:-}" ]]; then
    if [[ -f "$state/xvfb.pid" ]] && kill -0 "$(cat "$state/xvfb.pid")" 2>/dev/null; then
        export DISPLAY=$(cat "$state/xvfb.display")
    else
        mkdir -p "$state"
        _tivorn_start_xvfb
        echo "$TIVORN_XVFB_PID" >"$state/xvfb.pid"
        echo "$DISPLAY" >"$state/xvfb.display"
    fi
    headless=1
fi
TIVORN_UNMANAGED=${headless:-0} tivorn_wine_up "$prefix"

drive_c="$prefix/drive_c"
program_dir="$drive_c/Program Files/Tivorn"
demo_dir="$drive_c/TivornDemo"

# 1. Install: the program and its engine library in a program folder.
if [[ -f "$program_dir/Tivorn.exe" ]] && wine "$build/tools/tivornctl.exe" exit >/dev/null 2>&1; then
    say "Ending the copy that was running ..."
    for _ in $(seq 1 50); do
        pgrep -f 'Program Files.Tivorn.Tivorn.exe' >/dev/null || break
        sleep 0.1
    done
fi
mkdir -p "$program_dir"
cp "$build/bin/Tivorn.exe" "$build/bin/KORVEL.dll" "$program_dir/"
[[ -f "$build/bin/KORVEL.chm" ]] && cp "$build/bin/KORVEL.chm" "$program_dir/"

# 2. The settings block, written only when missing: priority 2 "通常", no
#    options, no hotkeys.
key='HKCU\Software\Zarnith\Tivorn'
if ! wine reg query "$key" /v Settings >/dev/null 2>&1; then
    wine reg add "$key" /v Settings /t REG_BINARY /d "$(printf '0000000002%048d' 0)" /f >/dev/null 2>&1
    say "Wrote the default settings (priority 通常, no options, no hotkeys)."
fi

# 3. The demo songs, made here, as the MIDI folder; and, when there is no
#    best file yet, a best of every song as the one to play.
fresh_bests=
[[ -f "$program_dir/KORVEL.dat" ]] || fresh_bests=1
"$build/native/tools/make-demo-songs" "$demo_dir" 'C:\TivornDemo' "$program_dir/KORVEL.dat"
wine reg add "$key" /v Root /t REG_SZ /d 'C:\TivornDemo' /f >/dev/null 2>&1
if [[ -n "$fresh_bests" ]]; then
    wine reg add "$key" /v PlayBest /t REG_SZ /d 'すべてのMIDIファイル' /f >/dev/null 2>&1
fi

# 4. Without a MIDI synthesizer on the ALSA sequencer nothing could sound:
#    then the engine writes what it plays to a file instead (its log output).
mkdir -p "$state"
played="$state/played.log"
engine_key='HKCU\Software\Zarnith\Tivorn\Engine'
played_value="log:Z:${played//\//\\}"
if [[ -e /dev/snd/seq ]]; then
    if wine reg query "$engine_key" /v Output 2>/dev/null | grep -q 'run-state'; then
        wine reg delete "$engine_key" /v Output /f >/dev/null 2>&1
    fi
else
    wine reg add "$engine_key" /v Output /t REG_SZ /d "$played_value" /f >/dev/null 2>&1
    no_synth=1
fi

# 5. Start it, detached from this terminal.
log="$state/tivorn.log"
(cd "$program_dir" && setsid wine "C:\\Program Files\\Tivorn\\Tivorn.exe" &) >"$log" 2>&1 </dev/null
for _ in $(seq 1 100); do
    pgrep -f 'Program Files.Tivorn.Tivorn.exe' >/dev/null && break
    sleep 0.1
done
sleep 2

say ""
say "Tivorn runs in the Wine prefix $prefix"
say "  program:     C:\\Program Files\\Tivorn\\Tivorn.exe"
say "  demo songs:  C:\\TivornDemo (the MIDI folder, registry value Root), all in"
say "               the best \"すべてのMIDIファイル\" of C:\\Program Files\\Tivorn\\KORVEL.dat"
say "  Wine output: $log"
if [[ -n "${headless:-}" ]]; then
    mkdir -p "$build/screenshots"
    import -display "$DISPLAY" -window root "$build/screenshots/run.png" 2>/dev/null &&
        say "  no display here: it runs under Xvfb ($DISPLAY); screenshot: $build/screenshots/run.png"
fi
if [[ -n "${no_synth:-}" ]]; then
    say "  no MIDI synthesizer here (/dev/snd/seq is missing): the engine writes what"
    say "  it plays to $played instead (registry value Output under Engine)"
fi
say "Its icon sits in the notification area (under Wine without a desktop"
say "panel: the small \"Wine System Tray\" window); right-click it for the menu."
say "Stop it with: make stop   (or the menu's 終了(X))"
