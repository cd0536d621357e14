#!/usr/bin/env bash
# retracer-cli given what a shop's folders may hold, or writing where it cannot: each case must
# fail with a clear message and a non-zero status, keep the earlier drawing and leave no stray
# file behind.   cli_hostile.sh CLI SAMPLES WORK CASE
set -uo pipefail
cli=$1
samples=$2
work=$3
case=$4
rm -rf "$work"
mkdir -p "$work/in" "$work/out"
export XDG_CONFIG_HOME=$work/config
cp "$samples"/EV_PANEL.PGM "$work/in/"

fail() { echo "FAIL: $*"; echo "--- stderr:"; cat "$work/stderr"; exit 1; }

# Runs the tool; its status in $status, its error output in $work/stderr.
run() {
    "$cli" "$@" > "$work/stdout" 2> "$work/stderr"
    status=$?
}

expect_failure() {
    [ "$status" -ne 0 ] || fail "status 0"
    grep -q -- "$1" "$work/stderr" || fail "no message \"$1\""
}

# The output folder holds exactly the listed names.
expect_out() {
    local names
    names=$(ls -A "$work/out" | tr '\n' ' ' | sed 's/ $//')
    [ "$names" = "$*" ] || fail "output folder holds \"$names\", expected \"$*\""
}

translate() { run translate --dest "$work/out" --set SaveOnTranslate=1 "$@"; }

case $case in
binary_program)
    head -c 65536 /dev/urandom > "$work/in/NOISE.PGM"
    translate "$work/in/NOISE.PGM"
    expect_failure "not a program file"
    expect_out ""
    ;;
folder_program)
    mkdir "$work/in/FOLDER.PGM"
    translate "$work/in/FOLDER.PGM"
    expect_failure "it is a folder"
    expect_out ""
    ;;
destination_missing)
    run translate --dest "$work/gone" --set SaveOnTranslate=1 "$work/in/EV_PANEL.PGM"
    expect_failure "File Error. File may be open by another application."
    [ ! -e "$work/gone" ] || fail "the missing folder was made"
    ;;
disk_full)
    echo "earlier drawing" > "$work/out/EV_PANEL.DXF"
    # A file-size limit of 1 KB stands for a full disk: writes beyond it fail with EFBIG.
    (ulimit -f 1; trap '' XFSZ; "$cli" translate --dest "$work/out" --set SaveOnTranslate=1 \
        "$work/in/EV_PANEL.PGM" > "$work/stdout" 2> "$work/stderr")
    status=$?
    expect_failure "File Error"
    [ "$(cat "$work/out/EV_PANEL.DXF")" = "earlier drawing" ] || fail "earlier drawing replaced"
    expect_out "EV_PANEL.DXF"
    ;;
destination_read_only)
    echo "earlier drawing" > "$work/out/EV_PANEL.DXF"
    chmod 555 "$work/out"
    as=()
    if [ "$(id -u)" = 0 ]; then
        command -v setpriv > /dev/null || { echo "root without setpriv: cannot drop rights"; exit 77; }
        as=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
        chmod -R a+rX "$work" && chmod a+rwx "$work"
    fi
    "${as[@]}" "$cli" translate --dest "$work/out" --set SaveOnTranslate=1 \
        "$work/in/EV_PANEL.PGM" > "$work/stdout" 2> "$work/stderr"
    status=$?
    chmod 755 "$work/out"
    expect_failure "File Error"
    [ "$(cat "$work/out/EV_PANEL.DXF")" = "earlier drawing" ] || fail "earlier drawing replaced"
    expect_out "EV_PANEL.DXF"
    ;;
batch_list_blocked)
    printf '1,0,EV_PANEL.PGM,,,,,,,,,,,,\r\n' > "$work/in/jobs.csv"
    mkdir "$work/out/Batch.lst"
    run batch "$work/in/jobs.csv" --dest "$work/out" --set GenerateBatchLst=1 --jobs 1 --json
    expect_failure "Process Error: Cannot replace"
    grep -q '"batchListError": "Cannot replace' "$work/stdout" || fail "JSON without the reason"
    expect_out "Batch.lst EV_PANEL.DXF"
    ;;
csv_beyond_last_row)
    for i in $(seq 1 501); do printf '1,0,EV_PANEL.PGM,,,,,,,,,,,,OUT%d\r\n' "$i"; done \
        > "$work/in/jobs.csv"
    run batch "$work/in/jobs.csv" --dest "$work/out" --jobs 1
    expect_failure "501 lines, but the worklist holds 500 rows; nothing was imported"
    expect_out ""
    ;;
*)
    echo "unknown case $case"
    exit 2
    ;;
esac
echo "ok: $case"
