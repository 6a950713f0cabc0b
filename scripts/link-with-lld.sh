#!/bin/bash
# The Windows tree's linker launcher for test programs: links with ld.lld
# what the compiler driver would hand to GNU ld.  The driver names its
# linker command (startup files, libraries, options) with -###, without
# running it; ld.lld's MinGW mode takes that command as it stands and links
# a test program in a tenth of GNU ld's time.  The programs that ship keep
# GNU ld.  Without ld.lld, or when the driver's output is not understood,
# the command runs as given.
#   link-with-lld.sh COMPILER ARGS...
set -uo pipefail
command -v ld.lld >/dev/null 2>&1 || exec "$@"
driver=$("$@" -### 2>&1) || exec "$@"
line=$(grep -m1 '^ [^ ]*collect2 ' <<<"$driver") || exec "$@"
# The driver quotes each argument as the shell does ("...", with \" \\ \$ \`).
eval "words=($line)" 2>/dev/null || exec "$@"
args=()
skip=0
for word in "${words[@]:1}"; do
    if ((skip)); then skip=0; continue; fi
    case "$word" in
        -plugin) skip=1 ;;          # GNU ld's link-time optimisation plugin,
        -plugin-opt=*) ;;           # which the test programs do not use
        *) args+=("$word") ;;
    esac
done
exec ld.lld "${args[@]}"
