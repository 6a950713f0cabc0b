#!/bin/bash
# CTest's emulator for the Windows test programs.  scripts/with-wine.sh has
# set up the prefix, the display and the wineserver around the test run.
if [[ -z "${WINEPREFIX:-}" ]]; then
    echo "wine-exec.sh: run the tests through 'make test' (scripts/with-wine.sh)" >&2
    exit 1
fi
exec wine "$@"
