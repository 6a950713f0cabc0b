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
cp "$build/bin/Tivorn.exe" "$build/bin/KORVEL.dll" "$build/tools/tivornctl.exe" "$program_dir/"
[[ -f "$build/bin/KORVEL.chm" ]] && cp "$build/bin/KORVEL.chm" "$program_dir/"
# The General MIDI SoundFont and its licence beside the program, as setup
# puts them.
soundfont=/usr/share/sounds/sf2/TimGM6mb.sf2
if [[ -f "$soundfont" ]]; then
    cp "$soundfont" "$program_dir/"
    cmake -DNOTICE=/usr/share/doc/timgm6mb-soundfont/copyright -DLICENCE=/usr/share/common-licenses/GPL-2 \
        -DOUT="$program_dir/TimGM6mb-license.txt" -P "$here/../installer/soundfont_licence.cmake" || true
fi

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

# 4. The output, as Wine's devices allow: a MIDI out device plays through
#    the mapper; without one the built-in synthesizer plays through the
#    desktop's sound server (any wave out device); with neither nothing
#    could sound, and the engine writes what it plays to a file instead (its
#    log output).  Only an output this script chose is replaced: one chosen
#    in the tray menu stays.
mkdir -p "$state"
played="$state/played.log"
engine_key='HKCU\Software\Zarnith\Tivorn\Engine'
played_value="log:Z:${played//\//\\}"
synth_value='synth:C:\Program Files\Tivorn\TimGM6mb.sf2'
devices=$(wine "$build/tools/output-devices.exe" 2>/dev/null | tr -d '\r' || true)
midi_outs=$(awk '$1 == "midi" { print $2 }' <<<"$devices")
wave_outs=$(awk '$1 == "wave" { print $2 }' <<<"$devices")
current=$(wine reg query "$engine_key" /v Output 2>/dev/null | tr -d '\r' |
          sed -n 's/^ *Output *REG_SZ *//p' || true)
if [[ -z "$current" || "$current" == "$played_value" || "$current" == "$synth_value" ]]; then
    if [[ "${midi_outs:-0}" -gt 0 ]]; then
        wine reg delete "$engine_key" /v Output /f >/dev/null 2>&1 || true
        output="the MIDI mapper"
    elif [[ "${wave_outs:-0}" -gt 0 && -f "$program_dir/TimGM6mb.sf2" ]]; then
        wine reg add "$engine_key" /v Output /t REG_SZ /d "$synth_value" /f >/dev/null 2>&1
        output="synth"
    else
        wine reg add "$engine_key" /v Output /t REG_SZ /d "$played_value" /f >/dev/null 2>&1
        output="log"
    fi
else
    output="kept"
fi

# 5. Start it, detached from this terminal, and wait until its first song
#    plays: the log output says so; a device gives no sign, so it gets two
#    seconds.
log="$state/tivorn.log"
played_before=0
[[ -f "$played" ]] && played_before=$(stat -c %s "$played")
(cd "$program_dir" && setsid wine "C:\\Program Files\\Tivorn\\Tivorn.exe" &) >"$log" 2>&1 </dev/null
for _ in $(seq 1 100); do
    pgrep -f 'Program Files.Tivorn.Tivorn.exe' >/dev/null && break
    sleep 0.1
done
# The song this start opened: the first "open" line after what the log held.
first_song() { tail -c +$((played_before + 1)) "$played" 2>/dev/null | tr -d '\r' | sed -n 's/^open //p' | head -n 1; }
if [[ "$output" == log ]]; then
    for _ in $(seq 1 100); do
        tail -c +$((played_before + 1)) "$played" 2>/dev/null | grep -q '^start' && break
        sleep 0.1
    done
else
    sleep 2
fi

# 6. No sound server here: the song Tivorn plays is rendered through the
#    same synthesizer with the same SoundFont, so that it can be heard.
wav=
if [[ "$output" == log && -f "$program_dir/TimGM6mb.sf2" ]]; then
    song=$(first_song)
    mkdir -p "$build/run"
    rm -f "$build/run/demo.wav"
    if [[ -n "$song" ]] && wine "$build/tools/tivornctl.exe" render "$song" \
            'C:\Program Files\Tivorn\TimGM6mb.sf2' "Z:${build//\//\\}\\run\\demo.wav" \
            >"$state/render.log" 2>&1 </dev/null; then
        wav="$build/run/demo.wav"
    fi
fi

# 7. Under Xvfb, a picture of Tivorn at work: the tray menu open at the
#    icon, with the bests and the output submenu, cut to what shows.
shot=
if [[ -n "${headless:-}" ]]; then
    mkdir -p "$build/screenshots"
    # Open is not yet drawn: on a busy machine the menus' windows show before
    # their faces, so the picture is taken again until the menu's light face
    # fills most of it (some 5 s at most).
    if wine "$build/tools/tivornctl.exe" showmenu >"$state/menu.log" 2>&1 </dev/null; then
        for _ in $(seq 1 16); do
            import -display "$DISPLAY" -window root "$state/run-full.png" 2>/dev/null &&
                convert "$state/run-full.png" -trim +repage "$build/screenshots/run.png" &&
                shot="$build/screenshots/run.png" || break
            lit=$(convert "$shot" -colorspace gray -threshold 25% -format '%[fx:mean]' info: 2>/dev/null)
            awk -v lit="${lit:-0}" 'BEGIN { exit !(lit > 0.5) }' && break
            sleep 0.3
        done
    fi
    wine "$build/tools/tivornctl.exe" hidemenu >/dev/null 2>&1 </dev/null || true
fi

say ""
say "Tivorn runs in the Wine prefix $prefix"
say "  program:     C:\\Program Files\\Tivorn\\Tivorn.exe"
say "  demo songs:  C:\\TivornDemo (the MIDI folder, registry value Root), all in"
say "               the best \"すべてのMIDIファイル\" of C:\\Program Files\\Tivorn\\KORVEL.dat"
say "  Wine output: $log"
if [[ -n "$shot" ]]; then
    say "  no display here: it runs under Xvfb ($DISPLAY); its tray menu: $shot"
elif [[ -n "${headless:-}" ]]; then
    say "  no display here: it runs under Xvfb ($DISPLAY); the picture could not be taken ($state/menu.log)"
fi
case "$output" in
synth)
    say "  sound:       no MIDI out device here: the built-in synthesizer plays the demo"
    say "               through the sound server, with C:\\Program Files\\Tivorn\\TimGM6mb.sf2" ;;
log)
    say "  sound:       neither a MIDI out device nor a sound server here: the engine writes"
    say "               what it plays to $played instead (registry value Output under Engine)"
    if [[ -n "$wav" ]]; then
        say "               The song it plays, rendered by its synthesizer: $wav"
    else
        say "               The song could not be rendered to a WAV ($state/render.log)."
    fi ;;
kept)
    say "  sound:       the output chosen in the tray menu: $current" ;;
*)
    say "  sound:       through the MIDI mapper" ;;
esac
say "Its icon sits in the notification area (under Wine without a desktop"
say "panel: the small \"Wine System Tray\" window); right-click it for the menu."
say "Stop it with: make stop   (or the menu's 終了(X))"
