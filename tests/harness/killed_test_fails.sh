#!/bin/bash
# A test program that Wine kills must fail, although Wine may report exit
# status 0 for it.  Runs the probe through CTest's emulator, as CTest runs
# every test program, and once it runs ends it with Wine's taskkill: in this
# run's prefix, where that ends the probe and nothing else.
#   killed_test_fails.sh EMULATOR PROBE
set -uo pipefail
emulator=$1
probe=$2
ready=$(mktemp -u "$(cd "${TMPDIR:-/tmp}" && pwd)/tivorn-probe.XXXXXX")
TIVORN_PROBE_READY="Z:${ready//\//\\}" "$emulator" "$probe" &
run=$!
for _ in $(seq 1 600); do
    [[ -e "$ready" ]] && break
    kill -0 "$run" 2>/dev/null || break
    sleep 0.1
done
if [[ ! -e "$ready" ]]; then
    echo "the probe did not start" >&2
    kill "$run" 2>/dev/null
    exit 1
fi
rm -f "$ready"
wine taskkill /F /IM "$(basename "$probe")" >/dev/null 2>&1 </dev/null
wait "$run"
status=$?
echo "the emulator's status for the killed probe: $status"
[[ $status -ne 0 ]]
