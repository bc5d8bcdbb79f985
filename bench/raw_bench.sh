#!/bin/bash
# Raw (TCP) sending benchmark: one large file sent to the same loopback sink
# several ways, each delivery checked with cmp; medians of several runs with
# throughput, the sender's CPU time and peak memory, and ratios to the
# ceiling (socat to socat).
#
#   raw_bench.sh [--size SIZE] [--runs N] [--ways "w1 w2 ..."]
#     SIZE  bytes, or with a suffix K, M or G (default 1G)
#     N     measured runs per way after one warm-up run (default 5)
#
# Ways:
#   spoolhost-4k   the spooler host printing through a Raw port of the monitor
#                  with 4 KiB WritePort blocks
#   spoolhost      the same with 64 KiB blocks, the host's default
#   socat          socat from the file to the sink: the ceiling
#   cups           the CUPS "socket" backend (Debian's cups package, unpacked
#                  into build/peers/cups by ./run bench)
#   lpr            reserved: defined by bench/lpr_way.sh when that file exists
#
# A way W is four functions: prepare_W (once), command_W (sets CMD to the
# sender's command line), delivered_W (prints the path of what arrived) and
# finish_W (once). bench/*_way.sh files are sourced and may add ways to WAYS.
#
# Needs a private network namespace with only lo, and a Wine session
# (WINEPREFIX, a running wineserver): ./run bench provides both. Everything
# listens on 127.0.0.1 only; every server is stopped at the end.
set -euo pipefail

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
ROOT=$(cd "$HERE/.." && pwd)
BUILD=${BUILD_DIR:-$ROOT/build}
BIN=$BUILD/x86_64/bin
WORK=$BUILD/bench # on disk, not tmpfs
PEERS=$ROOT/tests/peers
CUPS_SOCKET=$BUILD/peers/cups/usr/lib/cups/backend-available/socket
SINK_LIFETIME=7200

SIZE_TEXT=1G
RUNS=5
WAYS=(spoolhost-4k spoolhost socat cups)
CHOSEN=

source "$HERE/common.sh"
bench_options 25 "$@"

SIZE=$(bytes_of "$SIZE_TEXT")
INPUT=$WORK/input-$SIZE_TEXT.bin
OUTPUT=$WORK/sink-output.bin
SINK_PORT=9100

# ---- the shared Raw sink -------------------------------------------------
start_sink() {
    rm -rf "$WORK/sink"
    "$PEERS/run_peer.sh" --ready-port "$SINK_PORT" "$WORK/sink" "$SINK_LIFETIME" \
        socat -u -b 1048576 "TCP-LISTEN:$SINK_PORT,bind=127.0.0.1,reuseaddr,fork" \
        "OPEN:$OUTPUT,creat,trunc,wronly" >/dev/null 2>&1 &
    local i
    for i in $(seq 200); do
        [[ -e $WORK/sink/ready ]] && return 0
        sleep 0.05
    done
    log "the sink did not start"; return 1
}

stop_sink() {
    [[ -d $WORK/sink ]] || return 0
    touch "$WORK/sink/stop"
    local i
    for i in $(seq 200); do
        [[ -e $WORK/sink/gone ]] && return 0
        sleep 0.05
    done
}

# ---- ways ----------------------------------------------------------------
prepare_spoolhost() {
    mkdir -p "$WORK/install"
    wine "$BIN/spoolhost.exe" install "$(wine_path "$WORK/install")" >/dev/null 2>&1
    wine "$BIN/spoolhost.exe" setport RAWBENCH 'PrintMode#=3' HostName=127.0.0.1 "PortNum#=$SINK_PORT" \
        'DatTmout#=60000' 'CmdTmout#=60000' >/dev/null 2>&1
    SPOOL_INPUT=$(wine_path "$INPUT")
}
command_spoolhost() { CMD=(wine "$BIN/spoolhost.exe" print RAWBENCH "$SPOOL_INPUT"); }
delivered_spoolhost() { echo "$OUTPUT"; }
finish_spoolhost() { :; }

prepare_spoolhost-4k() { [[ -n ${SPOOL_INPUT:-} ]] || prepare_spoolhost; }
command_spoolhost-4k() { CMD=(wine "$BIN/spoolhost.exe" print RAWBENCH "$SPOOL_INPUT" --block 4096); }
delivered_spoolhost-4k() { echo "$OUTPUT"; }
finish_spoolhost-4k() { :; }

