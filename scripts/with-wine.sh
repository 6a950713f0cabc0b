#!/bin/bash
# Runs a command in the Wine environment of a prefix:
#   scripts/with-wine.sh PREFIX command [args...]
# The prefix is created on first use.  Xvfb (when there is no display) and the
# persistent wineserver live exactly as long as the command.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine-env.sh"
prefix=$(mkdir -p "$1" && cd "$1" && pwd)
shift
tivorn_wine_up "$prefix" || exit 1
trap tivorn_wine_down EXIT
"$@"
