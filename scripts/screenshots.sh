#!/usr/bin/env bash
# Takes the README's pictures (docs/screenshots/) under a virtual display: the About box and the
# main window on the sample workspace with the sample worklist loaded and its first part
# translated.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build --target take_screenshots retracer_letters

workspace="$PWD/build/screenshot-workspace"
rm -rf "$workspace"
mkdir -p "$workspace/DXF"
cp samples/Tool.Par "$workspace/Tool.Par"
ln -sfn "$PWD/build/app/Letters" "$workspace/Letters"
printf '[Config]\r\nSourceDir=%s/samples\r\nDestDir=%s/DXF\r\n' "$PWD" "$workspace" \
    >"$workspace/Rtrc.INI"
xvfb-run -a -s "-screen 0 1400x900x24" \
    build/tools/take_screenshots "$PWD/samples" "$workspace" "$PWD/docs/screenshots"
