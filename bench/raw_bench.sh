#!/bin/bash
# Raw (TCP) sending benchmark: one large file sent to the same loopback sink
# several ways, each delivery checked with cmp; the medians of several runs
# (throughput, the sender's CPU time and peak memory, the wineserver's CPU
# time) go to the results directory for bench/report.sh, which compares the
# spooler host with CUPS's socket backend (and socat, the ceiling).
#
#   raw_bench.sh [--size SIZE] [--runs N] [--ways "w1 w2 ..."] [--list]
#     SIZE  bytes, or with a suffix K, M or G (default 1G)
#     N     measured runs per way after one warm-up run (default 3)
#     --list  print each way with its protocol and role, and end
#
# Ways:
#   spoolhost-4k   the spooler host printing through a Raw port of the monitor
#                  with 4 KiB WritePort blocks (a variant)
#   spoolhost      the same with 64 KiB blocks, the host's default
#   spoolhost-1m   the same with 1 MiB blocks (a variant): the monitor sends
#                  each block as the spooler writes it, so the spooler's block
#                  size sets the number of sends
#   socat          socat from the file to the sink: the ceiling
#   cups-socket    the CUPS "socket" backend (Debian's cups package, unpacked
#                  into build/peers/cups by ./run bench): the reference
#   wine-send      the floor of a Win32 sender under Wine (bench/wine_send):
#                  one blocking send per 64 KiB block read, nothing else
#   wine-send-1m   the same with 1 MiB blocks: what Wine's sockets cost per call
#   wine-send-spooled  the file written to a spool copy in 64 KiB blocks first,
#                  then sent in 1 MiB blocks: the floor of a job spooled
#                  before it is sent (as LPR with its size)
#   lpr, cups-lpd  LPR ways, defined by bench/lpr_way.sh
#
# A way W is four functions: prepare_W (once), command_W (sets CMD to the
# sender's command line), delivered_W (prints the path of what arrived) and
# finish_W (once), and its PROTOCOL and ROLE. bench/*_way.sh files are
# sourced and may add ways to WAYS. A way whose sender fails or whose
# delivery differs is reported failed; the others go on.
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
RUNS=3
WAYS=(spoolhost-4k spoolhost spoolhost-1m socat cups-socket wine-send wine-send-1m wine-send-spooled)
CHOSEN=

source "$HERE/common.sh"
bench_options 11 "$@"
PROTOCOL+=([spoolhost-4k]=raw [spoolhost]=raw [spoolhost-1m]=raw [socat]=raw [cups-socket]=raw [wine-send]=raw [wine-send-1m]=raw
    [wine-send-spooled]=raw)
ROLE+=([spoolhost-4k]=variant [spoolhost]=ours [spoolhost-1m]=variant [socat]=ceiling [cups-socket]=ref [wine-send]=floor [wine-send-1m]=floor
    [wine-send-spooled]=floor)

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
# --repeat 1: the host reports the job's own time (StartDocPort to EndDocPort).
command_spoolhost() { CMD=(wine "$BIN/spoolhost.exe" print RAWBENCH "$SPOOL_INPUT" --repeat 1); }
delivered_spoolhost() { echo "$OUTPUT"; }
finish_spoolhost() { :; }

prepare_spoolhost-4k() { [[ -n ${SPOOL_INPUT:-} ]] || prepare_spoolhost; }
command_spoolhost-4k() { CMD=(wine "$BIN/spoolhost.exe" print RAWBENCH "$SPOOL_INPUT" --block 4096 --repeat 1); }
delivered_spoolhost-4k() { echo "$OUTPUT"; }
finish_spoolhost-4k() { :; }

prepare_spoolhost-1m() { [[ -n ${SPOOL_INPUT:-} ]] || prepare_spoolhost; }
command_spoolhost-1m() { CMD=(wine "$BIN/spoolhost.exe" print RAWBENCH "$SPOOL_INPUT" --block 1048576 --repeat 1); }
delivered_spoolhost-1m() { echo "$OUTPUT"; }
finish_spoolhost-1m() { :; }

prepare_socat() { :; }
command_socat() { CMD=(socat -u -b 1048576 "$INPUT" "TCP:127.0.0.1:$SINK_PORT"); }
delivered_socat() { echo "$OUTPUT"; }
finish_socat() { :; }

prepare_cups-socket() {
    [[ -x $CUPS_SOCKET ]] || { log "no CUPS socket backend at $CUPS_SOCKET (./run bench unpacks it)"; return 1; }
}
command_cups-socket() { CMD=(env "DEVICE_URI=socket://127.0.0.1:$SINK_PORT" "$CUPS_SOCKET" 1 user title 1 '' "$INPUT"); }
delivered_cups-socket() { echo "$OUTPUT"; }
finish_cups-socket() { :; }

prepare_wine-send() {
    [[ -x $BIN/wine_send.exe ]] || { log "no $BIN/wine_send.exe (./run build)"; return 1; }
    WINE_INPUT=$(wine_path "$INPUT")
    WINE_COPY=$(wine_path "$WORK")\\wine-send-copy.bin
}
command_wine-send() { CMD=(wine "$BIN/wine_send.exe" "$WINE_INPUT" 127.0.0.1 "$SINK_PORT"); }
delivered_wine-send() { echo "$OUTPUT"; }
finish_wine-send() { :; }

prepare_wine-send-1m() { prepare_wine-send; }
command_wine-send-1m() { CMD=(wine "$BIN/wine_send.exe" "$WINE_INPUT" 127.0.0.1 "$SINK_PORT" --block 1048576); }
delivered_wine-send-1m() { echo "$OUTPUT"; }
finish_wine-send-1m() { :; }

prepare_wine-send-spooled() { prepare_wine-send; }
command_wine-send-spooled() { CMD=(wine "$BIN/wine_send.exe" "$WINE_INPUT" 127.0.0.1 "$SINK_PORT" --spool-first "$WINE_COPY"); }
delivered_wine-send-spooled() { echo "$OUTPUT"; }
finish_wine-send-spooled() { :; }

for extra in "$HERE"/*_way.sh; do
    [[ -e $extra ]] && source "$extra"
done
list_ways "${WAYS[@]}"
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
begin_results
mkdir -p "$WORK"
make_input "$INPUT" "$SIZE"
trap 'stop_sink; rm -f "$OUTPUT"' EXIT
start_sink

ACTIVE=()
for way in "${WAYS[@]}"; do
    if declare -F "prepare_$way" >/dev/null && "prepare_$way"; then ACTIVE+=("$way"); else log "skipping $way"; FAILED_WAYS[$way]=1; fi
done
run_ways "${ACTIVE[@]}"
for way in "${ACTIVE[@]}"; do "finish_$way"; done
record_ways "${WAYS[@]}"
end_results
