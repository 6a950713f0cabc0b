#!/bin/bash
# A test program that Wine kills must fail, though Wine may report status 0
# for it.  The probe runs through CTest's emulator and, once it runs, Wine's
# taskkill ends it: in this run's prefix, where nothing else has its name.
#   killed_test_fails.sh EMULATOR PROBE
ready=$(mktemp -u "$(cd "${TMPDIR:-/tmp}" && pwd)/tivorn-probe.XXXXXX")
TIVORN_PROBE_READY="Z:${ready//\//\\}" "$1" "$2" &
for _ in $(seq 1 600); do [[ -e "$ready" ]] && break || sleep 0.1; done
[[ -e "$ready" ]] || { echo "the probe did not start" >&2; exit 1; }
rm -f "$ready"
wine taskkill /F /IM "$(basename "$2")" >/dev/null 2>&1 </dev/null
wait $!
status=$?
echo "the emulator's status for the killed probe: $status"
[[ $status -ne 0 ]]
