#!/bin/bash
# CTest's emulator for the Windows test programs.  scripts/with-wine.sh has
# set up the prefix, the display and the wineserver around the test run.
#
# The program writes to a file, not to CTest's pipe: Wine's helper processes
# (explorer, services) started on its behalf inherit its output handles, and
# a pipe they hold open would keep CTest waiting long after the test ended.
if [[ -z "${WINEPREFIX:-}" ]]; then
    echo "wine-exec.sh: run the tests through 'make test' (scripts/with-wine.sh)" >&2
    exit 1
fi
log=$(mktemp "${TMPDIR:-/tmp}/tivorn-test.XXXXXX")
wine "$@" >"$log" 2>&1 </dev/null
status=$?
grep -a -v -e '^ALSA lib' -e 'cannot change locale' "$log"
rm -f "$log"
exit $status
