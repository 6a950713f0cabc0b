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

# The help pages as a browser shows them, at the width of the help window's
# topic pane, each as tall as its page.  Chromium renders them headless with
# the IPA fonts, which stand in for the pages' Japanese faces.
browser=$(command -v chromium || true)
if [[ -z "$browser" ]]; then
    echo "screenshots.sh: chromium is missing (scripts/ensure-packages.sh screenshots)" >&2
    status=1
else
    help_dir=$(cd "$(dirname "$0")/../help" && pwd)
    profile=$(mktemp -d)
    for page in "$help_dir"/*.html; do
        name=help-$(basename "$page" .html)
        tall="$out/$name-tall.png"
        "$browser" --headless --no-sandbox --disable-gpu --hide-scrollbars --user-data-dir="$profile" \
            --window-size=560,4000 --screenshot="$tall" "file://$page" >/dev/null 2>&1 </dev/null || status=1
        if [[ -f "$tall" ]]; then
            # Down to the last line of the page, with a margin under it.
            height=$(convert "$tall" -trim -format '%[fx:page.y+h]' info:)
            convert "$tall" -crop "560x$((height + 16))+0+0" +repage "$out/$name.png" || status=1
            rm -f "$tall"
        fi
    done
    rm -rf "$profile"
fi
ls -1 "$out"/*.png 2>/dev/null
exit $status
