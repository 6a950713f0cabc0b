#!/bin/bash
# make stop: ends the copy that make run started, then its wineserver and Xvfb.
#   scripts/stop.sh BUILD PREFIX
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" 2>/dev/null && pwd || echo "$1")
prefix="$2"
state="$prefix/../run-state"
if [[ ! -d "$prefix" ]]; then
    echo "Nothing to stop: make run has not been used."
    exit 0
fi
prefix=$(cd "$prefix" && pwd)
. "$here/wine-env.sh"
tivorn_wine_env "$prefix"
[[ -f "$state/xvfb.display" ]] && export DISPLAY=$(cat "$state/xvfb.display")

if [[ -x "$build/tools/tivornctl.exe" || -f "$build/tools/tivornctl.exe" ]] &&
    wine "$build/tools/tivornctl.exe" exit >/dev/null 2>&1; then
    for _ in $(seq 1 100); do
        pgrep -f 'Program Files.Tivorn.Tivorn.exe' >/dev/null || break
        sleep 0.1
    done
    echo "Tivorn ended."
else
    echo "Tivorn was not running."
fi
wineserver -k >/dev/null 2>&1 || true
if [[ -f "$state/xvfb.pid" ]]; then
    kill "$(cat "$state/xvfb.pid")" 2>/dev/null || true
    rm -f "$state/xvfb.pid" "$state/xvfb.display"
fi
