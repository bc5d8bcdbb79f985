#!/bin/bash
# Per-job benchmark: the cost of one small job to each protocol, from the
# connection to its close (the printer check, the send, the job watcher's
# start and stop), measured over N one-byte jobs.
#
#   jobs_bench.sh [--jobs N]
#     N  jobs per way, 1 to 999 (default 100; LPR job numbers have three digits)
#
# Ways (ours: one spooler host process prints the N jobs, job IDs 1 to N, on
# one opened port with spoolhost print --repeat N, and reports the time from
# the first StartDocPort to the last EndDocPort; the references: the CUPS
# backend run N times, one process per job as cupsd runs it, the whole wall
# time divided by N):
#   raw         a Raw port of the monitor to a sink on 127.0.0.1:9100
#   cups-socket CUPS's socket backend to the same sink
#   lpr         an LPR port (with byte count) to LPRng on 127.0.0.1:515
#   cups-lpd    CUPS's lpd backend to the same LPRng
#   ipp         an IPP port (Content-Length) to cupsd on 127.0.0.1:631
#   cups-ipp    CUPS's ipp backend (waitjob=false) to the same cupsd
#   mail        an e-mail port: the monitor starts the mailer (Sendmail.exe)
#               for each job, which sends it to aiosmtpd on 127.0.0.1:25;
#               there is no CUPS counterpart
#
# Every one of the N jobs must arrive, each with the one byte: the sink keeps
# one file per connection, LPRng one data file per job number, cupsd's
# capture backend one digest per job, aiosmtpd one attachment per message.
# A way that misses one is reported failed. Rows go to the results
# directory (jobs.txt) for bench/report.sh.
#
# Needs a private network namespace with only lo, and a Wine session
# (WINEPREFIX, a running wineserver): ./run bench provides both. Every server
# listens on 127.0.0.1 only and is stopped at the end.
set -euo pipefail

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
ROOT=$(cd "$HERE/.." && pwd)
BUILD=${BUILD_DIR:-$ROOT/build}
BIN=$BUILD/x86_64/bin
WORK=$BUILD/bench
PEERS=$ROOT/tests/peers
CUPS_BACKENDS=$BUILD/peers/cups/usr/lib/cups/backend-available
IPP_BACKEND=/usr/lib/cups/backend/ipp
LIFETIME=3600
ARRIVAL_BOUND_S=60 # from the last job's end until every job has arrived
WAY_BOUND_S=1800   # one way's N jobs, at most

JOBS=100
WAYS=(raw cups-socket lpr cups-lpd ipp cups-ipp mail)

source "$HERE/common.sh"
while (($#)); do
    case $1 in
        --jobs) JOBS=$2; shift 2 ;;
        *) sed -n '2,8p' "$0" >&2; exit 2 ;;
    esac
done
[[ $JOBS =~ ^[0-9]+$ ]] && ((JOBS >= 1 && JOBS <= 999)) || { log "--jobs takes 1 to 999"; exit 2; }

DIR=$WORK/jobs
INPUT=$DIR/one-byte.bin
CUPS_PEER=
RESULTS_FILE=$RESULTS_DIR/jobs.txt

# ---- the printers ------------------------------------------------------------
start_printers() {
    rm -rf "$DIR"
    mkdir -p "$DIR"
    printf 'x' >"$INPUT"
    CUPS_PEER=$(mktemp -d /dev/shm/jobs-bench.XXXXXX)
    start_peer "$DIR/raw" "$LIFETIME" 9100 "the Raw sink" "$PEERS/raw_sink.sh" 9100 "$DIR/raw/conns" &&
        start_peer "$DIR/lprng" "$LIFETIME" 515 LPRng "$PEERS/lprng.sh" "$DIR/lprng" 515 &&
        start_peer "$CUPS_PEER" "$LIFETIME" 631 cupsd "$PEERS/cups.sh" "$CUPS_PEER/cups" 631 --quiet --digest &&
        start_peer "$DIR/smtp" "$LIFETIME" 25 aiosmtpd /usr/bin/python3 "$PEERS/smtp_sink.py" --port 25 \
            --dir "$DIR/smtp/mail" --lifetime "$LIFETIME"
}

stop_printers() {
    local peer
    for peer in "$DIR/raw" "$DIR/lprng" "$DIR/smtp" ${CUPS_PEER:+"$CUPS_PEER"}; do
        [[ -d $peer ]] && stop_peer "$peer"
    done
    [[ -z $CUPS_PEER ]] || rm -rf "$CUPS_PEER"
}

# What each printer keeps of a job, one file per job.
arrived_files() { # protocol
    case $1 in
        raw) compgen -G "$DIR/raw/conns/conn-*.bin" || true ;;
        lpr) compgen -G "$DIR/lprng/spool/lp1/dfA*" || true ;;
        ipp) compgen -G "$CUPS_PEER/cups/jobs/job-*.md5" || true ;;
        mail) compgen -G "$DIR/smtp/mail/msg-*.att" || true ;;
    esac
}

forget_arrivals() { # protocol
    local file
    for file in $(arrived_files "$1"); do rm -f "$file"; done
    [[ $1 != lpr ]] || rm -f "$DIR/lprng/spool/lp1"/cfA* "$DIR/lprng/spool/lp1"/hfA*
    [[ $1 != ipp ]] || cancel -h 127.0.0.1:631 -a -x >/dev/null 2>&1 || true
}

