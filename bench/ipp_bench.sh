#!/bin/bash
# IPP sending benchmark: one large file printed as one Print-Job to the raw
# queue of a cupsd on 127.0.0.1:631, several ways; the medians of several
# runs (throughput, the sender's CPU time and peak memory, the wineserver's
# CPU time) go to the results directory for bench/report.sh, which compares
# the spooler host with the best of the references (ipptool -c, ipptool -L,
# CUPS's ipp backend). Every delivery is checked.
#
#   ipp_bench.sh [--size SIZE] [--runs N] [--ways "w1 w2 ..."] [--list]
#     SIZE  bytes, or with a suffix K, M or G (default 1G)
#     N     measured runs per way after one warm-up run (default 3)
#     --list  print each way with its protocol and role, and end
#
# Ways:
#   monitor-chunked      the spooler host printing through an IPP port of the
#                        monitor with chunked coding (MaxChunk 4096, as a new
#                        port has it), 64 KiB WritePort blocks
#   monitor-chunked-16k  the same with MaxChunk 16384, the largest the
#                        dialogs allow
#   monitor-counted      the same port kind with Content-Length (the job is
#                        spooled first, then sent)
#   monitor-counted-streamed  the same with NonSpool 1, printing a job the
#                        spooler already holds whole: the spooler's size is
#                        announced and the job streamed (a variant)
#   ipptool-c            ipptool -c: the same Print-Job, chunked
#   ipptool-L            ipptool -L: the same Print-Job with Content-Length
#   cups-ipp             CUPS's ipp backend (DEVICE_URI ipp://...?waitjob=false)
#
# The printer: tests/peers/cups.sh at LogLevel warn, its whole tree (spool
# included) on tmpfs (/dev/shm) so that the disk does not decide the figures,
# and the capture backend in digest mode: it keeps only the MD5 sum and size
# of each job, which are compared with the input's. After each run the bench
# waits for that digest and purges every job left in cupsd (cancel -a -x).
# The figures are those of the sender: it ends when cupsd has answered the
# Print-Job, that is when cupsd has spooled the whole document.
#
# Needs a private network namespace with only lo, and a Wine session
# (WINEPREFIX, a running wineserver): ./run bench provides both. A way that
# fails is reported as failed; the others go on.
set -euo pipefail

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
ROOT=$(cd "$HERE/.." && pwd)
BUILD=${BUILD_DIR:-$ROOT/build}
BIN=$BUILD/x86_64/bin
WORK=$BUILD/bench # the input stays on disk, shared with the Raw bench
PEERS=$ROOT/tests/peers
PORT=631
QUEUE=raw
URL=http://127.0.0.1:$PORT/printers/$QUEUE
IPP_BACKEND=/usr/lib/cups/backend/ipp
LIFETIME=7200
JOB_BOUND_S=120     # from the sender's end until the printer has the job
SENDER_BOUND_S=900  # one sender, at most

SIZE_TEXT=1G
RUNS=3
WAYS=(monitor-chunked monitor-chunked-16k monitor-counted monitor-counted-streamed ipptool-c ipptool-L cups-ipp)
CHOSEN=

source "$HERE/common.sh"
bench_options 35 "$@"
for way in "${WAYS[@]}"; do PROTOCOL[$way]=ipp; ROLE[$way]=ref; done
ROLE+=([monitor-chunked]=ours [monitor-chunked-16k]=ours [monitor-counted]=ours [monitor-counted-streamed]=variant)
list_ways "${WAYS[@]}"
[[ -n $CHOSEN ]] && read -r -a WAYS <<<"$CHOSEN"

SIZE=$(bytes_of "$SIZE_TEXT")
INPUT=$WORK/input-$SIZE_TEXT.bin
CUPS_PEER=$(mktemp -d /dev/shm/ipp-bench.XXXXXX)
CUPS_DIR=$CUPS_PEER/cups
JOBS=$CUPS_DIR/jobs

# ---- cupsd -------------------------------------------------------------------
start_cups() {
    start_peer "$CUPS_PEER" "$LIFETIME" "$PORT" cupsd "$PEERS/cups.sh" "$CUPS_DIR" "$PORT" --quiet --digest
}

stop_cups() {
    stop_peer "$CUPS_PEER"
    rm -rf "$CUPS_PEER"
}

purge_jobs() { cancel -h "127.0.0.1:$PORT" -a -x >/dev/null 2>&1 || true; }

digests() { (cd "$JOBS" && ls -1 job-*.md5 2>/dev/null || true) | sort; }

# Waits for the digest of a job that was not there before the run and
# compares it with the input's; then purges cupsd's jobs.
check_delivery() { # digests before the run
    local before=$1 new= i
    for i in $(seq $((JOB_BOUND_S * 10))); do
        new=$(comm -13 <(printf '%s\n' "$before" | sed '/^$/d') <(digests) | head -1)
        [[ -n $new ]] && break
        sleep 0.1
    done
    purge_jobs
    [[ -n $new ]] || { log "no job reached the printer"; return 1; }
    local got; got=$(cat "$JOBS/$new")
    rm -f "$JOBS/$new"
    [[ $got == "$INPUT_DIGEST $SIZE" ]] || { log "the printer got \"$got\", not \"$INPUT_DIGEST $SIZE\""; return 1; }
}

