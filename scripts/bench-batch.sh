#!/usr/bin/env bash
# Times `retracer-cli batch` on a worklist of 500 rows, every row making its normal and its
# mirrored drawing (1,000 drawings), with label blocks, barcodes, HBD names and Batch.lst on.
# Runs it with --jobs 1 and --jobs N, checks that both produce the same files byte for byte, and
# prints wall time (best of REPEAT runs, default 3), peak memory and the speed-up.
#
#   scripts/bench-batch.sh [JOBS]        (JOBS defaults to 2)
#   ENGRAVE=1 scripts/bench-batch.sh     also engraves the labels (EngraveLabel=1)
set -euo pipefail
cd "$(dirname "$0")/.."
jobs="${1:-2}"
build="${BUILD_DIR:-build-release}"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DRETRACER_BUILD_APP=OFF >/dev/null
cmake --build "$build" -j2 --target retracer-cli >/dev/null
cli="$PWD/$build/app/retracer-cli"

scratch="$(mktemp -d "${TMPDIR:-/tmp}/retracer-bench-batch.XXXXXX")"
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/progs"
cp samples/*.PGM samples/*.CNC "$scratch/progs/" 2>/dev/null || true
cp -r samples/SUB "$scratch/progs/"

# A subprogram caller and a label program of our own, so the mix does not depend on which
# samples exist.
cat >"$scratch/progs/BENCH_SUB.PGM" <<'PGM'
$=Bench shelf with hinges and label
::UNm DL=760 DH=540 DS=19
::SIDE=1;
VAR{
#5=L/2|w|half length
#6=H-37|w|back row
}VAR
SIDE#1{
W#81{ #1=r5 #2=50 #3=-13 #205=21 }
W#1902{ #8510=32 #8517=288 #8021=37 #8520=32 #3=-12 #205=5 }
W#1050{ #8510=0 #8511=20 #8517=L #3=-8 #8516=12 }
W#2010{ #8098=HINGE.PGM #8020=100 #8021=0 #8022=0 #8500=22.5 }
W#2010{ #8098=HINGE.PGM #8020=600 #8021=0 #8022=0 #8500=22.5 }
W#2006{ W$=~F~J~H10!Bench shelf #8020=380 #8021=270 }
}SIDE
PGM

# 500 rows over every program, each row both copies.
python3 - "$scratch" <<'PY'
import os, re, sys
scratch = sys.argv[1]
progs = sorted(f for f in os.listdir(os.path.join(scratch, "progs"))
               if f.upper().endswith((".PGM", ".CNC")))

def part_size(name):
    # The size the program declares, as adding it to the worklist would copy it into the row.
    text = open(os.path.join(scratch, "progs", name), encoding="latin-1").read()
    found = (re.search(r"DL=([\d.]+)\s+DH=([\d.]+)\s+DS=([\d.]+)", text) or
             re.search(r"G7[01]\s+X([\d.]+)\s+Y([\d.]+)\s+Z([\d.]+)", text))
    return list(found.groups()) if found else ["", "", ""]

lines = []
for row in range(500):
    name = progs[row % len(progs)]
    cells = (["1", "1", name, "Bench", "Room %d" % (row % 7), "Cab %d" % (row % 13),
              "Part %d" % row, "Oak"] + part_size(name) + ["progs", "", "", ""])
    lines.append(",".join(cells))
open(os.path.join(scratch, "bench.csv"), "w", newline="").write("\r\n".join(lines) + "\r\n")
print("programs:", " ".join(progs))
PY

run() {  # run JOBS DEST -> prints "seconds peak_mb"
    python3 - "$cli" "$scratch" "$1" "$2" <<'PY'
import os, resource, subprocess, sys, time
cli, scratch, jobs, dest = sys.argv[1:]
env = dict(os.environ, XDG_CONFIG_HOME=os.path.join(scratch, "config-" + jobs))
args = [cli, "batch", os.path.join(scratch, "bench.csv"), "--dest", dest, "--jobs", jobs,
        "--set", "GenerateBatchLst=1", "--set", "AttachBarcode=1", "--set", "RenameForHBD=1",
        "--set", "EngraveLabel=" + os.environ.get("ENGRAVE", "0")]
# /usr/bin/time measures the tool alone; without it the figure includes the forked Python.
timer = "/usr/bin/time"
rss = os.path.join(scratch, "rss-" + jobs)
if os.access(timer, os.X_OK):
    args = [timer, "-f", "%M", "-o", rss] + args
# The best of several runs: the machine may be busy with other work.
seconds = None
for attempt in range(int(os.environ.get("REPEAT", "3"))):
    start = time.perf_counter()
    result = subprocess.run(args, env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    elapsed = time.perf_counter() - start
    seconds = elapsed if seconds is None else min(seconds, elapsed)
if os.path.exists(rss):
    peak = int(open(rss).read().split()[-1]) / 1024.0
else:
    peak = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss / 1024.0
drawings = len([l for l in result.stdout.decode().splitlines() if l.strip()])
if result.returncode != 0:
    sys.stderr.write(result.stderr.decode()[-2000:])
print("%.3f %.1f %d %d" % (seconds, peak, drawings, result.returncode))
PY
}

read -r t1 m1 n1 rc1 < <(run 1 "$scratch/out-1")
read -r tn mn nn rcn < <(run "$jobs" "$scratch/out-$jobs")

same=yes
for f in "$scratch/out-1"/*.DXF; do
    cmp -s "$f" "$scratch/out-$jobs/$(basename "$f")" || { same=no; echo "differs: $(basename "$f")"; }
done
diff -q <(sed "s#$scratch/out-1#OUT#" "$scratch/out-1/Batch.lst") \
        <(sed "s#$scratch/out-$jobs#OUT#" "$scratch/out-$jobs/Batch.lst") >/dev/null || same=no

echo "command: $cli batch bench.csv --dest DIR --jobs N --set GenerateBatchLst=1 --set AttachBarcode=1 --set RenameForHBD=1 --set EngraveLabel=${ENGRAVE:-0}"
printf 'jobs 1:  %s s, %s drawings, peak %s MB, exit %s\n' "$t1" "$n1" "$m1" "$rc1"
printf 'jobs %s:  %s s, %s drawings, peak %s MB, exit %s\n' "$jobs" "$tn" "$nn" "$mn" "$rcn"
python3 -c "print('speed-up: %.2fx' % ($t1 / $tn))"
echo "identical output: $same"
[ "$same" = yes ]