prepare_socat() { :; }
command_socat() { CMD=(socat -u -b 1048576 "$INPUT" "TCP:127.0.0.1:$SINK_PORT"); }
delivered_socat() { echo "$OUTPUT"; }
finish_socat() { :; }

prepare_cups() {
    [[ -x $CUPS_SOCKET ]] || { log "no CUPS socket backend at $CUPS_SOCKET (./run bench unpacks it)"; return 1; }
}
command_cups() { CMD=(env "DEVICE_URI=socket://127.0.0.1:$SINK_PORT" "$CUPS_SOCKET" 1 user title 1 '' "$INPUT"); }
delivered_cups() { echo "$OUTPUT"; }
finish_cups() { :; }

for extra in "$HERE"/*_way.sh; do
    [[ -e $extra ]] && source "$extra"
done
[[ -n $CHOSEN ]] && read -r -a WAYS <<<"$CHOSEN"

# ---- measuring -----------------------------------------------------------
# Waits until the delivered file has the input's size (the sink may still be
# writing when the sender ends), then compares.
check_delivery() { # path
    local i
    for i in $(seq 600); do
        [[ $(stat -c %s "$1" 2>/dev/null || echo -1) -eq $SIZE ]] && break
        sleep 0.05
    done
    cmp -s "$INPUT" "$1"
}

# One run: "wall_ms cpu_ms rss_kb server_cpu_ms"; fails when the delivery differs.
run_once() { # way
    local way=$1 line
    rm -f "$OUTPUT"
    "command_$way"
    line=$(measure) || { log "$way: the sender failed"; return 1; }
    check_delivery "$("delivered_$way")" || { log "$way: the delivered bytes differ from the input ($(stat -c %s "$("delivered_$way")" 2>/dev/null || echo no) of $SIZE bytes)"; return 1; }
    echo "$line"
}

# ---- main ----------------------------------------------------------------
mkdir -p "$WORK"
make_input "$INPUT" "$SIZE"
trap 'stop_sink; rm -f "$OUTPUT"' EXIT
start_sink

ACTIVE=()
for way in "${WAYS[@]}"; do
    if "prepare_$way"; then ACTIVE+=("$way"); else log "skipping $way"; fi
done

declare -A RESULTS
for way in "${ACTIVE[@]}"; do
    log "$way: warm-up"
    run_once "$way" >/dev/null
done
for run in $(seq "$RUNS"); do
    for way in "${ACTIVE[@]}"; do
        line=$(run_once "$way")
        log "$way run $run: $line (wall ms, cpu ms, peak KiB, wineserver cpu ms)"
        RESULTS[$way]+="$line"$'\n'
    done
done
for way in "${ACTIVE[@]}"; do "finish_$way"; done

# The median of one column over the runs; negative values were not measured.
field() { printf '%s' "${RESULTS[$1]}" | awk -v f="$2" 'NF && $f >= 0 { print $f }' | median; }

printf '\nRaw send of %s bytes to a loopback sink; medians of %d runs (after one warm-up), every delivery checked with cmp\n' "$SIZE" "$RUNS"
printf '%-14s %9s %10s %9s %11s %12s %10s %9s\n' way 'wall ms' 'MiB/s' 'cpu ms' 'peak MiB' 'server cpu' 'x ceiling' 'x cpu'
ceiling_wall=
ceiling_cpu=
if [[ -n ${RESULTS[socat]:-} ]]; then
    ceiling_wall=$(field socat 1)
    ceiling_cpu=$(field socat 2)
fi
for way in "${ACTIVE[@]}"; do
    wall=$(field "$way" 1); cpu=$(field "$way" 2); rss=$(field "$way" 3); server=$(field "$way" 4)
    awk -v way="$way" -v size="$SIZE" -v w="$wall" -v c="$cpu" -v r="$rss" -v s="$server" \
        -v cw="${ceiling_wall:-0}" -v cc="${ceiling_cpu:-0}" 'BEGIN {
        rate = w > 0 ? size / 1048576 / (w / 1000) : 0
        speed = (cw > 0 && w > 0) ? sprintf("%.2f", cw / w) : "-"
        cost = (cc > 0) ? sprintf("%.2f", c / cc) : "-"
        printf "%-14s %9d %10.1f %9d %11.1f %12s %10s %9s\n", way, w, rate, c, r / 1024, s == "" ? "-" : s, speed, cost
    }'
done
printf '(x ceiling: throughput relative to socat; x cpu: sender CPU relative to socat; server cpu: the wineserver, for Wine senders)\n'
