#!/usr/bin/env bash
# Installs what is missing, builds, and starts Retracer on the bundled sample workspace.
# Without a display it translates the sample worklist with the command-line tool instead and
# prints the drawings it wrote.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc 2>/dev/null || echo 2)"

# The sample workspace: an application folder with the samples' tool table and the letter
# library, reading programs from samples/ and writing drawings to build/workspace/DXF.
app=build/app
workspace="$PWD/build/workspace"
mkdir -p "$workspace/DXF" "$workspace/TMP" "$workspace/NestTmp"
cp samples/Tool.Par "$workspace/Tool.Par"
ln -sfn "$PWD/$app/Letters" "$workspace/Letters"
if [ ! -f "$workspace/Rtrc.INI" ]; then
    printf '[Config]\r\nSourceDir=%s/samples\r\nDestDir=%s/DXF\r\n' "$PWD" "$workspace" \
        >"$workspace/Rtrc.INI"
fi
export RETRACER_HOME="$workspace"

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    exec "$app/retracer" "$@"
fi

echo "No display: translating the sample worklist with the command-line tool."
"$app/retracer-cli" --version
"$app/retracer-cli" batch samples/Sample.lst --set GenerateBatchLst=1
