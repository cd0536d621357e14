#!/usr/bin/env bash
# Translates every sample program and worklist with two builds of retracer-cli and compares what
# they wrote: DXF files, Batch.lst, the messages and the exit status, byte for byte. A change
# that is meant to leave behaviour alone must pass this against the commit before it.
#
#   scripts/compare-outputs.sh OLD_CLI NEW_CLI          two built command-line tools
#   scripts/compare-outputs.sh --rev REV [NEW_CLI]      builds REV (default HEAD~1) in a scratch
#                                                       worktree; NEW_CLI defaults to build/app
#
# Each tool runs in an application folder of its own made from the samples' Tool.Par and the
# letter library beside the tool, with a fresh per-user store, so nothing carries over.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"

if [ "${1:-}" = "--rev" ]; then
    rev="${2:-HEAD~1}"
    new_cli="${3:-$root/build/app/retracer-cli}"
    scratch="$(mktemp -d)"
    trap 'git -C "$root" worktree remove --force "$scratch/src" >/dev/null 2>&1 || true; rm -rf "$scratch"' EXIT
    git worktree add --detach "$scratch/src" "$rev" >/dev/null
    cmake -S "$scratch/src" -B "$scratch/build" -DCMAKE_BUILD_TYPE=Release \
        -DRETRACER_BUILD_APP=OFF -DRETRACER_BUILD_BENCH=OFF >/dev/null
    cmake --build "$scratch/build" -j"$(nproc)" --target retracer-cli retracer_letters >/dev/null
    old_cli="$scratch/build/app/retracer-cli"
else
    [ $# -eq 2 ] || { sed -n '2,12p' "$0"; exit 2; }
    old_cli="$(realpath "$1")"
    new_cli="$(realpath "$2")"
    scratch="$(mktemp -d)"
    trap '[ -n "${KEEP:-}" ] || rm -rf "$scratch"' EXIT
fi

# Runs one case: NAME then the CLI's arguments (DEST stands for the case's output folder). With
# SEED_HBD set, the per-user store starts with that HBD counter; the store as the run leaves it
# is compared too.
run_case() {
    local cli="$1" side="$2" name="$3"
    shift 3
    local ws="$scratch/$side"
    local dest="$ws/out/$name"
    local store="$ws/config/$name/Retracer"
    mkdir -p "$dest"
    if [ -n "${SEED_HBD:-}" ]; then
        mkdir -p "$store"
        printf '[Defaults]\r\nCounter4HBD=%s\r\n' "$SEED_HBD" >"$store/Retracer.ini"
    fi
    local args=()
    for a in "$@"; do args+=("${a//DEST/$dest}"); done
    [ "${args[0]}" = eval ] || args+=(--app-folder "$ws/app")
    local status=0
    XDG_CONFIG_HOME="$ws/config/$name" HOME="$ws/home" \
        "$cli" "${args[@]}" >"$dest/stdout.txt" 2>"$dest/stderr.txt" ||
        status=$?
    echo "$status" >"$dest/status.txt"
    # Paths in messages name this side's folders; make them comparable.
    sed -i "s#$ws#<WS>#g; s#$root#<SRC>#g" "$dest/stdout.txt" "$dest/stderr.txt"
    [ -f "$dest/Batch.lst" ] && sed -i "s#$ws#<WS>#g; s#$root#<SRC>#g" "$dest/Batch.lst"
    if [ -f "$store/Retracer.ini" ]; then
        sed "s#$ws#<WS>#g; s#$root#<SRC>#g" "$store/Retracer.ini" >"$dest/store.ini"
    fi
    return 0
}

all_on=(--set EngraveLabel=1 --set AttachBarcode=1 --set RenameForHBD=1 --set GenerateBatchLst=1
        --set ToolNumberToDiameter=1 --set MaintainRtSeq=1 --set DepthInVertices=1)

run_side() {
    local cli="$1" side="$2"
    local ws="$scratch/$side"
    mkdir -p "$ws/app/TMP" "$ws/app/NestTmp" "$ws/home"
    cp samples/Tool.Par "$ws/app/Tool.Par"
    cp -r "$(dirname "$cli")/Letters" "$ws/app/Letters"
    for program in samples/*.PGM samples/*.CNC; do
        local base
        base="$(basename "$program")"
        run_case "$cli" "$side" "$base.plain" translate --dest DEST "$program"
        run_case "$cli" "$side" "$base.mirror" translate --dest DEST --mirror "$program"
        run_case "$cli" "$side" "$base.all-on" translate --dest DEST "${all_on[@]}" "$program"
        run_case "$cli" "$side" "$base.json" translate --dest DEST --json --verbose "$program"
    done
    run_case "$cli" "$side" "missing" translate --dest DEST samples/NOT_THERE.PGM
    run_case "$cli" "$side" "not-a-program" translate --dest DEST samples/Tool.Par
    for jobs in 1 2; do
        run_case "$cli" "$side" "batch.j$jobs" batch --dest DEST --jobs "$jobs" \
            --set GenerateBatchLst=1 samples/Sample.lst
        run_case "$cli" "$side" "batch-all-on.j$jobs" batch --dest DEST --jobs "$jobs" \
            "${all_on[@]}" samples/Sample.lst
        run_case "$cli" "$side" "batch-json.j$jobs" batch --dest DEST --jobs "$jobs" --json \
            samples/Sample.lst
    done
    run_case "$cli" "$side" "eval" eval --file samples/expressions.txt

    # The HBD counter carried from the store: counting on, wrapping after 99999, and a damaged
    # value starting afresh, for a single job and for a batch.
    for seed in 41 99999 abc 1234567; do
        SEED_HBD=$seed run_case "$cli" "$side" "hbd-$seed" translate --dest DEST \
            --set RenameForHBD=1 samples/LABEL_PANEL.PGM
        SEED_HBD=$seed run_case "$cli" "$side" "hbd-batch-$seed" batch --dest DEST --jobs 2 \
            --set RenameForHBD=1 samples/Sample.lst
    done

    # A program whose subprograms are missing, and a worklist whose rows name a missing program
    # and a program without its subprograms.
    local lone="$ws/lone"
    mkdir -p "$lone"
    cp samples/EV_PANEL.PGM samples/ISO_DOOR.CNC "$lone/"
    run_case "$cli" "$side" "missing-subprogram" translate --dest DEST "$lone/EV_PANEL.PGM"
    sed 's/"LABEL_PANEL.PGM"/"GONE.PGM"/' samples/Sample.lst >"$lone/Gaps.lst"
    cp samples/*.PGM samples/*.CNC "$lone/" 2>/dev/null
    for jobs in 1 2; do
        run_case "$cli" "$side" "batch-gaps.j$jobs" batch --dest DEST --jobs "$jobs" \
            --set GenerateBatchLst=1 "$lone/Gaps.lst"
    done
}

run_side "$old_cli" old
run_side "$new_cli" new

cases=$(find "$scratch/old/out" -mindepth 1 -maxdepth 1 -type d | wc -l)
files=$(find "$scratch/old/out" -type f | wc -l)
if diff -r "$scratch/old/out" "$scratch/new/out" >"$scratch/diff.txt"; then
    echo "identical: $cases cases, $files files (DXF, Batch.lst, messages, exit status)"
else
    head -50 "$scratch/diff.txt"
    echo "DIFFERENT: see above ($cases cases)"
    exit 1
fi
