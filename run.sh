#!/usr/bin/env bash
# Installs what is missing, builds, and starts Retracer on the bundled sample workspace.
# Without a display it runs the command-line tool on the samples instead and prints what it wrote.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc 2>/dev/null || echo 2)"

app=build/app
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    exec "$app/retracer" "$@"
fi

echo "No display: running the command-line tool on the samples."
"$app/retracer-cli" --version
"$app/retracer-cli" settings
"$app/retracer-cli" eval --var L=600 --var H=400 --var A=2 --var B=3 --var C=7 --var D=1 --var R5=12 \
    --file samples/expressions.txt
