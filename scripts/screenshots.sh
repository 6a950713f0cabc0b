#!/bin/bash
# PNGs of every window of the program in BUILD/screenshots:
#   scripts/with-wine.sh PREFIX scripts/screenshots.sh BUILD
# (make screenshots does exactly that after building the tool).
set -uo pipefail
build=${1:-build}
tool="$build/tools/screenshot_tool.exe"
if [[ ! -f "$tool" ]]; then
    echo "screenshots.sh: $tool is missing; build the tree first" >&2
    exit 1
fi
out="$build/screenshots"
raw="$out/raw"
rm -rf "$raw"
mkdir -p "$raw"
raw_abs=$(cd "$raw" && pwd)
# Wine sees the Unix file system as drive Z:.
windows_raw="Z:${raw_abs//\//\\}"

# Xvfb has no window manager, so Wine must draw the title bars and frames
# itself; otherwise the pictures would show the windows without them.
x11_key='HKCU\Software\Wine\X11 Driver'
wine reg add "$x11_key" /v Decorated /t REG_SZ /d N /f >/dev/null 2>&1 </dev/null

# The tool's output goes to a file: Wine's helper processes inherit it and
# would hold a pipe open.
wine "$tool" "$windows_raw" >"$raw/tool.log" 2>&1 </dev/null
status=$?
wine reg delete "$x11_key" /v Decorated /f >/dev/null 2>&1 </dev/null
grep -v -e '^ALSA lib' -e 'cannot change locale' -e '^[0-9a-f]*:err:' "$raw/tool.log"

shopt -s nullglob
for bmp in "$raw"/*.bmp; do
    name=$(basename "$bmp" .bmp)
    convert "$bmp" "$out/$name.png" || status=1
done
rm -rf "$raw"
ls -1 "$out"/*.png 2>/dev/null
exit $status