# ---- ways --------------------------------------------------------------------
host() { wine "$BIN/spoolhost.exe" "$@"; }

MONITOR_READY=
prepare_monitor() {
    if [[ -z $MONITOR_READY ]]; then
        [[ -x $BIN/spoolhost.exe ]] || { log "no $BIN/spoolhost.exe (./run build)"; return 1; }
        mkdir -p "$WORK/install"
        host install "$(wine_path "$WORK/install")" >/dev/null 2>&1
        host add IPPBENCH4K --ipp "$URL" --chunked >/dev/null 2>&1 &&
            host add IPPBENCH16K --ipp "$URL" --chunked >/dev/null 2>&1 &&
            host setport IPPBENCH16K 'MaxChunk#=16384' >/dev/null 2>&1 &&
            host add IPPBENCHLEN --ipp "$URL" >/dev/null 2>&1 &&
            host add IPPBENCHLENNS --ipp "$URL" >/dev/null 2>&1 &&
            host setport IPPBENCHLENNS 'NonSpool#=1' >/dev/null 2>&1 || { log "cannot add the IPP ports"; return 1; }
        SPOOL_INPUT=$(wine_path "$INPUT")
        MONITOR_READY=1
    fi
}
prepare_monitor-chunked() { prepare_monitor; }
command_monitor-chunked() { CMD=(wine "$BIN/spoolhost.exe" print IPPBENCH4K "$SPOOL_INPUT" --user bench --document bench --repeat 1); }
prepare_monitor-chunked-16k() { prepare_monitor; }
command_monitor-chunked-16k() { CMD=(wine "$BIN/spoolhost.exe" print IPPBENCH16K "$SPOOL_INPUT" --user bench --document bench --repeat 1); }
prepare_monitor-counted() { prepare_monitor; }
prepare_monitor-counted-streamed() { prepare_monitor; }
command_monitor-counted-streamed() { CMD=(wine "$BIN/spoolhost.exe" print IPPBENCHLENNS "$SPOOL_INPUT" --user bench --document bench --repeat 1); }
command_monitor-counted() { CMD=(wine "$BIN/spoolhost.exe" print IPPBENCHLEN "$SPOOL_INPUT" --user bench --document bench --repeat 1); }

# ipptool sends the file named by FILE behind the request's attributes; the
# request is the one the monitor sends (no document-format).
TEST_FILE=$WORK/print-job.test
prepare_ipptool() {
    command -v ipptool >/dev/null || { log "no ipptool (package cups-ipp-utils)"; return 1; }
    cat >"$TEST_FILE" <<'EOF'
{
    NAME "Print-Job of the benchmark file"
    OPERATION Print-Job
    GROUP operation-attributes-tag
    ATTR charset attributes-charset utf-8
    ATTR naturalLanguage attributes-natural-language en-us
    ATTR uri printer-uri $uri
    ATTR name requesting-user-name bench
    ATTR name job-name bench
    ATTR name document-name bench
    FILE $filename
    STATUS successful-ok
}
EOF
}
prepare_ipptool-c() { prepare_ipptool; }
command_ipptool-c() { CMD=(ipptool -c -f "$INPUT" "ipp://127.0.0.1:$PORT/printers/$QUEUE" "$TEST_FILE"); }
prepare_ipptool-L() { prepare_ipptool; }
command_ipptool-L() { CMD=(ipptool -L -f "$INPUT" "ipp://127.0.0.1:$PORT/printers/$QUEUE" "$TEST_FILE"); }

prepare_cups-ipp() { [[ -x $IPP_BACKEND ]] || { log "no CUPS ipp backend at $IPP_BACKEND"; return 1; }; }
command_cups-ipp() {
    CMD=(env "DEVICE_URI=ipp://127.0.0.1:$PORT/printers/$QUEUE?waitjob=false" "$IPP_BACKEND" 1 bench bench 1 '' "$INPUT")
}

# One run: "wall_ms cpu_ms rss_kb server_cpu_ms"; fails when the sender
# fails or the printer did not get the input.
run_once() { # way
    local way=$1 before line
    before=$(digests)
    "command_$way"
    CMD=(timeout --kill-after=10 "$SENDER_BOUND_S" "${CMD[@]}")
    if ! line=$(measure); then
        log "$way: the sender failed"
        sleep 1
        purge_jobs
        return 1
    fi
    check_delivery "$before" || { log "$way: the delivery failed"; return 1; }
    echo "$line"
}

# ---- main --------------------------------------------------------------------
begin_results
mkdir -p "$WORK"
make_input "$INPUT" "$SIZE"
INPUT_DIGEST=$(md5sum <"$INPUT" | cut -d' ' -f1)
trap stop_cups EXIT
start_cups

ACTIVE=()
for way in "${WAYS[@]}"; do
    if declare -F "prepare_$way" >/dev/null && "prepare_$way"; then ACTIVE+=("$way"); else log "skipping $way"; FAILED_WAYS[$way]=1; fi
done
run_ways "${ACTIVE[@]}"
record_ways "${WAYS[@]}"
end_results
