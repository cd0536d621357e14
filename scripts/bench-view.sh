#!/usr/bin/env bash
# The viewer's figures on generated drawings of 200,000 and 1,000,000 entities: open (read and
# index), full and zoomed-in redraws, peak memory per vertex; and, on the same files in the same
# run, the time ezdxf takes to open each and the time LibreCAD takes to read and print each to
# PDF, against `retracer-cli render` to PDF.
#
#   scripts/bench-view.sh [ENTITIES...]     (default: 200000 1000000)
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh

build=build-bench-view
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release > /dev/null
cmake --build "$build" -j"$(nproc 2>/dev/null || echo 2)" --target retracer_view_bench retracer-cli

# LibreCAD is only a yardstick: installed when missing, its figure skipped when it cannot be.
if ! command -v librecad > /dev/null; then
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends librecad \
        > /dev/null 2>&1 || echo "(LibreCAD could not be installed; its figures are skipped)"
fi

export QT_QPA_PLATFORM=offscreen
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
bench=$build/bench/retracer_view_bench
cli=$build/app/retracer-cli

# Wall-clock seconds and peak memory of a command, its output discarded.
timed() {
    local start end status=0
    start=$(date +%s.%N)
    /usr/bin/time -f "%M" -o "$work/rss" "$@" > /dev/null 2> "$work/err" || status=$?
    end=$(date +%s.%N)
    if [ "$status" -ne 0 ]; then
        echo "failed ($(tail -n 1 "$work/err"))"
        return 0
    fi
    printf "%.2f s, peak %d MB\n" "$(echo "$end - $start" | bc)" "$(($(cat "$work/rss") / 1024))"
}

echo "machine: $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
for n in "${@:-200000 1000000}"; do
    for count in $n; do
        file=$work/bench_$count.dxf
        "$bench" generate "$count" "$file"
        echo
        echo "== $count entities ($(($(stat -c %s "$file") / 1048576)) MB of DXF)"
        "$bench" measure "$file" 2> /dev/null
        echo "-- the same file elsewhere"
        printf "%-34s" "ezdxf readfile:"
        timed /usr/bin/python3 -c 'import sys, ezdxf; ezdxf.readfile(sys.argv[1])' "$file"
        printf "%-34s" "librecad dxf2pdf -a:"
        if command -v librecad > /dev/null; then
            timed librecad dxf2pdf -a -o "$work/librecad.pdf" "$file"
        else
            echo "skipped (not installed)"
        fi
        printf "%-34s" "retracer-cli render to PDF:"
        timed "$cli" render "$file" "$work/retracer.pdf"
        rm -f "$file" "$work"/*.pdf
    done
done
