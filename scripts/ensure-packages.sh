#!/bin/bash
# Installs, with apt-get, the Debian packages the build, the tests and the
# demo need, but only those that are missing, so a second call costs nothing.
#   scripts/ensure-packages.sh [bench|screenshots]
#     bench: also what only make bench needs; screenshots: also the browser
#     that renders the help pages for make screenshots
set -euo pipefail

packages=(
    g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64   # cross compiler, windres, dlltool
    cmake ninja-build make g++ clang lld libclang-rt-14-dev googletest libgtest-dev
    wine wine64 xvfb xauth x11-utils fonts-ipafont-gothic imagemagick locales
    fp-utils python3                                 # chmcmd and chmls, and the help file's build step
    nsis                                             # makensis: the installer
    timgm6mb-soundfont                               # the General MIDI SoundFont setup ships
    fluidsynth python3-numpy                         # make bench: the reference synthesizer, the comparison
    pulseaudio pulseaudio-utils                      # a sound server with a null sink for the tests
)
# The large General MIDI SoundFont whose memory make bench measures.
[[ "${1:-}" == bench ]] && packages+=(fluid-soundfont-gm)
# A real browser, headless, shows the help pages as a user sees them.
[[ "${1:-}" == screenshots ]] && packages+=(chromium)

missing=()
for p in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "Installing missing packages: ${missing[*]}"
sudo=()
[[ $(id -u) -eq 0 ]] || sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
