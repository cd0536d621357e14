#!/usr/bin/env bash
# Peak memory and time of `retracer-cli translate` on large generated programs (made by
# tools/make_big_program): a 1,000,000-line Genesis program that is mostly holes (1.2 million
# circles and 200,000 polylines), a Genesis program of the same length mixing every kind of line,
# and a Genesis Ev program of 1,000,000 macro blocks. Prints peak resident memory (from
# /usr/bin/time -v), wall time and the size of the drawing, the best of REPEAT runs (default 3).
#
#   scripts/bench-memory.sh [CLI...]       each given retracer-cli, or the one of this build
#   LINES=200000 scripts/bench-memory.sh   smaller programs
set -euo pipefail
cd "$(dirname "$0")/.."
build="${BUILD_DIR:-build-release}"
# A build folder of one's own is used as it is configured.
[ -f "$build/CMakeCache.txt" ] ||
    cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DRETRACER_BUILD_APP=OFF >/dev/null
cmake --build "$build" -j2 --target retracer-cli make_big_program >/dev/null
make="$PWD/$build/tools/make_big_program"
clis=("$@")
[ ${#clis[@]} -gt 0 ] || clis=("$PWD/$build/app/retracer-cli")
lines="${LINES:-1000000}"
repeat="${REPEAT:-3}"
[ -x /usr/bin/time ] || { echo "needs /usr/bin/time (Debian: time)"; exit 2; }

scratch="$(mktemp -d "${TMPDIR:-/tmp}/retracer-bench-memory.XXXXXX")"
trap 'rm -rf "$scratch"' EXIT
for kind in genesis-holes genesis genesis-ev; do
    dialect=genesis
    [ "$kind" = genesis-ev ] && dialect=genesis-ev
    mkdir -p "$scratch/$kind/app" "$scratch/$kind/out"
    "$make" tool-par "$dialect" "$scratch/$kind/app/Tool.Par"
    name=BIG.CNC
    [ "$kind" = genesis-ev ] && name=BIG.PGM
    echo "$kind: $("$make" "$kind" "$scratch/$kind/$name" "$lines")"
done

printf '\n%-14s %-40s %10s %9s %10s\n' program cli peak_MB wall_s dxf_MB
for kind in genesis-holes genesis genesis-ev; do
    program="$(ls "$scratch/$kind"/BIG.*)"
    for cli in "${clis[@]}"; do
        best_peak=""
        best_wall=""
        for _ in $(seq "$repeat"); do
            rm -f "$scratch/$kind/out/"*
            /usr/bin/time -v "$cli" translate --app-folder "$scratch/$kind/app" \
                --dest "$scratch/$kind/out" "$program" >/dev/null 2>"$scratch/time.txt" || {
                cat "$scratch/time.txt"
                exit 1
            }
            peak=$(awk -F: '/Maximum resident set size/ {gsub(/ /, "", $2); print $2}' \
                "$scratch/time.txt")
            wall=$(awk '/Elapsed \(wall clock\)/ {print $NF}' "$scratch/time.txt" |
                awk -F: '{ s = 0; for (i = 1; i <= NF; i++) s = s * 60 + $i; print s }')
            if [ -z "$best_wall" ] || awk "BEGIN {exit !($wall < $best_wall)}"; then
                best_wall=$wall
            fi
            if [ -z "$best_peak" ] || [ "$peak" -lt "$best_peak" ]; then best_peak=$peak; fi
        done
        dxf=$(stat -c %s "$scratch/$kind/out/"*.DXF)
        printf '%-14s %-40s %10.1f %9.2f %10.1f\n' "$kind" "$cli" \
            "$(echo "$best_peak / 1024" | bc -l)" "$best_wall" "$(echo "$dxf / 1048576" | bc -l)"
    done
done
