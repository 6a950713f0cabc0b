#!/bin/bash
# Keeps a run of make bench: its table of figures (BUILD/bench-figures.md,
# dated, with the machine) replaces the one between the markers of the
# performance document.
#   scripts/keep_bench_figures.sh TABLE DOCUMENT
set -euo pipefail
table=${1:?usage: scripts/keep_bench_figures.sh TABLE DOCUMENT}
document=${2:?usage: scripts/keep_bench_figures.sh TABLE DOCUMENT}
begin='<!-- make bench: the last kept run -->'
end='<!-- make bench: end -->'
if ! grep -qxF "$begin" "$document" || ! grep -qxF "$end" "$document"; then
    echo "keep_bench_figures.sh: $document has no markers for the table" >&2
    exit 1
fi
# Written beside the document and moved over it, so that a failed write
# leaves the document as it was.
next=$(mktemp "$document.XXXXXX")
chmod --reference="$document" "$next"
awk -v begin="$begin" -v end="$end" -v table="$table" '
    $0 == begin { print; while ((getline line < table) > 0) print line; skipping = 1; next }
    $0 == end { skipping = 0 }
    !skipping { print }' "$document" >"$next"
mv "$next" "$document"
echo "the figures of this run are kept in $document"
