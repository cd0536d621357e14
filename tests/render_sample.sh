#!/usr/bin/env bash
# A sample program translated by retracer-cli and its drawing rendered by `retracer-cli render`
# to PNG, PDF and SVG, each checked to hold a drawing rather than an empty page.
set -euo pipefail
cli=$1
program=$2
work=$3
rm -rf "$work"
mkdir -p "$work"
export XDG_CONFIG_HOME=$work/config

drawing=$("$cli" translate "$program" --dest "$work" | tail -n 1)
[ -f "$drawing" ] || { echo "translation wrote no drawing"; exit 1; }

"$cli" render "$drawing" "$work/sample.png" --size 640x480
"$cli" render "$drawing" "$work/sample.pdf"
"$cli" render "$drawing" "$work/sample.svg" --size 320x200 --bw

# PNG: signature and the size asked for (width and height in the IHDR chunk).
python3 - "$work/sample.png" <<'PY'
import struct, sys
data = open(sys.argv[1], "rb").read()
assert data[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG"
w, h = struct.unpack(">II", data[16:24])
assert (w, h) == (640, 480), (w, h)
PY

# PDF: one page, whose grey image has a fair share of ink (lines, holes, texts) but is no
# filled page either.
command -v pdftoppm > /dev/null || { echo "pdftoppm missing (poppler-utils)"; exit 77; }
pdftoppm -gray -r 40 -f 1 -l 1 "$work/sample.pdf" "$work/page"
python3 - "$work"/page*.pgm <<'PY'
import sys
data = open(sys.argv[1], "rb").read()
parts = data.split(maxsplit=4)
assert parts[0] == b"P5", parts[0]
w, h = int(parts[1]), int(parts[2])
pixels = parts[4][-w * h:]
ink = sum(1 for p in pixels if p < 160)
share = ink / (w * h)
print(f"page {w}x{h}, ink {share:.3%}")
assert 0.002 < share < 0.3, share
PY

# SVG: vector lines in black only (black and white was asked for).
grep -q "<svg" "$work/sample.svg"
grep -Eqi "<(path|polyline)" "$work/sample.svg"
if grep -Eoi 'stroke="#[0-9a-f]{6}"' "$work/sample.svg" | grep -vqi '#000000'; then
    echo "colours in a black-and-white SVG"; exit 1
fi

# A size that is not WxH is refused.
if "$cli" render "$drawing" "$work/bad.png" --size 640; then exit 1; fi
echo "render sample: ok"
