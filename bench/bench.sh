#!/bin/bash
# Every benchmark of ./run bench, with one report.
#
#   bench.sh [--raw] [--lpr] [--ipp] [--jobs N] [--scale] [--size SIZE] [--runs N] [--ways "w1 w2 ..."]
#     --raw, --lpr, --ipp  the throughput of that protocol: one large file
#                          (--size, default 1G) sent --runs times (default 3)
#                          after a warm-up by each way (--ways: only those)
#     --jobs N             the per-job part: N one-byte jobs per way (1 to 999)
#     --scale              the scale part (bench/scale_bench.sh, when it exists)
#   With no selector every part runs: Raw, LPR and IPP throughput, the per-job
#   part with 100 jobs, then the scale part (with --ways alone: the throughput
#   parts); with selectors only theirs.
#
# The parts: raw_bench.sh (Raw, and LPR through lpr_way.sh), ipp_bench.sh,
# jobs_bench.sh and scale_bench.sh. The first three leave their rows in
# build/bench/results; the idle spooler host (the peak memory of
# "spoolhost ports": the monitor loaded, no job) is measured once after them,
# and bench/report.sh prints the one report (throughput table, per-job table,
# one line per goal) and writes build/bench/results.csv, goals.csv and
# results.png. The scale part prints its own section after it.
#
# Exit code 0 when every part ran and every way delivered what it sent
# (a missed goal is a figure, not a failure), 1 otherwise, 2 for usage errors.
# Needs a private network namespace with only lo, and a Wine session
# (WINEPREFIX, a running wineserver): ./run bench provides both.
set -euo pipefail

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
ROOT=$(cd "$HERE/.." && pwd)
BUILD=${BUILD_DIR:-$ROOT/build}
BIN=$BUILD/x86_64/bin
WORK=$BUILD/bench

source "$HERE/common.sh"
export BENCH_RESULTS=$WORK/results
RESULTS_DIR=$BENCH_RESULTS

declare -A SELECTED=()
JOBS=100
THROUGHPUT_OPTIONS=()
CHOSEN=
STATUS=0

usage() { sed -n '2,12p' "$0" >&2; exit 2; }

parse_options() {
    while (($#)); do
        case $1 in
            --raw|--lpr|--ipp|--scale) SELECTED[${1#--}]=1; shift ;;
            --jobs) (($# >= 2)) || usage; JOBS=$2; SELECTED[jobs]=1; shift 2 ;;
            --size|--runs) (($# >= 2)) || usage; THROUGHPUT_OPTIONS+=("$1" "$2"); shift 2 ;;
            --ways) (($# >= 2)) || usage; CHOSEN=$2; shift 2 ;;
            *) usage ;;
        esac
    done
    if ((${#SELECTED[@]} == 0)) && [[ -n $CHOSEN ]]; then
        SELECTED=([raw]=1 [lpr]=1 [ipp]=1)
    elif ((${#SELECTED[@]} == 0)); then
        SELECTED=([raw]=1 [lpr]=1 [ipp]=1 [jobs]=1 [scale]=1)
    fi
}

# The ways of a throughput script whose protocol is selected (and that
# --ways names, when it was given), on one line.
selected_ways() { # script
    local way protocol role ways=()
    while read -r way protocol role; do
        [[ -n ${SELECTED[$protocol]:-} ]] || continue
        [[ -z $CHOSEN || " $CHOSEN " == *" $way "* ]] || continue
        ways+=("$way")
    done < <("$HERE/$1" --list)
    echo "${ways[*]}"
}

run_throughput() { # script
    local ways
    ways=$(selected_ways "$1")
    [[ -n $ways ]] || return 0
    "$HERE/$1" "${THROUGHPUT_OPTIONS[@]}" --ways "$ways" || { log "$1 failed"; STATUS=1; }
}

run_jobs() {
    [[ -n ${SELECTED[jobs]:-} ]] || return 0
    "$HERE/jobs_bench.sh" --jobs "$JOBS" || { log "jobs_bench.sh failed"; STATUS=1; }
}

# The peak memory of the spooler host with the monitor loaded and no job:
# the median of three runs of "spoolhost ports".
measure_idle() {
    local i line peaks=()
    CMD=(wine "$BIN/spoolhost.exe" ports)
    for i in 1 2 3; do
        line=$(measure) && peaks+=("$(cut -d' ' -f3 <<<"$line")")
    done
    ((${#peaks[@]})) || { log "the idle spooler host could not be measured"; return 0; }
    printf '%s\n' "${peaks[@]}" | median >"$RESULTS_DIR/idle.txt"
}

# The report of what ran; a way that failed makes the exit code 1.
report() {
    compgen -G "$RESULTS_DIR/*.txt" >/dev/null || return 0
    measure_idle
    "$HERE/report.sh" "$RESULTS_DIR" "$WORK" || STATUS=1
    local file
    for file in "$RESULTS_DIR"/throughput.txt "$RESULTS_DIR"/jobs.txt; do
        if [[ -f $file ]] && awk '$4 != "ok" { bad = 1 } END { exit !bad }' "$file"; then
            STATUS=1
        fi
    done
}

run_scale() {
    [[ -n ${SELECTED[scale]:-} ]] || return 0
    if [[ ! -f $HERE/scale_bench.sh ]]; then
        log "no bench/scale_bench.sh: no scale part"
        return 0
    fi
    bash "$HERE/scale_bench.sh" || { log "scale_bench.sh failed"; STATUS=1; }
}

main() {
    parse_options "$@"
    rm -rf "$RESULTS_DIR"
    mkdir -p "$RESULTS_DIR"
    run_throughput raw_bench.sh
    run_throughput ipp_bench.sh
    run_jobs
    report
    run_scale
    return "$STATUS"
}

main "$@"
