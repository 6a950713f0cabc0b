#!/bin/bash
# Runs a command in a Wine prefix of its own, beside the test run's prefix:
#   own-prefix.sh NAME command [args...]     (inside scripts/with-wine.sh)
# The programs that run the real Tivorn.exe keep its state under its own
# registry key and are the one running copy, so in one prefix they could
# only run one after another, the longest chain of the test run.  Each gets
# a prefix (its own wineserver, registry and running copy) and a display of
# its own (focus and typed keys are per X display), and they run side by
# side.
#
# The prefix is $WINEPREFIX-NAME, made once as a copy of the run's prefix
# (scripts/copy-prefix.sh).
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
if [[ -z "${WINEPREFIX:-}" || ! -f "$WINEPREFIX/.tivorn-ready" ]]; then
    echo "own-prefix.sh: run the tests through 'make test' (scripts/with-wine.sh)" >&2
    exit 1
fi
name=$1
shift
own="$WINEPREFIX-$name"
[[ -f "$own/.tivorn-ready" ]] || "$here/copy-prefix.sh" "$WINEPREFIX" "$own" || exit 1
exec env -u DISPLAY TIVORN_WINE_RUN= "$here/with-wine.sh" "$own" "$@"
