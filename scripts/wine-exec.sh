#!/bin/bash
# CTest's emulator for the Windows test programs, which are all GoogleTest
# programs.  scripts/with-wine.sh has set up the prefix, the display and the
# wineserver around the test run.
#
# The program writes to a file, not to CTest's pipe: Wine's helper processes
# (explorer, services) started on its behalf inherit its output handles, and
# a pipe they hold open would keep CTest waiting long after the test ended.
#
# A program that Wine ends (taskkill, wineserver -k, a signal such as SIGINT)
# may still report exit status 0.  So a pass needs proof of a complete run as
# well: GoogleTest's XML report, which it writes only once every test ran.
if [[ -z "${WINEPREFIX:-}" ]]; then
    echo "wine-exec.sh: run the tests through 'make test' (scripts/with-wine.sh)" >&2
    exit 1
fi
tmp=$(cd "${TMPDIR:-/tmp}" && pwd)
log=$(mktemp "$tmp/tivorn-test.XXXXXX")
report="$log.xml"
rm -f "$report"
# A program that crashes ends at once with its exception: Wine's debugger,
# which would otherwise wait on the crash until CTest's timeout, is left out.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:+$WINEDLLOVERRIDES;}winedbg.exe=d"
# Wine sees the Unix file system as drive Z:.
wine "$@" "--gtest_output=xml:Z:${report//\//\\}" >"$log" 2>&1 </dev/null
status=$?
grep -a -v -e '^ALSA lib' -e 'cannot change locale' "$log"
# Output is buffered in a file, so a failed program may show nothing: the
# status is then the one clue.
if [[ $status -ne 0 && ! -s "$log" ]]; then
    echo "wine-exec.sh: $(basename "$1") wrote nothing and wine ended with status $status" >&2
fi
if [[ $status -eq 0 ]] && ! grep -q '</testsuites>' "$report" 2>/dev/null; then
    echo "wine-exec.sh: $(basename "$1") ended without its test report (killed, or ended early): failed" >&2
    status=1
fi
rm -f "$log" "$report"
exit $status
