#!/bin/bash
# Runs a command in the Wine environment of a prefix:
#   scripts/with-wine.sh PREFIX command [args...]
# The prefix is created on first use.  Xvfb (when there is no display) and the
# persistent wineserver live exactly as long as the command.
#
# One run at a time in a prefix: the end of a run ends every program left in
# it (wineserver -k), which would end another run's tests midway.  A second
# run waits for the first; a run inside a run of the same prefix uses it.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine-env.sh"
prefix=$(mkdir -p "$1" && cd "$1" && pwd)
shift
if [[ "${TIVORN_WINE_RUN:-}" == "$prefix" ]]; then
    exec "$@"
fi
# The lock is this shell's alone (the programs started below do not inherit
# it), so it goes only when this shell has ended everything it started.
exec 9>>"$prefix/.tivorn-run.lock"
if ! flock -n 9; then
    echo "with-wine.sh: another run is using $prefix; waiting for it to end" >&2
    flock 9
fi
export TIVORN_WINE_RUN="$prefix"
{ tivorn_wine_up "$prefix" || exit 1; } 9>&-
trap tivorn_wine_down EXIT
"$@" 9>&-