# True once all N jobs have arrived, each exactly the input.
check_arrivals() { # protocol
    local protocol=$1 i count=0 file wanted
    for i in $(seq $((ARRIVAL_BOUND_S * 10))); do
        count=$(arrived_files "$protocol" | wc -l)
        ((count >= JOBS)) && break
        sleep 0.1
    done
    ((count == JOBS)) || { log "$protocol: $count of $JOBS jobs arrived"; return 1; }
    wanted="$(md5sum <"$INPUT" | cut -d' ' -f1) 1"
    for file in $(arrived_files "$protocol"); do
        if [[ $protocol == ipp ]]; then
            [[ $(cat "$file") == "$wanted" ]] || { log "ipp: $file holds $(cat "$file")"; return 1; }
        else
            cmp -s "$INPUT" "$file" || { log "$protocol: $file differs from the input"; return 1; }
        fi
    done
}

# ---- ways ----------------------------------------------------------------------
host() { wine "$BIN/spoolhost.exe" "$@"; }

# The ports, and the mailer in the installation directory.
prepare_ports() {
    local install=$DIR/install
    mkdir -p "$install"
    cp "$BIN/Sendmail.exe" "$install/"
    host install "$(wine_path "$install")" >/dev/null 2>&1
    host setport JOBRAW 'PrintMode#=3' HostName=127.0.0.1 'PortNum#=9100' >/dev/null 2>&1
    host setport JOBLPR 'PrintMode#=0' HostName=127.0.0.1 PortName=lp1 'NonRFCPorts#=1' 'NonByteCount#=0' >/dev/null 2>&1
    add_port JOBIPP --ipp http://127.0.0.1:631/printers/raw &&
        add_port JOBMAIL --email 127.0.0.1 printer@example.invalid bench@example.invalid
}

# A port made anew, in a prefix that may hold it from an earlier run.
add_port() { # name, protocol options...
    host delete "$1" >/dev/null 2>&1 || true
    host add "$@" >/dev/null 2>&1 || { log "cannot add the port $1"; return 1; }
}

# N jobs through one spooler host: "total_ms per_job_ms".
ours() { # port
    local out
    out=$(timeout "$WAY_BOUND_S" wine "$BIN/spoolhost.exe" print "$1" "$(wine_path "$INPUT")" --job 1 --repeat "$JOBS" \
        --user bench --document bench 2>/dev/null | tr -d '\r') || { log "$1: ${out##*$'\n'}"; return 1; }
    sed -nE 's/^printed [0-9]+ jobs of .* in ([0-9.]+) ms, ([0-9.]+) ms per job$/\1 \2/p' <<<"$out" | grep . ||
        { log "$1: no timing in \"${out##*$'\n'}\""; return 1; }
}

# The backend once per job, as cupsd starts it: "total_ms per_job_ms".
cups_backend() { # backend, device URI
    [[ -x $1 ]] || { log "no CUPS backend $1 (./run bench unpacks it)"; return 1; }
    local start end i
    start=${EPOCHREALTIME//[.,]/}
    for ((i = 1; i <= JOBS; i++)); do
        DEVICE_URI=$2 timeout 60 "$1" "$i" bench bench 1 '' "$INPUT" >/dev/null 2>&1 3<&- 4<&- ||
            { log "$(basename "$1") backend: job $i failed"; return 1; }
    done
    end=${EPOCHREALTIME//[.,]/}
    awk -v us=$((10#$end - 10#$start)) -v n="$JOBS" 'BEGIN { printf "%.3f %.3f\n", us / 1000, us / 1000 / n }'
}

protocol_of() { # way
    case $1 in
        raw|cups-socket) echo raw ;;
        lpr|cups-lpd) echo lpr ;;
        ipp|cups-ipp) echo ipp ;;
        mail) echo mail ;;
    esac
}

send_jobs() { # way
    case $1 in
        raw) ours JOBRAW ;;
        lpr) ours JOBLPR ;;
        ipp) ours JOBIPP ;;
        mail) ours JOBMAIL ;;
        cups-socket) cups_backend "$CUPS_BACKENDS/socket" socket://127.0.0.1:9100 ;;
        cups-lpd) cups_backend "$CUPS_BACKENDS/lpd" lpd://127.0.0.1/lp1 ;;
        cups-ipp) cups_backend "$IPP_BACKEND" 'ipp://127.0.0.1:631/printers/raw?waitjob=false' ;;
    esac
}

# One way: its row "protocol way role status jobs total_ms per_job_ms".
run_way() { # way
    local way=$1 protocol role=ours figures
    protocol=$(protocol_of "$way")
    [[ $way == cups-* ]] && role=ref
    forget_arrivals "$protocol"
    if figures=$(send_jobs "$way") && check_arrivals "$protocol"; then
        log "$way: $JOBS jobs in ${figures% *} ms, ${figures#* } ms per job, all arrived"
        echo "$protocol $way $role ok $JOBS $figures"
    else
        log "$way: failed"
        echo "$protocol $way $role failed $JOBS - -"
    fi
}

# ---- main ------------------------------------------------------------------------
begin_results
trap stop_printers EXIT
start_printers
prepare_ports
: >"$RESULTS_FILE"
for way in "${WAYS[@]}"; do
    run_way "$way" >>"$RESULTS_FILE"
done
end_results
