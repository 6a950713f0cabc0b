# A PulseAudio server of one's own with a null sink, for hearing the built-in
# synthesizer where there is no sound card (the end-to-end test, make bench).
# Sourced:
#   . scripts/pulse-null-sink.sh
#   tivorn_pulse_up || exit     # exports PULSE_SERVER and XDG_RUNTIME_DIR
#   tivorn_pulse_record out.wav # records the sink's monitor in the background
#   tivorn_pulse_add_sink NAME DESCRIPTION   # another device to move to
#   tivorn_pulse_stop_record
#   tivorn_pulse_down
#
# Every server has its own socket in a fresh folder under /tmp (a socket's
# path must be short), so runs side by side never meet.  Wine's programs
# reach it through PULSE_SERVER; anonymous access spares them the cookie.
# The sink's rate is 48 kHz, as most devices run.

TIVORN_PULSE_SINK=tivorn_null
TIVORN_PULSE_RATE=48000

# Nonzero when the server cannot be had (not installed, or would not start).
tivorn_pulse_up() {
    command -v pulseaudio >/dev/null && command -v parec >/dev/null && command -v pactl >/dev/null || {
        echo "pulseaudio or pulseaudio-utils is not installed" >&2
        return 1
    }
    TIVORN_PULSE_DIR=$(mktemp -d /tmp/tivorn-pulse.XXXXXX) || return 1
    mkdir -p "$TIVORN_PULSE_DIR/home" "$TIVORN_PULSE_DIR/rt/pulse"
    chmod 700 "$TIVORN_PULSE_DIR/rt"
    export XDG_RUNTIME_DIR=$TIVORN_PULSE_DIR/rt
    export PULSE_RUNTIME_PATH=$XDG_RUNTIME_DIR/pulse
    export PULSE_SERVER=unix:$PULSE_RUNTIME_PATH/native
    # No rewinds: an idle null sink would otherwise render ahead, and what it
    # rewinds would be missing from the monitor.  The server runs as root
    # here, which it warns about, harmlessly.
    HOME=$TIVORN_PULSE_DIR/home pulseaudio --daemonize=no --exit-idle-time=-1 -n \
        --log-target=file:"$TIVORN_PULSE_DIR/pulse.log" \
        --load="module-null-sink sink_name=$TIVORN_PULSE_SINK rate=$TIVORN_PULSE_RATE channels=2 norewinds=1" \
        --load="module-native-protocol-unix auth-anonymous=1" </dev/null &>/dev/null &
    TIVORN_PULSE_PID=$!
    local i
    for i in $(seq 200); do
        pactl info &>/dev/null && break
        kill -0 "$TIVORN_PULSE_PID" 2>/dev/null || break
        sleep 0.05
    done
    if ! pactl set-default-sink "$TIVORN_PULSE_SINK" &>/dev/null; then
        echo "the PulseAudio server did not start; its log:" >&2
        cat "$TIVORN_PULSE_DIR/pulse.log" >&2 2>/dev/null
        tivorn_pulse_down
        return 1
    fi
}

# Records a sink's monitor (the null sink's unless SINK is named) into a
# WAV file until tivorn_pulse_stop_record, and returns once the recording
# runs (its file has grown past the header).  Recordings may run side by side.
#   tivorn_pulse_record OUT.wav [SINK]
tivorn_pulse_record() {
    parec --device=${2:-$TIVORN_PULSE_SINK}.monitor --file-format=wav --rate=$TIVORN_PULSE_RATE --channels=2 \
        --format=s16le --latency-msec=20 "$1" &>/dev/null &
    local pid=$!
    TIVORN_PULSE_REC="${TIVORN_PULSE_REC:-} $pid"
    local i
    for i in $(seq 200); do
        [[ $(stat -c %s "$1" 2>/dev/null || echo 0) -gt 44 ]] && return 0
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.05
    done
    echo "parec did not start recording" >&2
    return 1
}

# A second sink, SINK, that Wine lists as a device named DESCRIPTION: a
# remap of the null sink, so that what it plays is also in the null sink's
# monitor, on the same clock, while its own monitor holds only what went to
# it.  The default sink stays the null sink.
tivorn_pulse_add_sink() {
    pactl load-module module-remap-sink sink_name="$1" master=$TIVORN_PULSE_SINK \
        sink_properties=device.description="$2" >/dev/null
}

# Ends every recording.  SIGINT lets parec write the WAV header's sizes.
tivorn_pulse_stop_record() {
    local pid
    for pid in ${TIVORN_PULSE_REC:-}; do
        kill -INT "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    done
    TIVORN_PULSE_REC=
}

tivorn_pulse_down() {
    tivorn_pulse_stop_record
    if [[ -n "${TIVORN_PULSE_PID:-}" ]]; then
        kill "$TIVORN_PULSE_PID" 2>/dev/null
        wait "$TIVORN_PULSE_PID" 2>/dev/null
        TIVORN_PULSE_PID=
    fi
    [[ -n "${TIVORN_PULSE_DIR:-}" ]] && rm -rf "$TIVORN_PULSE_DIR"
    TIVORN_PULSE_DIR=
}
